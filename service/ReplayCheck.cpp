// SPDX-License-Identifier: MIT
// The child process of a replay check: forked with everything it needs prepared beforehand (the
// child only calls what is safe after a fork in a threaded program), its output read with a
// deadline, and its whole process group killed when that passes.
#include "ReplayCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

namespace tw::scores {

namespace fs = std::filesystem;

namespace {

// The end-state dump is a few hundred bytes; anything past this is no dump of the game's.
constexpr std::size_t MaxOutput = 64 * 1024;

// Environment variables a sanitizer build of the game needs to behave as the tests ask.
constexpr const char* PassedOn[] = {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"};

fs::path ProgramFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : program.parent_path();
}

// The folder the checks work in: the one set, else TMPDIR, else /tmp.
std::string TempFolder(const CheckSettings& settings) {
    if (!settings.tempFolder.empty()) return settings.tempFolder;
    const char* tmp = std::getenv("TMPDIR");
    return tmp && tmp[0] == '/' ? tmp : "/tmp";
}

// A file of the replay's bytes that only this process can read, removed when the check ends.
class ReplayFile {
public:
    ReplayFile(const std::string& base, const std::string& bytes) {
        std::string pattern = base + "/tidewarden-replay-XXXXXX.twr";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemps(name.data(), 4);
        if (fd < 0) {
            error_ = std::string("cannot write the replay to ") + base + ": " + std::strerror(errno);
            return;
        }
        path_ = name.data();
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = "cannot write the replay to " + path_ + ": " + std::strerror(errno);
                break;
            }
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~ReplayFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    ReplayFile(const ReplayFile&) = delete;
    ReplayFile& operator=(const ReplayFile&) = delete;
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

void Limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// The score of the end-state dump: its line "score N".
std::optional<long> DumpScore(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("score ", 0) != 0) continue;
        char* end = nullptr;
        const long value = std::strtol(line.c_str() + 6, &end, 10);
        if (end != line.c_str() + 6 && *end == '\0') return value;
    }
    return std::nullopt;
}

// The program's own line about what went wrong, for the log.
std::string Complaint(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("tidewarden: ", 0) == 0) {
            std::string said = line.substr(12, 200);
            for (char& c : said)
                if (c < 0x20 || c >= 0x7F) c = '?';
            return " (" + said + ")";
        }
    return {};
}

// One run of the program in its box, in `folder`, with these arguments.
struct BoxedRun {
    std::string error; // it could not be started at all
    bool timedOut = false;
    int status = 0; // as waitpid gives it
    std::string output;
};

