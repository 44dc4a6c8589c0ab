// SPDX-License-Identifier: MIT
// The shell "open" (xdg-open without a shell, not waited for, reaped) and the message box's
// fallback where no window system answers.
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using tw::test::TempDir;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitFor(const fs::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Children of this process that have exited but were never collected.
int zombieChildren() {
    int count = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == self && state == "Z") ++count;
    }
    return count;
}

// Puts a stand-in xdg-open first on PATH for the test's lifetime.
class FakeXdgOpen {
public:
    explicit FakeXdgOpen(const TempDir& dir) : dir_(dir.path()) {
        const fs::path script = dir_ / "xdg-open";
        // It waits until the test says shellOpen has returned, then records its arguments:
        // a caller that waited for it would never get that far.
        std::ofstream(script)
            << "#!/bin/sh\n"
               "d=$(dirname \"$0\")\n"
               "i=0\n"
               "while [ ! -e \"$d/returned\" ] && [ $i -lt 300 ]; do sleep 0.05; i=$((i+1)); done\n"
               "if [ -e \"$d/returned\" ]; then echo yes > \"$d/order.tmp\"; else echo no > \"$d/order.tmp\"; fi\n"
               "mv \"$d/order.tmp\" \"$d/order\"\n"
               "ls /proc/$$/fd > \"$d/fds.tmp\"; mv \"$d/fds.tmp\" \"$d/fds\"\n"
               "printf '%s\\n' \"$#\" \"$@\" > \"$d/args.tmp\"\n"
               "mv \"$d/args.tmp\" \"$d/args\"\n";
        fs::permissions(script, fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        setenv("PATH", (dir_.string() + ":" + oldPath_).c_str(), 1);
    }
    ~FakeXdgOpen() { setenv("PATH", oldPath_.c_str(), 1); }

private:
    fs::path dir_;
    std::string oldPath_;
};

constexpr int kInheritableFd = 57;

TEST(ShellOpen, StartsXdgOpenWithTheTargetAsOneArgumentWithoutWaiting) {
    TempDir dir;
    FakeXdgOpen fake(dir);
    const std::string target = "http://example.invalid/a b?x=1&y=2; touch " + (dir / "PWNED") + " $(touch " +
                               (dir / "PWNED2") + ") `touch " + (dir / "PWNED3") + "`";
    const int file = open("/dev/null", O_RDONLY); // without O_CLOEXEC: inherited unless closed
    ASSERT_EQ(dup2(file, kInheritableFd), kInheritableFd);
    close(file);
    tw::platform::shellOpen(target);
    std::ofstream(dir.path() / "returned") << "1";

    ASSERT_TRUE(waitFor(dir.path() / "args")) << "xdg-open was not started";
    EXPECT_EQ(readFile(dir.path() / "order"), "yes\n") << "shellOpen waited for xdg-open to finish";
    EXPECT_EQ(readFile(dir.path() / "args"), "1\n" + target + "\n");
    EXPECT_FALSE(fs::exists(dir.path() / "PWNED"));
    EXPECT_FALSE(fs::exists(dir.path() / "PWNED2"));
    EXPECT_FALSE(fs::exists(dir.path() / "PWNED3"));
    // A descriptor of ours that is not close-on-exec did not reach it.
    std::istringstream fds(readFile(dir.path() / "fds"));
    std::vector<std::string> open;
    for (std::string fd; fds >> fd;) open.push_back(fd);
    EXPECT_EQ(std::count(open.begin(), open.end(), std::to_string(kInheritableFd)), 0) << readFile(dir.path() / "fds");
    close(kInheritableFd);

    // The finished xdg-open is collected in the background and leaves no zombie behind.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (zombieChildren() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(zombieChildren(), 0);
}

TEST(ShellOpen, MissingXdgOpenIsIgnored) {
    TempDir dir;
    const char* path = std::getenv("PATH");
    const std::string oldPath = path ? path : "";
    setenv("PATH", dir.path().c_str(), 1); // an empty folder: no xdg-open anywhere
    EXPECT_NO_THROW(tw::platform::shellOpen("play.url"));
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(ShellOpen, HandlerReceivesTheTargetInsteadOfALaunch) {
    TempDir dir;
    FakeXdgOpen fake(dir);
    std::string seen;
    tw::platform::setShellOpenHandler([&](const std::string& target) { seen = target; });
    tw::platform::shellOpen("play.url");
    tw::platform::setShellOpenHandler({});
    std::ofstream(dir.path() / "returned") << "1";
    EXPECT_EQ(seen, "play.url");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(dir.path() / "order")) << "xdg-open ran although a handler was set";
}

TEST(MessageBox, WithoutAWindowSystemTheTextGoesToStandardError) {
    // The tests run on SDL's dummy video driver, where no box can be shown.
    testing::internal::CaptureStderr();
    tw::platform::showMessageBox("Can't load music.");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("Can't load music."), std::string::npos) << written;
}

TEST(MessageBox, HandlerCapturesTheTextAndIsRemovable) {
    std::vector<std::string> shown;
    tw::platform::setMessageBoxHandler([&](const std::string& text) { shown.push_back(text); });
    tw::platform::showMessageBox("one");
    tw::platform::setMessageBoxHandler({});
    testing::internal::CaptureStderr();
    tw::platform::showMessageBox("two");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, std::vector<std::string>{"one"});
    EXPECT_NE(written.find("two"), std::string::npos);
}

} // namespace
