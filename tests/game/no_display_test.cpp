// The no-desktop message names the command that starts this very cargame:
// by name when the search path finds it, else by its own path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "game/no_display.h"

namespace fs = std::filesystem;

namespace {

class NoDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("qelma-no-display-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // An executable file at root/relative.
    std::string program(const std::string &relative) {
        const fs::path p = root_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "#!/bin/sh\n";
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
    std::string dir(const std::string &relative) { return (root_ / relative).string(); }

    fs::path root_;
};

std::string command_line_of(const std::string &message) {
    const std::string marker = "    xvfb-run -a ";
    const std::size_t at = message.find(marker);
    if (at == std::string::npos)
        return "(none)";
    const std::size_t end = message.find('\n', at);
    return message.substr(at + marker.size(), end - at - marker.size());
}

TEST_F(NoDisplay, CommandFitsHowTheGameWasInstalled) {
    const std::string installed = program("usr/bin/cargame");
    const std::string in_tree = program("src/build/dev/game/cargame");
    const std::string prefix = program("home/me/qelma/bin/cargame");
    program("tools/xvfb-run");
    const std::string path = dir("usr/bin") + ":" + dir("tools");

    // A package (or a prefix on PATH): the name alone starts it.
    EXPECT_EQ(command_line_of(no_display_message(installed, path.c_str())), "cargame");
    // A build tree or a prefix off PATH: only its own path starts this one,
    // even when another cargame is installed.
    EXPECT_EQ(command_line_of(no_display_message(in_tree, path.c_str())), in_tree);
    EXPECT_EQ(command_line_of(no_display_message(prefix, path.c_str())), prefix);
    // Found through a symbolic link on PATH: still this program.
    fs::create_directories(dir("links"));
    fs::create_symlink(prefix, dir("links/cargame"));
    const std::string linked = dir("links") + ":" + dir("tools");
    EXPECT_EQ(command_line_of(no_display_message(prefix, linked.c_str())), "cargame");
    // The first cargame on the path decides.
    const std::string shadowed = dir("usr/bin") + ":" + dir("links");
    EXPECT_EQ(command_line_of(no_display_message(prefix, shadowed.c_str())), prefix);
}

TEST_F(NoDisplay, PathWithSpacesIsQuotedAndMissingXvfbIsNamed) {
    const std::string odd = program("my games/it's/cargame");
    program("tools/xvfb-run");
    const std::string tools = dir("tools");
    const std::string message = no_display_message(odd, tools.c_str());
    const std::string quoted = "'" + dir("my games/it") + "'\\''s/cargame'";
    EXPECT_EQ(command_line_of(message), quoted);
    EXPECT_EQ(message.find("apt-get install xvfb"), std::string::npos);
    // Checked by the shell itself: the quoted word is the path again.
    const std::string echo = "test \"$(printf %s " + quoted + ")\" = \"" + odd + "\"";
    EXPECT_EQ(std::system(echo.c_str()), 0) << echo;

    const std::string without = no_display_message(odd, dir("usr/bin").c_str());
    EXPECT_NE(without.find("xvfb-run is in the Debian package xvfb"), std::string::npos);
    EXPECT_NE(no_display_message(odd, nullptr).find("package xvfb"), std::string::npos);
}

TEST_F(NoDisplay, SearchPathIsReadAsTheShellReadsIt) {
    const std::string runnable = program("a/tool");
    fs::create_directories(root_ / "b");
    std::ofstream(root_ / "b/tool") << "not runnable";
    fs::permissions(root_ / "b/tool", fs::perms::owner_read);
    fs::create_directories(root_ / "c/tool"); // a directory of that name
    const std::string path = dir("b") + ":" + dir("c") + "::" + dir("a");
    // A file without the execute bit and a directory are passed over; the
    // empty entry (the current directory) is searched in its place.
    EXPECT_EQ(find_on_path("tool", path.c_str()), dir("a") + "/tool");
    EXPECT_EQ(find_on_path("none", path.c_str()), "");
    EXPECT_EQ(find_on_path("tool", ""), "");
    EXPECT_EQ(find_on_path("tool", nullptr), "");
}

} // namespace
