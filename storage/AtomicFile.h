#pragma once

// Every file Quorlin writes goes through here, so that no failure can leave a half-written
// file where a whole one was. A new file is written beside the target, synced, and renamed
// over it only once every write and the close succeeded; on any failure it is removed and
// the target is as it was. A character device (a terminal, /dev/null, /dev/full) cannot be
// replaced, so it alone is written in place, its errors still counted. Names are bytes, as
// the file system knows them. Plain POSIX, no Qt.

#include <string>
#include <string_view>

#include <sys/types.h>

namespace quorlin::storage {

// A name the signal handler removes; kept in AtomicFile.cpp.
struct PartialName;

struct WriteOptions {
    // Quorlin's own state (settings, recent files, recovery copies): readable by the user
    // alone, and a link standing at its name is replaced rather than written through, so
    // that nobody can point Quorlin's writes at another file.
    bool privateFile = false;
};

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Ready to write `path`: a link to a file is followed (the link stays, the file it points
    // to is replaced) unless the options say otherwise. False, with the reason in words, for
    // a pipe, socket, folder or block device, or when no new file can be made beside it.
    bool open(const std::string& path, const WriteOptions& options, std::string& problem);
    // For writers that write by themselves (the sound file); -1 when not open.
    int fd() const { return m_fd; }
    bool write(std::string_view bytes, std::string& problem);
    // Syncs, closes and renames into place; on failure nothing of the new file is left.
    bool commit(std::string& problem);
    // For files that go into place together (the pages of one export): syncs and closes the
    // new file, which waits beside the target until moveIntoPlace().
    bool close(std::string& problem);
    // Renames the closed file over the target. Until this object is abandoned or destroyed, a
    // signal removes the file there as it would the new one: an interrupted set of files
    // leaves none of them.
    bool moveIntoPlace(std::string& problem);
    // Closes and removes the new file; the target stays as it was.
    void abandon();

private:
    std::string m_target;
    std::string m_temp; // empty when written in place
    int m_fd = -1;
    PartialName* m_partial = nullptr;
    bool m_closed = false;

    bool rename(bool keepRemembered, std::string& problem);
};

// The whole of `bytes` at `path`, or nothing changed there.
bool writeFile(const std::string& path, std::string_view bytes, const WriteOptions& options,
               std::string& problem);

// Whether two names reach the same file (device and inode, through links). False when either
// does not exist.
bool sameFile(const std::string& a, const std::string& b);

// The name a link at `path` leads to at last, through any number of links; `path` itself
// when it is none. False when the links go round or too deep.
bool resolveLinks(const std::string& path, std::string& resolved);

// On SIGINT, SIGTERM or SIGHUP the new files being written are removed and the process exits
// with 128 + the signal. For the command line, which has nothing else to tidy up.
void removePartialFilesOnSignals();

namespace fault {
// Every later write of file data fails with `error` as a full disk would; 0 ends that.
void failWrites(int error);
} // namespace fault

} // namespace quorlin::storage
