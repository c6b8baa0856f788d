// Which toolkit runs under the layer, chosen once as the program starts: a
// replayed program (qelma-replay names its script) runs headless, with no
// window system and no toolkit start-up, and so does any program run with
// QELMA_PLATFORM=headless; every other program runs the library's native
// toolkit.
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/replay_stream.h"

#include <cstdlib>
#include <cstring>

namespace winlayer {

const Toolkit *chosen_toolkit = nullptr;

namespace {

bool named(const char *value) { return value != nullptr && value[0] != '\0'; }

} // namespace

const Toolkit &toolkit_for(const char *replay_script, const char *platform, bool *unknown) {
    *unknown = false;
    if (named(replay_script))
        return HEADLESS_TOOLKIT;
    const Toolkit &native = native_toolkit();
    if (!named(platform) || std::strcmp(platform, "native") == 0 ||
        std::strcmp(platform, native.name) == 0)
        return native;
    if (std::strcmp(platform, HEADLESS_TOOLKIT.name) == 0)
        return HEADLESS_TOOLKIT;
    *unknown = true;
    return native;
}

const Toolkit &choose_toolkit() {
    if (chosen_toolkit)
        return *chosen_toolkit;
    const char *platform = std::getenv("QELMA_PLATFORM");
    bool unknown = false;
    chosen_toolkit = &toolkit_for(std::getenv(REPLAY_SCRIPT_VARIABLE), platform, &unknown);
    if (unknown)
        warn("QELMA_PLATFORM=%s is no platform of this build (native, %s, headless); "
             "running %s", platform, native_toolkit().name, chosen_toolkit->name);
    return *chosen_toolkit;
}

} // namespace winlayer
