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
 * client area, x to the right and y up: canvas point (x, y) is pixel column
 * origin_x + x and pixel row origin_y - y. Coordinates are not limited;
 * whatever falls outside the canvas is clipped away.
 *
 * The message log. Every call that corrects a bad argument writes a warning
 * line to the log, whatever the logging switch says; while logging is on
 * (it is at the start) every drawing call also writes one line that
 * describes it. The lines are quoted below exactly as they are written, with
 * printf conversions standing for the values named; every number in them is
 * the value after correction, and the colour name is the palette name of the
 * colour after its check (see the colour list). The newest 25 lines are kept.
 *
 * A typical program:
 *
 *     char command_line[] = "";
 *     qelma_begin(NULL, NULL, command_line, 1);
 *     qelma_clear_canvas();
 *     qelma_draw_circle(QELMA_RED, 0, 0, 20);
 *     for (;;) {
 *         int x, y;
 *         char key;
 *         if (qelma_next_event(&x, &y, &key) == QELMA_QUIT)
 *             break;
 *     }
 *     qelma_end();
 *
 * This header is valid C and C++.
 */
#ifndef QELMA_QELMA_H
#define QELMA_QELMA_H

#ifdef __cplusplus
extern "C" {
#endif

/* Lets the compiler check printf-style arguments against their format. */
#if defined(__GNUC__) || defined(__clang__)
#define QELMA_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define QELMA_PRINTF_LIKE(fmt, first)
#endif

/* Event kinds returned by qelma_next_event. An event hands out only its own
 * data; the other outputs of the wait are 0. */
#define QELMA_MOUSE 1    /* left click; x and y hold its canvas coordinates */
#define QELMA_KBD 2      /* typed character; key holds it */
#define QELMA_PERIODIC 3 /* one 100 ms tick while animation runs */
#define QELMA_QUIT 4     /* the program should end */

/* Animation modes for qelma_set_animation. The Run menu changes the same
 * switches: Animate runs, Halt animation halts, Advance one frame halts and
 * asks for one frame. */
#define QELMA_ANIMATE_HALT 0      /* no periodic events */
#define QELMA_ANIMATE_ONE_FRAME 1 /* one periodic event at the next tick */
#define QELMA_ANIMATE_RUN 2       /* a periodic event at every tick */
#define QELMA_ANIMATE_QUIT 5      /* every later wait returns QELMA_QUIT */

/* The canvas, in pixels. */
#define QELMA_CANVAS_WIDTH 601
#define QELMA_CANVAS_HEIGHT 540

/* Colour indices into the palette, with the name each has in log lines and
 * its red, green, blue value. Any other index draws red after the warning
 * "Illegal color %d; using RED.\n" with the index given. */
#define QELMA_BLACK 0         /* "black" 0, 0, 0 */
#define QELMA_WHITE 1         /* "white" 255, 255, 255, the background */
#define QELMA_RED 2           /* "red" 255, 0, 0 */
#define QELMA_GREEN 3         /* "green" 0, 255, 0 */
#define QELMA_BLUE 4          /* "blue" 0, 0, 255 */
#define QELMA_YELLOW 5        /* "yellow" 255, 255, 0 */
#define QELMA_MAGENTA 6       /* "magenta" 255, 0, 255 */
#define QELMA_CYAN 7          /* "cyan" 0, 255, 255 */
#define QELMA_PURPLE 8        /* "purple" 153, 0, 204 */
#define QELMA_NAVY_BLUE 9     /* "navy blue" 0, 51, 153 */
#define QELMA_DUSTY_PLUM 10   /* "dusty plum" 153, 102, 153 */
#define QELMA_ICE_BLUE 11     /* "ice blue" 153, 255, 255 */
#define QELMA_TURQUOISE 12    /* "turquoise" 153, 255, 204 */
#define QELMA_ORANGE 13       /* "orange" 255, 102, 0 */
#define QELMA_BROWN 14        /* "brown" 153, 102, 51 */
#define QELMA_PINK 15         /* "pink" 255, 153, 204 */
#define QELMA_CHALK 16        /* "chalk" 255, 255, 153 */
#define QELMA_GOLD 17         /* "gold" 204, 153, 51 */
#define QELMA_PEACH 18        /* "peach" 255, 153, 102 */
#define QELMA_FOREST_GREEN 19 /* "forest green" 0, 102, 51 */
#define QELMA_SEA_GREEN 20    /* "sea green" 51, 204, 153 */
#define QELMA_OLIVE 21        /* "olive" 153, 153, 51 */
#define QELMA_GRAY_50 22      /* "50% gray" 128, 128, 128 */
#define QELMA_GRAY_20 23      /* "20% gray" 204, 204, 204 */
#define QELMA_COLOR_COUNT 24  /* valid indices are 0 to QELMA_COLOR_COUNT - 1 */

/* ------------------------------------------------------------------ Session */

/* Session. qelma_begin takes the four start-up values of a Windows program
 * (instance, previous instance, command line, show command) unchanged; it
 * opens both windows, the canvas and the 100 ms timer and returns 1.
 * qelma_end releases the window's drawing context, closes the script file
 * and returns 1.
 *
 * qelma_begin: instance and command_line are not read (pass NULL and ""); a
 * non-NULL previous_instance means the window classes exist already; the
 * windows are shown as show_command says (1: normally). Animation starts
 * halted, logging on, the log empty. Call it once, before anything else.
 * Writes no log line.
 *
 * qelma_end: also writes to the script a run of periodic events that
 * recording has counted but not yet written. It may write
 *     "Error writing script file %s\n"   (%s: "QELMA.SCR") when the script
 * file could not be written completely (a full disk, for example). The
 * windows stay until the program ends. */
int qelma_begin(void *instance, void *previous_instance, char *command_line, int show_command);
int qelma_end(void);

/* ------------------------------------------------------------------- Events */

/* Waits for the next event, fills x, y and key (0 where the event carries no
 * such data) and returns its kind.
 *
 * Returns QELMA_MOUSE, QELMA_KBD, QELMA_PERIODIC or QELMA_QUIT, never
 * anything else. Any of x, y and key may be NULL to ignore it. While it
 * waits the canvas is shown, the Run menu and its Ctrl shortcuts work, and a
 * character typed in either window becomes QELMA_KBD (not while Ctrl is
 * held). A periodic event is delivered at the first tick after the wait
 * began: ticks that fell while the program was busy between two waits are
 * dropped. A click or character that comes first replaces the tick's event.
 * Closing the drawing window or Run > Quit makes the wait return QELMA_QUIT;
 * after qelma_set_animation(QELMA_ANIMATE_QUIT) every wait returns
 * QELMA_QUIT once it has an event of its own.
 *
 * Recording (Run > Record Script) writes each event returned into
 * "QELMA.SCR" in the current directory; playback (Run > Playback Script,
 * Play One Script) returns the events read from it, not paced by the timer.
 * A click, character or quit that arrives during playback is returned first;
 * the script's next event follows at the next wait. A script line that
 * cannot be used stops playback. The wait may write, with %s "QELMA.SCR":
 *     "Cannot open script file %s for writing\n"  (recording; it tries again
 *                                                   at the next event)
 *     "Cannot open script file %s for reading\n"  (playback stops)
 *     "EOF encountered in script file %s\n"       (playback stops)
 *     "Cannot read script file %s\n"              (playback stops)
 *     "Line too short in script file %s; playback stopped\n"
 *     "Missing number in script file %s; playback stopped\n"
 *     "Number out of range in script file %s; playback stopped\n"
 *     "Error writing script file %s\n"            (a line was not written)
 * Recording and playback never use the file in both directions at once: the
 * side that finds it held by the other writes its "Cannot open" line. */
int qelma_next_event(int *x, int *y, char *key);

/* Sets the animation mode. Returns 0 when no session is open, else 1.
 *
 * QELMA_ANIMATE_HALT stops periodic events (one already waiting for its tick
 * is still delivered); QELMA_ANIMATE_ONE_FRAME asks for one periodic event
 * and leaves a running animation running; QELMA_ANIMATE_RUN gives one at
 * every tick; QELMA_ANIMATE_QUIT makes every later wait return QELMA_QUIT
 * (it cannot be undone). Any other mode changes nothing and still returns 1.
 * Writes no log line. */
int qelma_set_animation(int mode);

/* ------------------------------------------------------------------ Drawing */

/* Drawing calls. Bad arguments are corrected with a warning line in the log;
 * while logging is on each call also describes itself in the log. A width of
 * 0 asks for a filled shape. Boxes include both of their corners.
 *
 * Every drawing call paints on the canvas at once and returns 1 (textf: the
 * number of characters); the window shows the result at the next wait.
 * Before qelma_begin the calls check their arguments and write their lines,
 * but paint nothing. A negative size or width is made positive; the one
 * value without a positive counterpart, INT_MIN, becomes INT_MAX. Colours
 * are checked with the warning "Illegal color %d; using RED.\n" (the index
 * given) and drawn in red. The warnings of one call come in the order its
 * comment lists them; the description line comes last. */

/* A filled circle of the radius around (x, y): its box is 2 * radius + 1
 * pixels each way; radius 0 is one pixel.
 * Warnings: colour, then
 *     "Radius of %d not possible, using radius %d\n"  (radius given, its negation)
 * Logged:
 *     "%s circle at (%d,%d), radius %d\n"  (colour name, x, y, radius) */
int qelma_draw_circle(int color, int x, int y, int radius);

/* A triangle with corners (x1, y1), (x2, y2), (x3, y3), filled when width
 * is 0, else outlined with a pen width pixels wide.
 * Warnings: colour, then
 *     "Width of %d not possible, using width %d\n"  (width given, its negation)
 * Logged (the same for filled and outlined):
 *     "%s triangle at (%d,%d), (%d,%d), (%d,%d)\n"  (colour name, x1, y1, x2, y2, x3, y3) */
int qelma_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);

