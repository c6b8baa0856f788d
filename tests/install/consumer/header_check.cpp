// The public header compiled as C++: its calls have C linkage and its
// constants are usable in constant expressions.
#include <qelma/qelma.h>

static_assert(QELMA_COLOR_COUNT == 24, "24 colours");
static_assert(QELMA_CANVAS_WIDTH * QELMA_CANVAS_HEIGHT > 0, "a canvas");

extern "C" {
// Taking the addresses checks that the declarations link as C symbols.
int (*const qelma_consumer_begin)(void *, void *, char *, int) = qelma_begin;
int (*const qelma_consumer_draw_textf)(int, int, int, int, const char *, ...) = qelma_draw_textf;
}
