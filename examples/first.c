/* Your first QELMA program: a sun that goes where you click. */
#include <stddef.h>

#include <qelma/qelma.h>

int main(void) {
    char command_line[] = "";
    int sun_x = 0, sun_y = 100;
    int kind = 0;

    qelma_begin(NULL, NULL, command_line, 1);
    qelma_set_logging(0);
    while (kind != QELMA_QUIT) {
        int x, y;
        char key;
        qelma_clear_canvas();
        qelma_draw_rectangle(QELMA_FOREST_GREEN, -300, 0, 300, -270, 0);
        qelma_draw_circle(QELMA_YELLOW, sun_x, sun_y, 25);
        qelma_draw_text(QELMA_BLACK, -290, 225, 16, "Click to move the sun; Ctrl+Q quits");
        kind = qelma_next_event(&x, &y, &key);
        if (kind == QELMA_MOUSE) {
            sun_x = x;
            sun_y = y;
            qelma_log_printf("sun moved to (%d,%d)\n", x, y);
        } else if (kind == QELMA_KBD) {
            qelma_log_printf("key '%c'\n", key);
        }
    }
    qelma_end();
    return 0;
}
