// The choices made before Qt starts: which Qt platform under a Wayland
// compositor with an X server beside it, the private runtime directory, and
// the face drawn for the library's text font. Real sockets stand for the
// compositor and the X server.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "qelma/platform/platform.h"
#include "qelma/platform/qt/qt_environment.h"
#include "qelma/platform/winlayer/toolkit.h"

namespace fs = std::filesystem;

namespace {

// A listening Unix socket at a path, or under an abstract name, for as long
// as the object lives.
class Listener {
  public:
    explicit Listener(const std::string &name, bool abstract = false) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, name.data(), name.size());
        const socklen_t length = static_cast<socklen_t>(
            offsetof(sockaddr_un, sun_path) + offset + name.size() + (abstract ? 0 : 1));
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
              listen(fd_, 4) == 0;
    }
    ~Listener() {
        if (fd_ >= 0)
            close(fd_);
    }
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;
    bool ok() const { return ok_; }

  private:
    int fd_ = -1;
    bool ok_ = false;
};

class QtEnvironment : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qelma-env-test-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "run");
        fs::create_directories(dir_ / "x11");
        runtime_ = (dir_ / "run").string();
        x11_ = (dir_ / "x11").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    QtDisplayEnvironment env(const char *platform, const char *wayland, const char *display) {
        return {platform, wayland, display, runtime_.c_str(), x11_.c_str()};
    }

    fs::path dir_;
    std::string runtime_, x11_;
};

TEST_F(QtEnvironment, XServerChosenOnlyBesideAWaylandCompositorAndWithoutAUserChoice) {
    Listener wayland(runtime_ + "/wayland-1");
    Listener x(x11_ + "/X3");
    ASSERT_TRUE(wayland.ok() && x.ok());

    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-1", ":3")), "xcb");
    EXPECT_EQ(plat_qt_choose_platform(env("", "wayland-1", ":3.0")), "xcb"); // empty: no choice
    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-1", "unix:3")), "xcb");
    // The user's own choice stands, whatever it is.
    EXPECT_EQ(plat_qt_choose_platform(env("wayland", "wayland-1", ":3")), "");
    EXPECT_EQ(plat_qt_choose_platform(env("offscreen", "wayland-1", ":3")), "");
    // Only one of the two: Qt's own choice is the right one.
    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-1", nullptr)), "");
    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-1", "")), "");
    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-9", ":3")), "");
    // An X display named but not listening is not chosen.
    EXPECT_EQ(plat_qt_choose_platform(env(nullptr, "wayland-1", ":4")), "");
}

// Which toolkit runs: a replayed program never starts Qt, whatever the user
// chose; QELMA_PLATFORM picks one by name, and a name this build lacks runs
// the native one with a warning.
TEST(ToolkitChoice, ReplayAndQelmaPlatformChooseHeadlessOtherwiseQt) {
    struct Case {
        const char *replay_script, *platform, *runs;
        bool unknown;
    } cases[] = {
        {nullptr, nullptr, "qt", false},     {"", "", "qt", false},
        {nullptr, "native", "qt", false},    {nullptr, "qt", "qt", false},
        {nullptr, "headless", "headless", false},
        {"game.SCR", nullptr, "headless", false}, {"game.SCR", "qt", "headless", false},
        {nullptr, "wayland", "qt", true},    {nullptr, "Headless", "qt", true},
    };
    for (const Case &c : cases) {
        bool unknown = !c.unknown;
        EXPECT_STREQ(winlayer::toolkit_for(c.replay_script, c.platform, &unknown).name, c.runs)
            << (c.replay_script ? c.replay_script : "(unset)") << " "
            << (c.platform ? c.platform : "(unset)");
        EXPECT_EQ(unknown, c.unknown);
    }
}

