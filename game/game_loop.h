// The car game's start-up, its one loop and the crash sequence.
#ifndef CARGAME_GAME_LOOP_H
#define CARGAME_GAME_LOOP_H

#include "game/game_state.h"

// What start-up does after opening the session: logging off, a cleared
// canvas, animation running, the program-start state and the first picture.
void game_set_up(GameState &g);

// Starts QELMA with the program's four start-up values, then game_set_up.
void game_start(GameState &g, void *instance, void *previous_instance, char *command_line,
                int show_command);

// Acts on one event: a click goes to the buttons or the road, a character to
// the keys, a tick restarts a requested game, drifts the sun and moves the
// traffic, quit marks the end. Any other kind changes nothing.
void handle_event(GameState &g, int kind, int x, int y, char key);

// The whole picture from the state: scene, panel, the player's car, the
// computer car, the placed cars.
void redraw(GameState &g);

// One step of the crash sequence, drawn over the picture.
void crash_step(GameState &g);

// Everything a pass does after the wait: act, redraw, speed floor, crash
// step. Returns false once the quit event has come.
bool game_pass_with_event(GameState &g, int kind, int x, int y, char key);

// One pass of the loop: waits for the next event and handles it as above.
bool game_pass(GameState &g);

// The whole program: start, passes until quit, qelma_end. Returns 0.
int cargame_main(void *instance, void *previous_instance, char *command_line, int show_command);

#endif // CARGAME_GAME_LOOP_H
