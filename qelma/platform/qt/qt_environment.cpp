// Environment choices made before the QApplication exists. See
// qt_environment.h.
#include "qelma/platform/qt/qt_environment.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/queue.h"

namespace {

bool set(const char *value) {
    return value != nullptr && value[0] != '\0';
}

// Connects to a Unix socket and closes the connection at once. An abstract
// name (Linux) is given with abstract set; the path then has no leading NUL.
// The connection does not wait: a server whose queue of connections is full
// is there all the same (EAGAIN), and a hung one cannot stall the start.
bool accepts_connection(const std::string &path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    // A path needs its terminating NUL; an abstract name is counted exactly.
    if (path.empty() || path.size() + offset + (abstract ? 0 : 1) > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    int result;
    do {
        result = connect(fd, reinterpret_cast<const sockaddr *>(&address), length);
    } while (result != 0 && errno == EINTR);
    const bool listening = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    close(fd);
    return listening;
}

} // namespace

bool plat_qt_wayland_reachable(const QtDisplayEnvironment &env) {
    // Without WAYLAND_DISPLAY a Wayland client tries "wayland-0".
    const std::string name = set(env.wayland_display) ? env.wayland_display : "wayland-0";
    if (name[0] == '/')
        return accepts_connection(name, false);
    if (!set(env.runtime_dir))
        return false;
    return accepts_connection(std::string(env.runtime_dir) + "/" + name, false);
}

bool plat_qt_x_server_reachable(const QtDisplayEnvironment &env) {
    if (!set(env.display))
        return false;
    const std::string display = env.display;
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = display.substr(0, colon);
    std::size_t end = colon + 1;
    while (end < display.size() && display[end] >= '0' && display[end] <= '9')
        ++end;
    const std::string number = display.substr(colon + 1, end - colon - 1);
    if (number.empty() || (end < display.size() && display[end] != '.'))
        return false;
    if (!host.empty() && host != "unix")
        return true; // over the network: only a real connection attempt would tell
    const std::string socket_dir = set(env.x11_socket_dir) ? env.x11_socket_dir : "/tmp/.X11-unix";
    const std::string path = socket_dir + "/X" + number;
    // Linux X servers listen on the file and on an abstract name of the same text.
    return accepts_connection(path, false) || accepts_connection(path, true);
}

std::string plat_qt_choose_platform(const QtDisplayEnvironment &env) {
    if (set(env.qt_qpa_platform))
        return {};
    if (plat_qt_wayland_reachable(env) && plat_qt_x_server_reachable(env))
        return "xcb";
    return {};
}

std::string plat_qt_private_runtime_dir(const std::string &base, uid_t uid, std::string *error) {
    std::string scratch;
    std::string &why = error ? *error : scratch;
    if (base.empty() || base[0] != '/') {
        why = "the temporary directory \"" + base + "\" is not an absolute path";
        return {};
    }
    const std::string path = base + "/qelma-runtime-" + std::to_string(uid);
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make " + path + ": " + std::strerror(errno);
        return {};
    }
    // Whether made just now or found, it is checked: a name in a shared
    // directory may have been taken by someone else first.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        why = "cannot examine " + path + ": " + std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(st.st_mode)) {
        why = path + " exists and is not a directory";
        return {};
    }
    if (st.st_uid != uid) {
        why = path + " belongs to another user";
        return {};
    }
    if ((st.st_mode & 07777) != 0700 && chmod(path.c_str(), 0700) != 0) {
        why = "cannot set the mode of " + path + " to 0700: " + std::strerror(errno);
        return {};
    }
    return path;
}

void plat_qt_prepare_environment() {
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    if (!QCoreApplication::instance()) {
        // Qt keeps sockets and locks in the runtime directory and complains
        // at every start when the session gives none (a login without a
        // desktop session, su, containers).
        if (!set(std::getenv("XDG_RUNTIME_DIR"))) {
            const char *tmp = std::getenv("TMPDIR");
            std::string error;
            const std::string dir =
                plat_qt_private_runtime_dir(set(tmp) ? tmp : "/tmp", geteuid(), &error);
            if (!dir.empty())
                setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            else
                winlayer::warn("no runtime directory of our own: %s", error.c_str());
        }
        const QtDisplayEnvironment env{std::getenv("QT_QPA_PLATFORM"),
                                       std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"),
                                       std::getenv("XDG_RUNTIME_DIR"), "/tmp/.X11-unix"};
        const std::string platform = plat_qt_choose_platform(env);
        if (!platform.empty())
            setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    }
}

// ------------------------------------------------------ ending from outside

namespace {

constexpr int END_SIGNALS[] = {SIGTERM, SIGHUP, SIGINT};
bool caught[3] = {};                       // END_SIGNALS[i] is caught here
volatile std::sig_atomic_t end_signal = 0; // the first end signal caught
int end_pipe[2] = {-1, -1};

void default_action(int signal_number) {
    struct sigaction act {};
    act.sa_handler = SIG_DFL;
    sigemptyset(&act.sa_mask);
    sigaction(signal_number, &act, nullptr);
}

// The grace time ran out: the program is ended by the signal it was sent.
void on_grace_over(int) {
    default_action(end_signal);
    raise(end_signal);
}

// Only async-signal-safe calls: sigaction, write, alarm.
void on_end_signal(int signal_number) {
    const int saved = errno;
    if (end_signal == 0) {
        end_signal = signal_number;
        struct sigaction act {};
        act.sa_handler = on_grace_over;
        sigemptyset(&act.sa_mask);
        sigaction(SIGALRM, &act, nullptr);
        alarm(END_SIGNAL_GRACE_S);
    }
    for (int i = 0; i < 3; ++i) {
        if (caught[i])
            default_action(END_SIGNALS[i]);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(end_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int plat_qt_catch_end_signals() {
    static bool done = false;
    if (done)
        return end_pipe[0];
    done = true;
    if (pipe2(end_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        winlayer::warn("no pipe for signals (%s): SIGTERM, SIGHUP and SIGINT end the program "
                       "at once", std::strerror(errno));
        end_pipe[0] = end_pipe[1] = -1;
        return -1;
    }
    for (int i = 0; i < 3; ++i) {
        struct sigaction now {};
        // A signal the program ignores (nohup) or handles itself stays so.
        if (sigaction(END_SIGNALS[i], nullptr, &now) != 0 || now.sa_handler != SIG_DFL)
            continue;
        struct sigaction act {};
        act.sa_handler = on_end_signal;
        sigemptyset(&act.sa_mask);
        act.sa_flags = SA_RESTART;
        caught[i] = sigaction(END_SIGNALS[i], &act, nullptr) == 0;
    }
    return end_pipe[0];
}

int plat_qt_end_signal_caught() {
    char bytes[16];
    while (end_pipe[0] >= 0 && read(end_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (end_signal != 0)
        alarm(0); // the program ends in good order now, however long writing takes
    return end_signal;
}

void plat_qt_end_by_signal(int signal_number) {
    std::fflush(nullptr);
    default_action(signal_number);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number); // not reached: the default action ends the process
}
