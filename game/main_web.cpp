// The car game's entry point in a web page: hands the four start-up values of
// a Windows program (no instance, no previous instance, an empty command
// line, show normally) to cargame_main. The page says when the program ends.
#include "game/game_loop.h"

int main() {
    char command_line[] = "";
    cargame_main(nullptr, nullptr, command_line, 1 /* SW_SHOWNORMAL */);
    return 0;
}
