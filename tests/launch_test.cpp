// Opening a target: as a program first, then with the desktop's handler, never through a
// shell, and with nothing left to reap.
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {
class OpenTarget : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_);
        // A stand-in handler and a stand-in program that log their arguments, one per line (an
        // empty line for none).
        for (const char* name : {"xdg-open", "stand-in-program"})
            write_script(dir_ / name,
                         "printf '%s\\n' \"$@\" > \"" + (dir_ / name).string() + ".log\"");
        setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", old_path_.c_str(), 1);
        fs::remove_all(dir_);
    }
    static void write_script(const fs::path& path, const std::string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    // The log a stand-in wrote, once it exists (empty after five seconds without it).
    std::string log_of(const char* name) {
        const fs::path log = dir_ / (std::string(name) + ".log");
        for (int i = 0; i < 500 && !fs::exists(log); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const fs::path dir_ = fs::temp_directory_path() / ("open-target-" + std::to_string(getpid()));
    const std::string old_path_ = std::getenv("PATH");
};

TEST_F(OpenTarget, AnAddressGoesToTheHandlerAsOneUntouchedArgumentLeavingNothingToReap) {
    const std::string target = "http://host/a b; echo \"$(touch pwned)\" 'q' `id` & | > x";
    ASSERT_NE(shell_open_target(target.c_str()), 0);
    EXPECT_EQ(log_of("xdg-open"), target + "\n");
    EXPECT_FALSE(fs::exists("pwned"));
    // The launcher reaps its own children: none is left for the caller, dead or alive.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(OpenTarget, AnAddressNeverRunsAProgramPlantedUnderItsName) {
    // "http://host/path" read as a relative path is ./http:/host/path.
    fs::create_directories(dir_ / "http:" / "host");
    const fs::path planted = dir_ / "http:" / "host" / "path";
    write_script(planted, "touch \"" + (dir_ / "planted-ran").string() + "\"");
    const fs::path old_dir = fs::current_path();
    fs::current_path(dir_);
    EXPECT_NE(shell_open_target("http://host/path"), 0);
    fs::current_path(old_dir);
    EXPECT_EQ(log_of("xdg-open"), "http://host/path\n");
    EXPECT_FALSE(fs::exists(dir_ / "planted-ran"));
}

// A program on the path is started itself; with nothing to open it, or nothing to open, fails.
TEST_F(OpenTarget, AProgramOnThePathIsStartedItselfAndNothingElseOpensIt) {
    EXPECT_NE(shell_open_target("stand-in-program"), 0);
    EXPECT_EQ(log_of("stand-in-program"), "\n");
    EXPECT_FALSE(fs::exists(dir_ / "xdg-open.log"));
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(shell_open_target("http://host/"), 0);
    EXPECT_EQ(shell_open_target(""), 0);
    EXPECT_EQ(shell_open_target(nullptr), 0);
}
} // namespace
