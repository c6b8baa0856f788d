/* bounce.c: a ball that moves on its own and bounces off the walls.
 *
 * The program switches animation on and then only reacts to events:
 *   QELMA_PERIODIC  arrives every 100 ms while animation runs: move the ball
 *                   one step and draw the new frame;
 *   QELMA_QUIT      the user chose Run > Quit (Ctrl+Q) or closed the window.
 * Clicks and keys are ignored. The Run menu steers the animation without any
 * code here: Animate (Ctrl+A) starts it, Halt animation (Ctrl+H) stops it,
 * Advance one frame (Ctrl+F) moves the ball by exactly one step.
 *
 * The window's inner area is a little smaller than the 601 x 540 canvas
 * (the title bar and the menu take some of it), so the ball bounces inside
 * a court drawn with a margin, where it is always fully visible. */
#include <stddef.h>

#include <qelma/qelma.h>

/* The court, in canvas coordinates (origin in the middle, y up). */
#define COURT_LEFT -280
#define COURT_RIGHT 280
#define COURT_TOP 200
#define COURT_BOTTOM -220

#define BALL_RADIUS 15
#define BALL_COLOUR QELMA_RED

/* The ball: where it is and how far it moves in one frame. */
static int ball_x = 0;
static int ball_y = 0;
static int step_x = 9;
static int step_y = 6;
static int frames = 0; /* frames moved so far */

/* Draws the whole picture afresh: clearing and redrawing everything each
 * frame is simpler than erasing the ball at its old place. */
static void draw_frame(void) {
    qelma_clear_canvas();
    qelma_draw_text(QELMA_BLACK, COURT_LEFT, COURT_TOP + 30, 14,
                    "Run menu: Animate Ctrl+A, Halt Ctrl+H, one frame Ctrl+F, Quit Ctrl+Q");
    qelma_draw_textf(QELMA_BLACK, COURT_LEFT, COURT_TOP + 10, 14, "frame %d", frames);
    qelma_draw_rectangle(QELMA_NAVY_BLUE, COURT_LEFT, COURT_TOP, COURT_RIGHT, COURT_BOTTOM, 2);
    qelma_draw_circle(BALL_COLOUR, ball_x, ball_y, BALL_RADIUS);
}

/* One step of the ball. When it would pass a wall it is put back against
 * that wall and its direction along that axis turns round; each bounce is
 * noted in the log (the "QELMA Text" window). */
static void move_ball(void) {
    ball_x += step_x;
    ball_y += step_y;
    if (ball_x + BALL_RADIUS >= COURT_RIGHT) {
        ball_x = COURT_RIGHT - BALL_RADIUS - 1;
        step_x = -step_x;
        qelma_log_printf("frame %d: bounce off the right wall\n", frames);
    } else if (ball_x - BALL_RADIUS <= COURT_LEFT) {
        ball_x = COURT_LEFT + BALL_RADIUS + 1;
        step_x = -step_x;
        qelma_log_printf("frame %d: bounce off the left wall\n", frames);
    }
    if (ball_y + BALL_RADIUS >= COURT_TOP) {
        ball_y = COURT_TOP - BALL_RADIUS - 1;
        step_y = -step_y;
        qelma_log_printf("frame %d: bounce off the top wall\n", frames);
    } else if (ball_y - BALL_RADIUS <= COURT_BOTTOM) {
        ball_y = COURT_BOTTOM + BALL_RADIUS + 1;
        step_y = -step_y;
        qelma_log_printf("frame %d: bounce off the bottom wall\n", frames);
    }
    frames++;
}

int main(void) {
    char command_line[] = "";
    qelma_begin(NULL, NULL, command_line, 1);
    /* Drawing calls would describe themselves in the log five times a frame;
     * switch that off so that the log shows the bounces. */
    qelma_set_logging(0);
    draw_frame();

    /* From here on a periodic event arrives at every 100 ms tick. */
    qelma_set_animation(QELMA_ANIMATE_RUN);

    for (;;) {
        int x = 0, y = 0;
        char key = 0;
        int kind = qelma_next_event(&x, &y, &key);
        if (kind == QELMA_QUIT) {
            break;
        }
        if (kind == QELMA_PERIODIC) {
            move_ball();
            draw_frame();
        }
    }
    qelma_log_printf("the ball moved %d frames\n", frames);
    qelma_end();
    return 0;
}
