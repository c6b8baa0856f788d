/* A learner's program, not one of QELMA's: a board of tiles where a click
 * paints the tile under it blue, the key 'r' makes the board white again and
 * Ctrl+Q ends it. The web kit test makes it a page and plays it. */
#include <stddef.h>

#include <qelma/qelma.h>

enum { COLUMNS = 6, ROWS = 4, SIZE = 80 };

static int painted[ROWS][COLUMNS];

/* Tile (column, row) spans x from -240 + 80 column, y down from 200 - 80 row. */
static void draw_board(void) {
    qelma_clear_canvas();
    qelma_draw_rectangle(QELMA_GRAY_50, -240, 200, 240, 200 - ROWS * SIZE, 0);
    qelma_draw_text(QELMA_BLACK, -240, 240, 16, "Click a tile to paint it, r to clear");
    for (int row = 0; row < ROWS; row++)
        for (int column = 0; column < COLUMNS; column++) {
            int left = -240 + SIZE * column, top = 200 - SIZE * row;
            qelma_draw_rectangle(painted[row][column] ? QELMA_BLUE : QELMA_WHITE, left + 2, top - 2,
                                 left + SIZE - 2, top - SIZE + 2, 0);
        }
}

int main(void) {
    char command_line[] = "";
    int kind = 0;
    qelma_begin(NULL, NULL, command_line, 1);
    qelma_set_logging(0);
    while (kind != QELMA_QUIT) {
        int x, y;
        char key;
        draw_board();
        kind = qelma_next_event(&x, &y, &key);
        if (kind == QELMA_MOUSE && x >= -240 && x < 240 && y <= 200 && y > 200 - ROWS * SIZE) {
            painted[(200 - y) / SIZE][(x + 240) / SIZE] = 1;
            qelma_log_printf("painted (%d,%d)\n", x, y);
        } else if (kind == QELMA_KBD && key == 'r') {
            for (int row = 0; row < ROWS; row++)
                for (int column = 0; column < COLUMNS; column++)
                    painted[row][column] = 0;
        }
    }
    qelma_end();
    return 0;
}
