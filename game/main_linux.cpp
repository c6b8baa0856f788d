// The car game's entry point on Linux: hands the four start-up values of a
// Windows program (no instance, no previous instance, an empty command line,
// show normally) to cargame_main.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "game/game_loop.h"
#include "game/no_display.h"

namespace {

bool has_env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether the game runs with no screen at all: replayed (qelma-replay names
// its script) or asked to run headless.
bool headless() {
    const char *platform = std::getenv("QELMA_PLATFORM");
    return has_env("QELMA_REPLAY_SCRIPT") || (platform && std::strcmp(platform, "headless") == 0);
}

} // namespace

int main() {
    if (!headless() && !has_env("DISPLAY") && !has_env("WAYLAND_DISPLAY") &&
        !has_env("QT_QPA_PLATFORM")) {
        std::error_code error;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
        std::fputs(no_display_message(error ? std::string("cargame") : exe.string(),
                                      std::getenv("PATH"))
                       .c_str(),
                   stderr);
        return 1;
    }
    char command_line[] = "";
    cargame_main(nullptr, nullptr, command_line, 1 /* SW_SHOWNORMAL */);
    return 0;
}
