// SPDX-License-Identifier: MIT
// Starts xdg-open for a document or web address: no shell between us and it, nobody waits for it,
// and a small reaper thread collects its exit status so it never lingers as a zombie.
#include "platform/ShellOpen.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace tw::platform {

namespace {

std::function<void(const std::string&)>& handler() {
    static std::function<void(const std::string&)> instance;
    return instance;
}

} // namespace

void setShellOpenHandler(std::function<void(const std::string&)> newHandler) { handler() = std::move(newHandler); }

void shellOpen(const std::string& target) {
    if (handler()) {
        handler()(target);
        return;
    }
    // The target is one argument of its own: spaces or ';' in it are never interpreted.
    std::string program = "xdg-open";
    std::string argument = target;
    char* argv[] = {program.data(), argument.data(), nullptr};
    // The desktop handler gets none of our open files (the display connection, the audio device).
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return; // like the shell's "open", a failure is not reported
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: collect it later rather than block now.
        waitpid(pid, nullptr, WNOHANG);
    }
}

} // namespace tw::platform
