/* A small program of a QELMA user, built against the installed Windows kit.
 * It opens a session, draws, logs, asks to quit and checks that the next
 * wait says so. It starts from main (built as a console or as a windowed
 * program) or, with APP_WINMAIN defined, from WinMain, which hands its four
 * start-up values to qelma_begin unchanged.
 * Exit code 0: all went as expected; 1 to 4 name the step that failed. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <qelma/qelma.h>

#ifdef APP_WINMAIN
#include <windows.h>
#endif

static int run(void *instance, void *previous, char *command_line, int show) {
    int x = -1, y = -1;
    char key = 'z';

    if (qelma_begin(instance, previous, command_line, show) != 1)
        return 1;
    qelma_clear_canvas();
    qelma_draw_rectangle(QELMA_SEA_GREEN, -100, 50, 100, -50, 0);
    if (qelma_log_printf("app: %s\n", "drawn") != (int)strlen("app: drawn\n"))
        return 2;
    if (qelma_set_animation(QELMA_ANIMATE_RUN) != 1 || qelma_set_animation(QELMA_ANIMATE_QUIT) != 1)
        return 3;
    /* Animation runs, so the wait ends at the next tick, and the quit
     * request turns that event into QELMA_QUIT without data. */
    if (qelma_next_event(&x, &y, &key) != QELMA_QUIT || x != 0 || y != 0 || key != 0)
        return 4;
    qelma_end();
    printf("app: QELMA_QUIT received\n");
    return 0;
}

#ifdef APP_WINMAIN
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    return run(instance, previous, command_line, show);
}
#else
int main(void) {
    char command_line[] = "";
    return run(NULL, NULL, command_line, 1);
}
#endif
