// Environment choices made before the QApplication exists, and the face
// substitution for the library's text font. See qt_environment.h.
#include "qelma/platform/qt/qt_environment.h"
#include "qelma/session/replay_stream.h"

#include <QCoreApplication>
#include <QFont>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
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
    if (set(env.replay_script))
        return "offscreen";
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

void plat_qt_substitute_text_face() {
    // Liberation Sans (Debian's fonts-liberation2) first, Arimo (the same
    // metrics) second; without either, font matching picks its default face.
    QFont::insertSubstitutions(QString::fromLatin1(PLAT_TEXT_FACE),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
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
                                       std::getenv("XDG_RUNTIME_DIR"), "/tmp/.X11-unix",
                                       std::getenv(REPLAY_SCRIPT_VARIABLE)};
        const std::string platform = plat_qt_choose_platform(env);
        if (!platform.empty())
            setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    }
    plat_qt_substitute_text_face();
}
