// What the Linux entry point says when there is no desktop to open windows
// on: the command that starts this very program under a virtual X server.
#ifndef GAME_NO_DISPLAY_H
#define GAME_NO_DISPLAY_H

#include <string>

// The whole message for the program at exe_path (the running executable),
// given the search path path_env (PATH, may be null). The command is
// "xvfb-run -a cargame" when the first cargame on the search path is this
// program (an installed package, or a prefix on PATH), otherwise the
// program's own path, quoted for the shell when it needs it (a build tree, a
// prefix off PATH). When no xvfb-run is on the search path, a last line says
// which Debian package has it.
std::string no_display_message(const std::string &exe_path, const char *path_env);

// The first file called name in the directories of path_env that can be
// run, or an empty string.
std::string find_on_path(const std::string &name, const char *path_env);

#endif // GAME_NO_DISPLAY_H
