#include "storage/AtomicFile.h"

#include "storage/RegularFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quorlin::storage {

// The new files being written, for a signal handler to remove: a list that only grows, its
// entries reused once free, since the handler may read nothing but lock-free atomics. An
// export of many pages keeps many at once.
struct PartialName {
    std::atomic<const char*> name{nullptr};
    PartialName* next = nullptr;
};

namespace {

std::atomic<int> g_failWrites{0};

std::atomic<PartialName*> g_partial{nullptr};

PartialName* remember(const std::string& temp)
{
    for (PartialName* entry = g_partial.load(); entry; entry = entry->next) {
        const char* none = nullptr;
        if (entry->name.compare_exchange_strong(none, temp.c_str()))
            return entry;
    }
    auto* entry = new PartialName;
    entry->name.store(temp.c_str());
    entry->next = g_partial.load();
    while (!g_partial.compare_exchange_weak(entry->next, entry)) {
    }
    return entry;
}

void forget(PartialName*& partial)
{
    if (partial)
        partial->name.store(nullptr);
    partial = nullptr;
}

extern "C" void removePartialAndExit(int signal)
{
    for (const PartialName* entry = g_partial.load(); entry; entry = entry->next) {
        if (const char* name = entry->name.load())
            ::unlink(name);
    }
    ::_exit(128 + signal);
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Beside the target, so that the rename at the end stays on one file system; hidden, and named
// after the target, so that whoever finds one left by a crash knows what it was. The name is
// in `slot` before the file exists: a signal that comes while open() returns finds it there.
int createTemp(const std::string& target, mode_t mode, std::string& temp, PartialName*& slot)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = parentOf(target);
    // Cut so that the longest name a folder allows can still be replaced.
    const std::string name = nameOf(target).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folder + "/." + name + ".part-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        slot = remember(temp);
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        const int error = errno;
        forget(slot);
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool resolveLinks(const std::string& path, std::string& resolved)
{
    resolved = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(resolved.c_str(), link, sizeof link);
        if (length == static_cast<ssize_t>(sizeof link))
            errno = ENAMETOOLONG;
        if (length < 0 || length == static_cast<ssize_t>(sizeof link))
            return false;
        const std::string to(link, static_cast<std::size_t>(length));
        resolved = to.starts_with('/') ? to : parentOf(resolved) + "/" + to;
    }
    errno = ELOOP;
    return false;
}

AtomicFile::~AtomicFile()
{
    abandon();
}

bool AtomicFile::open(const std::string& path, const WriteOptions& options, std::string& problem)
{
    abandon();
    if (path.empty()) {
        problem = errorText(ENOENT);
        return false;
    }
    // Quorlin's own files replace whatever stands at their name; the user's files are
    // written where their links lead.
    if (options.privateFile) {
        m_target = path;
    } else if (!resolveLinks(path, m_target)) {
        problem = errorText(errno);
        return false;
    }
    struct stat info {};
    const bool exists = ::lstat(m_target.c_str(), &info) == 0;
    if (exists && S_ISCHR(info.st_mode)) {
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            problem = errorText(errno);
        return m_fd >= 0;
    }
    if (exists && !S_ISREG(info.st_mode) && !(options.privateFile && S_ISLNK(info.st_mode))) {
        problem = kindProblem(info.st_mode);
        return false;
    }
    // A file made read-only is kept so, as writing it in place would: the rename would not ask.
    if (exists && S_ISREG(info.st_mode) && !options.privateFile &&
        ::access(m_target.c_str(), W_OK) != 0) {
        problem = errorText(errno);
        return false;
    }
    // A replaced file keeps who may read it; a private one is the user's alone.
    const mode_t mode = options.privateFile               ? 0600
                        : exists && S_ISREG(info.st_mode) ? info.st_mode & 07777
                                                          : 0666;
    m_fd = createTemp(m_target, mode, m_temp, m_partial);
    if (m_fd < 0) {
        problem = errorText(errno);
        m_temp.clear();
        return false;
    }
    // The umask does not apply to a replacement: it keeps the old file's mode exactly.
    if (exists && S_ISREG(info.st_mode) && ::fchmod(m_fd, mode) != 0) {
        problem = errorText(errno);
        abandon();
        return false;
    }
    return true;
}

bool AtomicFile::write(std::string_view bytes, std::string& problem)
{
    if (m_fd < 0) {
        problem = errorText(EBADF);
        return false;
    }
    while (!bytes.empty()) {
        if (const int error = g_failWrites.load()) {
            problem = errorText(error);
            return false;
        }
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            problem = errorText(written < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool AtomicFile::commit(std::string& problem)
{
    return close(problem) && rename(false, problem);
}

bool AtomicFile::close(std::string& problem)
{
    if (m_fd < 0) {
        problem = errorText(EBADF);
        return false;
    }
    // A device cannot be synced (EINVAL), and its writes were checked one by one.
    if (!m_temp.empty() && ::fsync(m_fd) != 0) {
        problem = errorText(errno);
        abandon();
        return false;
    }
    const int closed = ::close(std::exchange(m_fd, -1));
    if (closed != 0 && errno != EINTR) {
        problem = errorText(errno);
        abandon();
        return false;
    }
    m_closed = true;
    return true;
}

bool AtomicFile::moveIntoPlace(std::string& problem)
{
    return rename(true, problem);
}

bool AtomicFile::rename(bool keepRemembered, std::string& problem)
{
    if (!std::exchange(m_closed, false)) {
        problem = errorText(EBADF);
        return false;
    }
    if (m_temp.empty())
        return true; // written in place
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        problem = errorText(errno);
        abandon();
        return false;
    }
    if (keepRemembered && m_partial)
        m_partial->name.store(m_target.c_str());
    else
        forget(m_partial);
    m_temp.clear();
    // The rename itself lasts only once the folder is synced.
    const int folder = ::open(parentOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void AtomicFile::abandon()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
    // A file moved into place is the caller's to keep or remove.
    forget(m_partial);
    m_closed = false;
}

bool writeFile(const std::string& path, std::string_view bytes, const WriteOptions& options,
               std::string& problem)
{
    AtomicFile file;
    return file.open(path, options, problem) && file.write(bytes, problem) && file.commit(problem);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void removePartialFilesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = removePartialAndExit;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored by whoever started us (nohup) stays ignored.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

void fault::failWrites(int error)
{
    g_failWrites.store(error);
}

} // namespace quorlin::storage
