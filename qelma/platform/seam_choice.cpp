// The Windows library's seam: it holds two implementations of platform.h,
// the Win32 backend (win32_*, straight to USER and GDI) and the layer under
// the headless toolkit (layer_*, no window system), each compiled under its
// own names (CMake renames them from seam_calls.h). Each call goes to the one
// chosen as the program starts: the layer when the program is replayed or
// QELMA_PLATFORM says "headless", Win32 otherwise. Built with
// QELMA_SEAM_LAYER_ONLY, for the layer's own tests, every call goes to the
// layer.
#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/seam_calls.h"
#include "qelma/platform/winlayer/toolkit.h"

#define QELMA_DECLARE_BOTH(ret, name, params, args)                                         \
    ret layer_##name params;                                                               \
    ret win32_##name params;
QELMA_SEAM_CALLS(QELMA_DECLARE_BOTH)

#if defined(QELMA_SEAM_LAYER_ONLY)

#define QELMA_TO_LAYER(ret, name, params, args)                                             \
    ret name params { return layer_##name args; }
QELMA_SEAM_CALLS(QELMA_TO_LAYER)

#else

namespace {

// The Win32 backend stands where the layer's native toolkit would: the
// layer only ever runs under the headless one here.
const Toolkit WIN32_BACKEND = [] {
    Toolkit named{};
    named.name = "win32";
    return named;
}();

// The layer's own choice, made at the first call of the seam, once: the
// headless toolkit runs the layer, the Win32 backend's stand-in runs Win32.
bool runs_layer() { return &winlayer::tk() == &HEADLESS_TOOLKIT; }

} // namespace

const Toolkit &native_toolkit() { return WIN32_BACKEND; }

#define QELMA_TO_CHOSEN(ret, name, params, args)                                            \
    ret name params { return runs_layer() ? layer_##name args : win32_##name args; }
QELMA_SEAM_CALLS(QELMA_TO_CHOSEN)

#endif
