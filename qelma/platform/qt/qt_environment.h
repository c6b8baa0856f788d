// Choices made in the process environment before Qt starts: a private
// runtime directory when the session gives none, and the X server rather
// than a Wayland compositor when both are there.
//
// Only the Qt backend includes this header.
#ifndef QELMA_PLATFORM_QT_QT_ENVIRONMENT_H
#define QELMA_PLATFORM_QT_QT_ENVIRONMENT_H

#include "qelma/platform/platform.h"

#include <string>
#include <sys/types.h>

// What the platform choice looks at; each string may be null (unset).
struct QtDisplayEnvironment {
    const char *qt_qpa_platform; // QT_QPA_PLATFORM: the user's own choice
    const char *wayland_display; // WAYLAND_DISPLAY
    const char *display;         // DISPLAY
    const char *runtime_dir;     // XDG_RUNTIME_DIR, where Wayland sockets lie
    const char *x11_socket_dir;  // where local X servers listen, "/tmp/.X11-unix"
};

// True when a Wayland compositor accepts a connection on the socket that
// WAYLAND_DISPLAY names (a name inside runtime_dir, or an absolute path).
bool plat_qt_wayland_reachable(const QtDisplayEnvironment &env);
// True when the X server that DISPLAY names can be reached: a local display
// (":0", "unix:0") accepts a connection on its socket; a display on another
// host ("host:10") is taken as reachable without connecting.
bool plat_qt_x_server_reachable(const QtDisplayEnvironment &env);
// The Qt platform to ask for: "xcb" when the user has chosen none and both a
// Wayland compositor and an X server are reachable (under Wayland a window
// cannot place itself, and QELMA's two windows have fixed places); otherwise
// empty, leaving the choice to Qt.
std::string plat_qt_choose_platform(const QtDisplayEnvironment &env);

// Makes the directory base/qelma-runtime-UID for a user without a runtime
// directory: mode 0700, owned by uid. An existing one is used when it is a
// real directory of that owner (its mode is set to 0700); anything else there
// (a file, a symbolic link, another owner's directory) is refused. Returns
// the path, or an empty string with the reason in *error.
std::string plat_qt_private_runtime_dir(const std::string &base, uid_t uid, std::string *error);

// All of the above, once per process, before the QApplication is made: sets
// XDG_RUNTIME_DIR and QT_QPA_PLATFORM where they are chosen here.
void plat_qt_prepare_environment();

// The signals that end a program from outside: SIGTERM, SIGHUP (the terminal
// or the login session goes) and SIGINT (Ctrl+C). Each one whose action is
// still the default is caught: the handler only notes the signal and writes
// a byte into a pipe, whose read end (returned; -1 when there is none) the
// toolkit's loop watches, so that the program's next look at its messages
// ends it in good order. A second such signal ends the program at once, and
// so does the first when the program has not looked within
// END_SIGNAL_GRACE_S seconds (it may be busy, or never wait again). Once
// per process; later calls return the same descriptor.
inline constexpr unsigned END_SIGNAL_GRACE_S = 2;
int plat_qt_catch_end_signals();
// The signal caught, or 0; empties the pipe. Once a signal is caught, the
// grace time stops: the caller ends the program now.
int plat_qt_end_signal_caught();
// Ends the process as the signal ends it by default, so that its exit status
// says so, after what the output streams hold has been written.
[[noreturn]] void plat_qt_end_by_signal(int signal_number);

#endif // QELMA_PLATFORM_QT_QT_ENVIRONMENT_H
