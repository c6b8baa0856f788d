// What a context draws on, for the layer's drawing files (surfaces.cpp:
// shapes, copies and pixels; text.cpp: text).
#ifndef QELMA_PLATFORM_WINLAYER_SURFACES_H
#define QELMA_PLATFORM_WINLAYER_SURFACES_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/raster.h"

namespace winlayer {

// The pixels a live context draws on: its window's client area or its
// bitmap; null for a dead context or an empty surface.
raster::Surface *surface_of(PlatDC dc);
// Rows top..bottom-1 of the context's surface were drawn on: a window
// context's window shows them (presentation.cpp).
void drawn(PlatDC dc, long long top, long long bottom);

} // namespace winlayer

#endif // QELMA_PLATFORM_WINLAYER_SURFACES_H
