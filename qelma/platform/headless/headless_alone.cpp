// The layer with the headless toolkit alone (qelma_headless): headless is
// its native toolkit too.
#include "qelma/platform/winlayer/toolkit.h"

const Toolkit &native_toolkit() { return HEADLESS_TOOLKIT; }
