#pragma once

// Reading the user's files without ever waiting on one, and making Quorlin's own folders.
// Opening a named pipe the ordinary way blocks until someone opens its other end, which may be
// never; so every name is opened without blocking and looked at through the open handle
// before it is used. Names are bytes, as the file system knows them.

#include <cstddef>
#include <string>

#include <sys/types.h>

namespace quorlin::storage {

// How a read went, whoever holds the bytes (platform/ keeps them in Qt's types).
struct ReadOutcome {
    bool ok = false;
    // No such file: a store takes that as empty, a load as an error.
    bool missing = false;
    // Longer than the caller takes: refused before a byte is read.
    bool tooLarge = false;
};

struct FileContent : ReadOutcome {
    std::string bytes;
    // Why not, in words for the user.
    std::string problem;
};

// The whole content of a regular file; anything else, or a file of more than `largest` bytes
// when that is given, is refused unread.
FileContent readRegularFile(const std::string& path, long long largest = -1);

// The file opened for reading, without blocking, once its handle shows a regular file; -1 with
// `problem` set otherwise. The caller closes it.
int openRegularFile(const std::string& path, std::string& problem, bool* missing = nullptr);

// Why `path` is no regular file that can be read (missing, a pipe, a folder...); empty when
// it is one.
std::string regularFileProblem(const std::string& path);

// "It is a folder, not a file" and the like, for what `mode` says a node is.
std::string kindProblem(mode_t mode);

// The text of `error`, as strerror gives it.
std::string errorText(int error);

// Makes `path` and any missing folder above it, each new one for the user alone (0700). A
// `path` that is a link is refused unless `linkAllowed`: a private folder is never
// redirected elsewhere. The last `ownLevels` folders of `path` are Quorlin's own: found open
// to others, they are made the user's alone too.
bool makePrivateFolder(const std::string& path, bool linkAllowed, std::string& problem,
                       std::size_t ownLevels = 0);

} // namespace quorlin::storage
