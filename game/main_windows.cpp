// The Windows entry point of the car game: the four start-up values go
// unchanged to the game.
#include <windows.h>

#include "game/game_loop.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show) {
    return cargame_main(instance, prev, cmdline, show);
}