TEST_F(QtEnvironment, WaylandSocketIsFoundWhereAClientLooksForIt) {
    Listener fallback(runtime_ + "/wayland-0");
    Listener absolute(dir_.string() + "/compositor");
    ASSERT_TRUE(fallback.ok() && absolute.ok());
    EXPECT_TRUE(plat_qt_wayland_reachable(env(nullptr, nullptr, nullptr)));  // "wayland-0"
    EXPECT_TRUE(plat_qt_wayland_reachable(env(nullptr, "", nullptr)));
    EXPECT_TRUE(plat_qt_wayland_reachable(env(nullptr, (dir_.string() + "/compositor").c_str(), nullptr)));
    EXPECT_FALSE(plat_qt_wayland_reachable(env(nullptr, "wayland-5", nullptr)));
    // A socket file that nobody listens on any more.
    {
        Listener gone(runtime_ + "/wayland-2");
        ASSERT_TRUE(gone.ok());
    }
    EXPECT_TRUE(fs::exists(runtime_ + "/wayland-2"));
    EXPECT_FALSE(plat_qt_wayland_reachable(env(nullptr, "wayland-2", nullptr)));
    // Without a runtime directory a relative name leads nowhere.
    QtDisplayEnvironment no_runtime = env(nullptr, "wayland-0", nullptr);
    no_runtime.runtime_dir = nullptr;
    EXPECT_FALSE(plat_qt_wayland_reachable(no_runtime));
    // A name too long for a socket address is refused, not cut.
    const std::string long_name(200, 'w');
    EXPECT_FALSE(plat_qt_wayland_reachable(env(nullptr, long_name.c_str(), nullptr)));
}

TEST_F(QtEnvironment, XDisplayNamesAreReadAsXlibReadsThem) {
    Listener file_socket(x11_ + "/X7");
    Listener abstract_socket(x11_ + "/X8", true);
    ASSERT_TRUE(file_socket.ok() && abstract_socket.ok());
    EXPECT_TRUE(plat_qt_x_server_reachable(env(nullptr, nullptr, ":7")));
    EXPECT_TRUE(plat_qt_x_server_reachable(env(nullptr, nullptr, ":7.1")));
    EXPECT_TRUE(plat_qt_x_server_reachable(env(nullptr, nullptr, ":8"))); // abstract name only
    EXPECT_FALSE(plat_qt_x_server_reachable(env(nullptr, nullptr, ":9")));
    EXPECT_TRUE(plat_qt_x_server_reachable(env(nullptr, nullptr, "otherhost:10.0")));
    for (const char *bad : {"", "7", ":", ":x", ":7x", "host:"})
        EXPECT_FALSE(plat_qt_x_server_reachable(env(nullptr, nullptr, bad))) << bad;
    EXPECT_FALSE(plat_qt_x_server_reachable(env(nullptr, nullptr, nullptr)));
}

TEST_F(QtEnvironment, PrivateRuntimeDirectoryIsMadeUsedAndGuarded) {
    const std::string base = dir_.string();
    const uid_t me = geteuid();
    std::string error;
    const std::string dir = plat_qt_private_runtime_dir(base, me, &error);
    ASSERT_EQ(dir, base + "/qelma-runtime-" + std::to_string(me)) << error;
    struct stat st {};
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, me);

    // Found again, with a mode that lets others in: used, and closed again.
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    EXPECT_EQ(plat_qt_private_runtime_dir(base, me, &error), dir) << error;
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // Someone else's directory, a symbolic link or a file under that name
    // is never used.
    // (Asked for user me + 1, the directory made is still ours.)
    EXPECT_EQ(plat_qt_private_runtime_dir(base, me + 1, &error), "");
    EXPECT_NE(error.find("another user"), std::string::npos) << error;
    fs::create_directories(base + "/elsewhere");
    fs::create_directory_symlink(base + "/elsewhere",
                                 base + "/qelma-runtime-" + std::to_string(me + 2));
    EXPECT_EQ(plat_qt_private_runtime_dir(base, me + 2, &error), "");
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
    {
        std::FILE *f = std::fopen((base + "/qelma-runtime-" + std::to_string(me + 3)).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    EXPECT_EQ(plat_qt_private_runtime_dir(base, me + 3, &error), "");
    EXPECT_EQ(plat_qt_private_runtime_dir("relative/dir", me, &error), "");
    EXPECT_EQ(plat_qt_private_runtime_dir(base + "/missing/parent", me, &error), "");
    EXPECT_NE(error.find("cannot make"), std::string::npos) << error;
}

// Runs before anything has started Qt in this process (its own test binary):
// the library's own start-up leaves Qt a runtime directory.
TEST(QtStart, RuntimeDirectorySet) {
    unsetenv("XDG_RUNTIME_DIR");
    plat_init();
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    ASSERT_NE(runtime, nullptr);
    struct stat st {};
    ASSERT_EQ(lstat(runtime, &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_NE(QApplication::instance(), nullptr);
}

} // namespace