BoxedRun RunBoxed(const CheckSettings& settings, const std::vector<std::string>& arguments, const std::string& folder,
                  const std::function<void(int)>& started) {
    BoxedRun run;
    // Everything the child uses is made before the fork.
    const std::string data =
        settings.dataFolder.empty() ? fs::path(settings.program).parent_path().string() : settings.dataFolder;
    std::vector<std::string> environment = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "PATH=/usr/bin:/bin",
                                            "HOME=" + folder,
                                            "TIDEWARDEN_DATA=" + fs::absolute(data).lexically_normal().string()};
    for (const char* name : PassedOn)
        if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = settings.program;
    std::vector<std::string> words = arguments;
    std::vector<char*> argv = {program.data()};
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto seconds = static_cast<rlim_t>((settings.timeout.count() + 999) / 1000 + 1);

    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        run.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return run;
    }
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = fork();
    if (child == 0) {
        // Its own process group, so the deadline kills whatever it started too.
        setpgid(0, 0);
        if (devNull >= 0) dup2(devNull, 0);
        // Its complaints come with the dump: they say why a replay failed.
        dup2(output[1], 1);
        dup2(output[1], 2);
        Limit(RLIMIT_CPU, seconds);
        if (settings.memoryBytes > 0) Limit(RLIMIT_AS, static_cast<rlim_t>(settings.memoryBytes));
        Limit(RLIMIT_FSIZE, rlim_t{1} << 20);
        Limit(RLIMIT_CORE, 0);
        if (chdir(folder.c_str()) != 0) _exit(127);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    ::close(output[1]);
    if (devNull >= 0) ::close(devNull);
    if (child < 0) {
        ::close(output[0]);
        run.error = std::string("cannot start the check: ") + std::strerror(errno);
        return run;
    }
    // Set from both sides: whichever runs first, the group exists before anyone signals it.
    setpgid(child, child);
    if (started) started(child);

    std::string& text = run.output;
    bool& timedOut = run.timedOut;
    const auto deadline = std::chrono::steady_clock::now() + settings.timeout;
    char chunk[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{output[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        const ssize_t n = ::read(output[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the child closed its output: it has ended or is about to
        // Past the cap the output is still read, so the child never blocks on it, but dropped.
        if (text.size() < MaxOutput) text.append(chunk, std::min(static_cast<std::size_t>(n), MaxOutput - text.size()));
    }
    ::close(output[0]);
    // A child that closed its output is waited for within the same deadline.
    int& status = run.status;
    for (;;) {
        if (timedOut) kill(-child, SIGKILL);
        const pid_t ended = waitpid(child, &status, timedOut ? 0 : WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) break;
        if (ended == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                timedOut = true;
            else
                ::usleep(5000);
        }
    }
    // Whatever it left running in its group goes with it.
    kill(-child, SIGKILL);
    return run;
}

} // namespace

CheckVerdict CheckReplay(const CheckSettings& settings, const std::string& bytes, std::uint16_t score,
                         const std::function<void(int)>& started) {
    if (settings.program.empty()) return {false, false, "no program to check replays with"};
    const ReplayFile file(TempFolder(settings), bytes);
    if (!file.Error().empty()) return {false, false, file.Error()};
    const BoxedRun run =
        RunBoxed(settings, {"--verify", file.Path()}, fs::path(file.Path()).parent_path().string(), started);
    if (!run.error.empty()) return {false, false, run.error};
    const int status = run.status;
    const std::string& text = run.output;

    if (run.timedOut)
        return {false, true,
                "the check took longer than " + std::to_string(settings.timeout.count()) + " ms and was killed"};
    if (WIFSIGNALED(status)) return {false, true, "the check was ended by signal " + std::to_string(WTERMSIG(status))};
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (exitStatus == 127) return {false, false, "the check could not run " + settings.program};
    if (exitStatus == 1) return {false, true, "the game went another way than the replay recorded" + Complaint(text)};
    if (exitStatus != 0)
        return {false, true, "the replay cannot be read (status " + std::to_string(exitStatus) + ")" + Complaint(text)};
    const auto played = DumpScore(text);
    if (!played) return {false, true, "the check wrote no score"};
    if (*played != score)
        return {false, true,
                "the replay ends at score " + std::to_string(*played) + ", the entry says " + std::to_string(score)};
    return {true, true, "the replay ends at the entry's score " + std::to_string(score)};
}

std::string ProbeVerifier(const CheckSettings& settings) {
    if (settings.program.empty()) return "no program";
    const BoxedRun run = RunBoxed(settings, {"--version"}, TempFolder(settings), {});
    if (!run.error.empty()) return run.error;
    if (run.timedOut) return "it did not answer --version within " + std::to_string(settings.timeout.count()) + " ms";
    if (WIFSIGNALED(run.status))
        return "it was ended by signal " + std::to_string(WTERMSIG(run.status)) +
               (settings.memoryBytes > 0 ? " (a build with AddressSanitizer needs --verify-memory 0)" : "");
    const int exitStatus = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
    if (exitStatus == 127) return "it cannot be run";
    if (exitStatus != 0) return "--version ended with status " + std::to_string(exitStatus);
    return {};
}

void AbortCheck(int processGroup) {
    if (processGroup > 0) kill(-processGroup, SIGKILL);
}

std::string InstalledVerifier() {
    const fs::path here = ProgramFolder();
    if (here.empty()) return {};
    std::error_code error;
    // Installed: the game's program where the install put it, relative to the service's folder;
    // in a build tree: the game in the run folder beside the service's.
    for (const fs::path& candidate : {here / TW_VERIFIER_RELATIVE, here / ".." / "run" / "tidewarden"}) {
        if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.lexically_normal().string();
    }
    return {};
}

std::string InstalledVerifierData() {
    const fs::path here = ProgramFolder();
    std::error_code error;
    if (!here.empty() && fs::is_regular_file(here / TW_VERIFIER_RELATIVE, error))
        return (here / TW_VERIFIER_DATA_RELATIVE).lexically_normal().string();
    return {}; // the build tree's run folder holds its data itself
}

} // namespace tw::scores
