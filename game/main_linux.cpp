// The car game's entry point on Linux: hands the four start-up values of a
// Windows program (no instance, no previous instance, an empty command line,
// show normally) to cargame_main.
#include <cstdio>
#include <cstdlib>

#include "game/game_loop.h"

namespace {

bool has_env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

} // namespace

int main() {
    if (!has_env("DISPLAY") && !has_env("WAYLAND_DISPLAY") && !has_env("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "cargame: no desktop found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "The car game opens windows and needs a graphical desktop.\n"
                     "Without one, run it under a virtual X server:\n"
                     "    xvfb-run -a build/dev/game/cargame\n");
        return 1;
    }
    char command_line[] = "";
    cargame_main(nullptr, nullptr, command_line, 1 /* SW_SHOWNORMAL */);
    return 0;
}
