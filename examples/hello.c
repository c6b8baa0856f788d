/* The smallest QELMA program: it opens a session, draws one of each shape
 * and a text, and writes every event it receives to the log until quit.
 * Choose Run > Quit (Ctrl+Q) or close the window to end it. */
#include <stddef.h>

#include <qelma/qelma.h>

int main(void) {
    char command_line[] = "";
    qelma_begin(NULL, NULL, command_line, 1);
    qelma_clear_canvas();

    qelma_draw_rectangle(QELMA_ICE_BLUE, -250, 200, 250, -200, 0);
    qelma_draw_circle(QELMA_YELLOW, 180, 140, 30);
    qelma_draw_triangle(QELMA_FOREST_GREEN, -200, -150, 0, 50, 200, -150, 0);
    qelma_draw_oval(QELMA_ORANGE, -60, -60, 60, -120, 3);
    qelma_draw_text(QELMA_BLACK, -230, 170, 18, "Hello from QELMA\nclick or type; Ctrl+Q quits");

    for (;;) {
        int x = 0, y = 0;
        char key = 0;
        int kind = qelma_next_event(&x, &y, &key);
        if (kind == QELMA_MOUSE) {
            qelma_log_printf("click at (%d,%d)\n", x, y);
        } else if (kind == QELMA_KBD) {
            qelma_log_printf("key %d\n", key);
        } else if (kind == QELMA_QUIT) {
            qelma_log_printf("quit\n");
            break;
        }
    }
    qelma_end();
    return 0;
}
