/* Uses the installed QELMA: opens a session, draws, runs animation, asks to
 * quit and checks that the next wait says so. Exit status 0 means all went
 * as expected; each failure prints what went wrong. */
#include <stddef.h>
#include <stdio.h>

#include <qelma/qelma.h>

int main(void) {
    char command_line[] = "";
    int x = -1, y = -1;
    char key = 'z';
    int kind;

    if (qelma_begin(NULL, NULL, command_line, 1) != 1) {
        fprintf(stderr, "consumer: qelma_begin failed\n");
        return 1;
    }
    qelma_clear_canvas();
    qelma_draw_circle(QELMA_RED, 0, 0, 20);
    qelma_draw_text(QELMA_BLACK, -100, 100, 16, "installed QELMA");
    if (qelma_set_animation(QELMA_ANIMATE_RUN) != 1 || qelma_set_animation(QELMA_ANIMATE_QUIT) != 1) {
        fprintf(stderr, "consumer: qelma_set_animation refused with a session open\n");
        return 1;
    }
    /* Animation runs, so the wait ends at the next tick, and the quit request
     * turns that event into QELMA_QUIT. */
    kind = qelma_next_event(&x, &y, &key);
    if (kind != QELMA_QUIT) {
        fprintf(stderr, "consumer: expected QELMA_QUIT (%d), got %d\n", QELMA_QUIT, kind);
        return 1;
    }
    if (x != 0 || y != 0 || key != 0) {
        fprintf(stderr, "consumer: quit carried data (%d, %d, %d)\n", x, y, key);
        return 1;
    }
    if (qelma_end() != 1) {
        fprintf(stderr, "consumer: qelma_end failed\n");
        return 1;
    }
    printf("consumer: QELMA_QUIT received\n");
    return 0;
}