/* A rectangle with opposite corners (x1, y1) and (x2, y2), given in any
 * order; it is logged as the box from its upper-left (left, top) to its
 * lower-right corner (right, bottom), y up.
 * Warnings: colour, then width ("Width of %d not possible, using width %d\n").
 * Logged:
 *     "%s rectangle with bounding box (%d,%d) to (%d,%d), filled\n"
 *     "%s rectangle with bounding box (%d,%d) to (%d,%d) with line width %d\n"
 * (colour name, left, top, right, bottom[, width]; the first when width is 0) */
int qelma_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width);

/* The ellipse inscribed in the box with opposite corners (x1, y1) and
 * (x2, y2), given in any order; a square box gives a circle.
 * Warnings: width first ("Width of %d not possible, using width %d\n"),
 * then colour.
 * Logged:
 *     "%s oval with bounding box (%d,%d) to (%d,%d), filled\n"
 *     "%s oval with bounding box (%d,%d) to (%d,%d), line width %d\n"
 * (colour name, left, top, right, bottom[, width]; the first when width is 0) */
int qelma_draw_oval(int color, int x1, int y1, int x2, int y2, int width);

/* Text grows downwards from its anchor (x, y), the lower-left corner of its
 * first line; '\n' starts a new line. point_size is the character height in
 * pixels, 0 to 127.
 *
 * A point size of 0 uses the font's default height. A NULL text draws
 * nothing (it is logged as ""). The text is drawn in the colour on the
 * canvas as it is, without a background box.
 * Warnings, in this order:
 *     "ptsize of %d not possible, using ptsize %d\n"  (size given, its negation)
 *     "ptsize of %d not possible, using ptsize %d\n"  (size, 127: above 127)
 * then the colour's. A size of -200 thus writes both, with -200, 200 and
 * with 200, 127.
 * Logged (the whole text, newlines included):
 *     "%s text at (%d,%d), \"%s\"\n"  (colour name, x, y, text) */
