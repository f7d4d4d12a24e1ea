#include "storage/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace quorlin::storage {

namespace {

bool isRegular(mode_t mode)
{
    return S_ISREG(mode);
}

// A socket cannot be opened at all, which says less than what it is.
std::string openProblem(const std::string& path, int error)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode) &&
        !S_ISBLK(info.st_mode))
        return kindProblem(info.st_mode);
    return errorText(error);
}

} // namespace

// The handle is looked at after opening: the name may have changed hands since any earlier look.
int openRegularFile(const std::string& path, std::string& problem, bool* missing)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (missing != nullptr)
            *missing = error == ENOENT;
        problem = openProblem(path, error);
        return -1;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !isRegular(info.st_mode)) {
        problem = known ? kindProblem(info.st_mode) : errorText(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string errorText(int error)
{
    return std::strerror(error);
}

std::string kindProblem(mode_t mode)
{
    if (S_ISDIR(mode))
        return "It is a folder, not a file";
    if (S_ISFIFO(mode))
        return "It is a named pipe, not a file";
    if (S_ISSOCK(mode))
        return "It is a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "It is a device, not a file";
    return "It is not a regular file";
}

FileContent readRegularFile(const std::string& path, long long largest)
{
    FileContent result;
    const int fd = openRegularFile(path, result.problem, &result.missing);
    if (fd < 0)
        return result;
    struct stat info {};
    if (largest >= 0 && ::fstat(fd, &info) == 0 && info.st_size > largest) {
        result.tooLarge = true;
        result.problem = "it is larger than " + std::to_string(largest) + " bytes";
        ::close(fd);
        return result;
    }
    char block[65536];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got > 0) {
            result.bytes.append(block, static_cast<std::size_t>(got));
        } else if (got == 0) {
            result.ok = true;
            break;
        } else if (errno != EINTR) {
            result.problem = errorText(errno);
            result.bytes.clear();
            break;
        }
    }
    ::close(fd);
    return result;
}

std::string regularFileProblem(const std::string& path)
{
    std::string problem;
    const int fd = openRegularFile(path, problem);
    if (fd >= 0)
        ::close(fd);
    return problem;
}

namespace {

// A folder of ours left open to others (made with the umask's mode by an earlier version) is
// closed again; a link, or a folder someone else owns, is left as it is.
void closeToOthers(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) != 0)
        ::fchmod(fd, 0700);
    ::close(fd);
}

} // namespace

bool makePrivateFolder(const std::string& path, bool linkAllowed, std::string& problem,
                       std::size_t ownLevels)
{
    if (path.empty()) {
        problem = errorText(ENOENT);
        return false;
    }
    // Each folder from the top down; only the ones made here get the mode, the user's own
    // (the home, ~/.config) are left as they are.
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 &&
            errno != EEXIST) {
            problem = errorText(errno);
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        problem = errorText(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode) && !linkAllowed) {
        problem = "It is a link to another folder";
        return false;
    }
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) {
        problem = errorText(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = "It is not a folder";
        return false;
    }
    std::vector<std::string> own;
    for (std::string folder = path; own.size() < ownLevels;) {
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos || slash == 0)
            break;
        own.push_back(folder);
        folder.resize(slash);
    }
    for (auto folder = own.rbegin(); folder != own.rend(); ++folder)
        closeToOthers(*folder);
    return true;
}

} // namespace quorlin::storage
