/* shapes.c: the 24 QELMA colours and every kind of shape.
 *
 * Run it and look: the top half shows each palette colour as a labelled
 * swatch, the bottom half each shape kind, filled and outlined, and a row of
 * line widths. Nothing moves; choose Run > Quit (Ctrl+Q) or close the window
 * to end it.
 *
 * Things to learn here:
 *   - Coordinates have their origin in the middle of the window, x grows to
 *     the right and y grows UP (unlike most screen coordinates).
 *   - A width of 0 asks for a filled shape; a width above 0 draws an outline
 *     that many pixels wide. A circle is always filled.
 *   - Drawing goes to an off-screen canvas; the window shows it once the
 *     program waits for its next event (qelma_next_event).
 *   - While logging is on, every drawing call describes itself in the
 *     "QELMA Text" window. */
#include <stddef.h>

#include <qelma/qelma.h>

/* The names QELMA uses for its colours, in palette order: entry i belongs to
 * colour index i (QELMA_BLACK is 0, QELMA_WHITE is 1, and so on). */
static const char *const colour_names[QELMA_COLOR_COUNT] = {
    "black",     "white",  "red",   "green",        "blue",      "yellow",
    "magenta",   "cyan",   "purple", "navy blue",   "dusty plum", "ice blue",
    "turquoise", "orange", "brown", "pink",         "chalk",     "gold",
    "peach",     "forest green", "sea green", "olive", "50% gray", "20% gray",
};

/* The palette is laid out in 4 columns of 6 swatches. */
#define SWATCH_COLUMNS 4
#define SWATCH_ROWS 6
#define SWATCH_W 28     /* swatch width in pixels, less one (corners count) */
#define SWATCH_H 18     /* swatch height in pixels, less one */
#define COLUMN_STEP 145 /* distance between swatch columns */
#define ROW_STEP 26     /* distance between swatch rows */
#define PALETTE_LEFT -285
#define PALETTE_TOP 205

/* One swatch: a filled box in the colour, a thin black frame around it (so
 * that white shows up on the white background) and the colour's name. */
static void draw_swatch(int colour, int left, int top) {
    qelma_draw_rectangle(colour, left, top, left + SWATCH_W, top - SWATCH_H, 0);
    qelma_draw_rectangle(QELMA_BLACK, left, top, left + SWATCH_W, top - SWATCH_H, 1);
    /* A text's anchor is the lower-left corner of its first line. */
    qelma_draw_text(QELMA_BLACK, left + SWATCH_W + 6, top - SWATCH_H + 2, 13, colour_names[colour]);
}

static void draw_palette(void) {
    int colour;
    qelma_draw_text(QELMA_BLACK, PALETTE_LEFT, PALETTE_TOP + 12, 16, "The 24 colours");
    for (colour = 0; colour < QELMA_COLOR_COUNT; colour++) {
        int column = colour / SWATCH_ROWS; /* fill each column top to bottom */
        int row = colour % SWATCH_ROWS;
        draw_swatch(colour, PALETTE_LEFT + column * COLUMN_STEP, PALETTE_TOP - row * ROW_STEP);
    }
}

/* Each shape kind twice: filled (width 0) in the upper row, outlined (width 3)
 * in the lower row. A rectangle and an oval are given by two opposite corners
 * of their bounding box; a triangle by its three corners; a circle by its
 * centre and radius. */
static void draw_shape_kinds(void) {
    int row;
    qelma_draw_text(QELMA_BLACK, -285, 28, 16, "Filled (width 0) and outlined (width 3)");
    for (row = 0; row < 2; row++) {
        int width = row == 0 ? 0 : 3;
        int top = row == 0 ? 0 : -75;   /* upper edge of this row */
        int bottom = top - 60;          /* lower edge of this row */

        qelma_draw_rectangle(QELMA_BLUE, -280, top, -190, bottom, width);
        qelma_draw_oval(QELMA_ORANGE, -160, top, -50, bottom, width);
        qelma_draw_triangle(QELMA_FOREST_GREEN, -20, bottom, 35, top, 90, bottom, width);
        if (width == 0) {
            qelma_draw_circle(QELMA_PURPLE, 150, top - 30, 30);
        } else {
            /* A circle outline is an oval whose bounding box is a square. */
            qelma_draw_oval(QELMA_PURPLE, 120, top, 180, bottom, width);
        }
    }
    qelma_draw_text(QELMA_BLACK, 205, -20, 13, "rectangle,");
    qelma_draw_text(QELMA_BLACK, 205, -38, 13, "oval, triangle,");
    qelma_draw_text(QELMA_BLACK, 205, -56, 13, "circle");
}

/* Outlines of growing line width: the pen grows inwards and outwards from
 * the box's edge. */
static void draw_line_widths(void) {
    static const int widths[] = {1, 2, 4, 6, 10};
    int i;
    for (i = 0; i < (int)(sizeof widths / sizeof widths[0]); i++) {
        int left = -270 + i * 110;
        qelma_draw_rectangle(QELMA_NAVY_BLUE, left, -160, left + 70, -200, widths[i]);
        /* qelma_draw_textf formats its text like printf. */
        qelma_draw_textf(QELMA_BLACK, left + 5, -225, 13, "width %d", widths[i]);
    }
}

int main(void) {
    char command_line[] = "";
    qelma_begin(NULL, NULL, command_line, 1);
    qelma_clear_canvas();

    draw_palette();
    draw_shape_kinds();
    draw_line_widths();

    /* Wait until the user quits. The drawing is shown during this wait; a
     * click or a key is simply ignored. */
    for (;;) {
        int x = 0, y = 0;
        char key = 0;
        if (qelma_next_event(&x, &y, &key) == QELMA_QUIT) {
            break;
        }
    }
    qelma_end();
    return 0;
}
