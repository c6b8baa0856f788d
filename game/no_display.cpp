// The no-desktop message of the Linux entry point (see no_display.h).
#include "game/no_display.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string shell_quoted(const std::string &word) {
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789/._-+=,:@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool same_file(const std::string &a, const std::string &b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

} // namespace

std::string find_on_path(const std::string &name, const char *path_env) {
    const std::string path = path_env != nullptr ? path_env : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        // An empty entry means the current directory, as the shell reads it.
        const std::string dir = end > start ? path.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        std::error_code error;
        if (fs::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string no_display_message(const std::string &exe_path, const char *path_env) {
    const std::string on_path = find_on_path("cargame", path_env);
    const bool by_name = !on_path.empty() && same_file(on_path, exe_path);
    std::string message =
        "cargame: no desktop found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "The car game opens windows and needs a graphical desktop.\n"
        "Without one, run it under a virtual X server:\n"
        "    xvfb-run -a " +
        (by_name ? std::string("cargame") : shell_quoted(exe_path)) + "\n";
    if (find_on_path("xvfb-run", path_env).empty())
        message += "xvfb-run is in the Debian package xvfb (apt-get install xvfb).\n";
    return message;
}
