/* The file the whole class was given and hands in unchanged: qelma-check
 * builds it once for all. It is C, also beside ben's C++. */
#include <qelma/qelma.h>

void draw_answer(int wrong_colour) { qelma_draw_circle(wrong_colour ? QELMA_BLUE : QELMA_RED, 0, 0, 80); }
