/*
 * QELMA: a small graphics-and-events library.
 *
 * A QELMA program opens a session, draws on a 601 x 540 canvas in 24 named
 * colours and asks for one event at a time (mouse click, typed character,
 * 100 ms periodic tick, quit). The canvas reaches the "QELMA Graphics" window
 * while the program waits for its next event; the "QELMA Text" window shows
 * the newest lines of the message log.
 *
 * Canvas coordinates have their origin at the centre of the drawing window's
 * client area, x to the right and y up.
 *
 * This header is valid C and C++.
 */
#ifndef QELMA_QELMA_H
#define QELMA_QELMA_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__) || defined(__clang__)
#define QELMA_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define QELMA_PRINTF_LIKE(fmt, first)
#endif

/* Event kinds returned by qelma_next_event. */
#define QELMA_MOUSE 1    /* left click; x and y hold its canvas coordinates */
#define QELMA_KBD 2      /* typed character; key holds it */
#define QELMA_PERIODIC 3 /* one 100 ms tick while animation runs */
#define QELMA_QUIT 4     /* the program should end */

/* Animation modes for qelma_set_animation. */
#define QELMA_ANIMATE_HALT 0      /* no periodic events */
#define QELMA_ANIMATE_ONE_FRAME 1 /* one periodic event at the next tick */
#define QELMA_ANIMATE_RUN 2       /* a periodic event at every tick */
#define QELMA_ANIMATE_QUIT 5      /* every later wait returns QELMA_QUIT */

/* The canvas, in pixels. */
#define QELMA_CANVAS_WIDTH 601
#define QELMA_CANVAS_HEIGHT 540

/* Colour indices into the palette. Any other index draws red after a warning. */
#define QELMA_BLACK 0
#define QELMA_WHITE 1 /* the background */
#define QELMA_RED 2
#define QELMA_GREEN 3
#define QELMA_BLUE 4
#define QELMA_YELLOW 5
#define QELMA_MAGENTA 6
#define QELMA_CYAN 7
#define QELMA_PURPLE 8
#define QELMA_NAVY_BLUE 9
#define QELMA_DUSTY_PLUM 10
#define QELMA_ICE_BLUE 11
#define QELMA_TURQUOISE 12
#define QELMA_ORANGE 13
#define QELMA_BROWN 14
#define QELMA_PINK 15
#define QELMA_CHALK 16
#define QELMA_GOLD 17
#define QELMA_PEACH 18
#define QELMA_FOREST_GREEN 19
#define QELMA_SEA_GREEN 20
#define QELMA_OLIVE 21
#define QELMA_GRAY_50 22
#define QELMA_GRAY_20 23
#define QELMA_COLOR_COUNT 24

/* Session. qelma_begin takes the four start-up values of a Windows program
 * (instance, previous instance, command line, show command) unchanged; it
 * opens both windows, the canvas and the 100 ms timer and returns 1.
 * qelma_end releases the window's drawing context, closes the script file
 * and returns 1. */
int qelma_begin(void *instance, void *previous_instance, char *command_line, int show_command);
int qelma_end(void);

/* Waits for the next event, fills x, y and key (0 where the event carries no
 * such data) and returns its kind. */
int qelma_next_event(int *x, int *y, char *key);

/* Sets the animation mode. Returns 0 when no session is open, else 1. */
int qelma_set_animation(int mode);

/* Drawing calls. Bad arguments are corrected with a warning line in the log;
 * while logging is on each call also describes itself in the log. A width of
 * 0 asks for a filled shape. Boxes include both of their corners. */
int qelma_draw_circle(int color, int x, int y, int radius);
int qelma_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);
int qelma_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width);
int qelma_draw_oval(int color, int x1, int y1, int x2, int y2, int width);
/* Text grows downwards from its anchor (x, y), the lower-left corner of its
 * first line; '\n' starts a new line. point_size is the character height in
 * pixels, 0 to 127. */
int qelma_draw_text(int color, int x, int y, int point_size, const char *text);
/* As qelma_draw_text with printf-style formatting; returns the number of
 * characters the formatting produced. */
int qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...)
    QELMA_PRINTF_LIKE(5, 6);
/* Fills the canvas with white inside a one-pixel black frame. */
int qelma_clear_canvas(void);

/* Message log. One call makes one line of the log (the last 25 are kept);
 * returns the number of characters the formatting produced. */
int qelma_log_printf(const char *format, ...) QELMA_PRINTF_LIKE(1, 2);
/* Switches the description lines of drawing calls on (nonzero) or off.
 * Switching on also shows the text window. Returns 0 when no session is
 * open, else 1. */
int qelma_set_logging(int flag);
/* Shows (nonzero) or hides the text window; returns nonzero when it was
 * visible before. */
int qelma_show_log_window(int flag);

#ifdef __cplusplus
}
#endif

#endif /* QELMA_QELMA_H */