int qelma_draw_text(int color, int x, int y, int point_size, const char *text);
/* As qelma_draw_text with printf-style formatting; returns the number of
 * characters the formatting produced.
 *
 * Text of any length is formatted in full up to 65535 characters (longer
 * text is cut there; the result still counts all of it); a NULL format
 * draws nothing. Writes what qelma_draw_text writes for the formatted text;
 * a formatting error (a negative result) draws nothing. */
int qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...)
    QELMA_PRINTF_LIKE(5, 6);
/* Fills the canvas with white inside a one-pixel black frame.
 * Logged:
 *     "Clearing the graphics window\n" */
int qelma_clear_canvas(void);

/* -------------------------------------------------------------- Message log */

/* Message log. One call makes one line of the log (the last 25 are kept);
 * returns the number of characters the formatting produced.
 *
 * The line is written whatever the logging switch says and shown at the
 * bottom of the text window, which scrolls up one line; end the format with
 * "\n" (the final newline is not drawn). Text of any length is kept in full
 * up to 65535 characters. A NULL format makes an empty line; a formatting
 * error gives a negative result and an empty line. Works before
 * qelma_begin: the line is kept and shown once the text window exists. */
int qelma_log_printf(const char *format, ...) QELMA_PRINTF_LIKE(1, 2);
/* Switches the description lines of drawing calls on (nonzero) or off.
 * Switching on also shows the text window. Returns 0 when no session is
 * open, else 1.
 *
 * The Logging item of the Run menu shows the same switch with its check
 * mark; switching off does not hide the text window. Warnings are written
 * in either case. Writes no log line. */
int qelma_set_logging(int flag);
/* Shows (nonzero) or hides the text window; returns nonzero when it was
 * visible before.
 *
 * Hidden, the window still receives the log's lines and shows them all when
 * it is shown again. Returns 0 when no session is open. Writes no log
 * line. */
int qelma_show_log_window(int flag);

#ifdef __cplusplus
}
#endif

#endif /* QELMA_QELMA_H */
