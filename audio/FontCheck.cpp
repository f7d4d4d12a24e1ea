#include "audio/FontCheck.h"

#include "audio/SoundModule.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

extern char** environ;

namespace quorlin::audio {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::mutex g_trustMutex;
std::set<std::string>& trusted()
{
    static std::set<std::string> stamps;
    return stamps;
}

// Closes what it holds, whatever path leaves the check.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string firstLine(std::string text)
{
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

FontCheck checkFontApart(const std::vector<std::string>& command, const std::string& fontPath,
                         std::chrono::milliseconds limit)
{
    if (command.empty())
        return {false, "there is nothing to check it with"};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {false, std::string("cannot check it: ") + std::strerror(errno)};
    Descriptor readEnd{pipeFds[0]}, writeEnd{pipeFds[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 1);
    // What the libraries would print is ours to drop; the reason comes on standard output.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The caller may be a thread with signals blocked; the checker must be killable and die
    // of its own faults as any program would.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args = command;
    args.push_back(fontPath);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return {false, "cannot check it: " + args.front() + ": " + std::strerror(spawned)};
    ::close(std::exchange(writeEnd.fd, -1));

    // The reason, read as it comes so that a chatty checker never blocks on a full pipe.
    const auto deadline = Clock::now() + limit;
    std::string said;
    bool open = true;
    int status = 0;
    bool ended = false;
    while (!ended) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        if (open) {
            pollfd watched{readEnd.fd, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left.count())) > 0) {
                char buffer[512];
                const ssize_t got = ::read(readEnd.fd, buffer, sizeof buffer);
                if (got > 0 && said.size() < 4096)
                    said.append(buffer, static_cast<std::size_t>(got));
                open = got > 0 || (got < 0 && errno == EINTR);
            }
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        const auto seconds = (limit.count() + 999) / 1000;
        return {false,
                "the synthesiser took more than " + std::to_string(seconds) + " s to load it"};
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {true, {}};
    if (WIFSIGNALED(status))
        return {false, std::string("the synthesiser crashed on it (") +
                           ::strsignal(WTERMSIG(status)) + ")"};
    std::string why = firstLine(said);
    if (why.empty())
        why = "the synthesiser failed on it (exit status " +
              std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return {false, why};
}

std::vector<std::string> fontCheckerCommand()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    for (const std::string& module : soundModuleCandidates(self.parent_path().string())) {
        const fs::path checker = fs::path(module).parent_path() / kFontCheckerFile;
        if (::access(checker.c_str(), X_OK) == 0)
            return {checker.string()};
    }
    return {};
}

std::string fontStamp(const std::string& fontPath)
{
    struct stat info {};
    if (::stat(fontPath.c_str(), &info) != 0)
        return {};
    const long long nanoseconds =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return std::to_string(info.st_size) + ' ' + std::to_string(nanoseconds) + ' ' + fontPath;
}

void trustFont(const std::string& stamp)
{
    if (stamp.empty())
        return;
    const std::lock_guard lock(g_trustMutex);
    trusted().insert(stamp);
}

FontCheck checkFontOnce(const std::string& fontPath)
{
    const std::string stamp = fontStamp(fontPath);
    {
        const std::lock_guard lock(g_trustMutex);
        if (!stamp.empty() && trusted().count(stamp))
            return {true, {}};
    }
    const std::vector<std::string> command = fontCheckerCommand();
    if (command.empty())
        return {false, std::string("cannot check it: ") + kFontCheckerFile + " is missing"};
    FontCheck result = checkFontApart(command, fontPath, kFontCheckLimit);
    // Changed while it was checked: what passed is not what is there now.
    if (result.good && fontStamp(fontPath) == stamp)
        trustFont(stamp);
    return result;
}

} // namespace quorlin::audio
