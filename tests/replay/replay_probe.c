/* A QELMA program for qelma-replay's tests: what it does is its argument.
 *   draw C        a rectangle in colour C on white; ends on quit
 *   exit N        ends with code N at its second event
 *   crash         aborts at its second event
 *   spin          begins a session and never asks for an event
 *   ignore-quit   asks for events after quit as well */
#include <stdlib.h>
#include <string.h>

#include <qelma/qelma.h>

int main(int argc, char **argv) {
    char command_line[] = "";
    const char *what = argc > 1 ? argv[1] : "draw";
    int value = argc > 2 ? atoi(argv[2]) : 2;
    int events = 0;
    qelma_begin(NULL, NULL, command_line, 1);
    qelma_set_logging(0);
    qelma_clear_canvas();
    qelma_draw_rectangle(value, -100, 50, 80, -40, 3);
    if (strcmp(what, "spin") == 0) {
        volatile int forever = 1;
        while (forever) {
        }
    }
    for (;;) {
        int kind = qelma_next_event(NULL, NULL, NULL);
        ++events;
        if (events == 2 && strcmp(what, "exit") == 0) {
            return value;
        }
        if (events == 2 && strcmp(what, "crash") == 0) {
            abort();
        }
        if (kind == QELMA_PERIODIC) {
            qelma_draw_circle(value, -200 + 10 * events, -100, 8);
        }
        if (kind == QELMA_QUIT && strcmp(what, "ignore-quit") != 0) {
            break;
        }
    }
    qelma_end();
    return 0;
}
