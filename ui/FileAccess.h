#pragma once

// The user's files, read and written without ever waiting on one. Opening a named pipe the
// ordinary way blocks until someone opens its other end, which may be never; so every name
// is opened without blocking and looked at through the open handle before it is used.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quorlin::ui {

struct FileRead {
    bool ok = false;
    // No such file: a store takes that as empty, a load as an error.
    bool missing = false;
    // Longer than the caller takes: refused before a byte is read.
    bool tooLarge = false;
    QByteArray bytes;
    // Why not, in words for the user.
    QString problem;
};

// The whole content of a regular file; anything else, or a file of more than `largest` bytes
// when that is given, is refused unread.
FileRead readRegularFile(const QString& path, qint64 largest = -1);

// Why `path` is no regular file that can be read (missing, a pipe, a folder...); empty when
// it is one. For files a library opens by name itself, such as a sound font.
QString regularFileProblem(const QString& path);

// Why a file that is written whole beside `path` and then renamed into place must not go
// there: an existing pipe, socket, folder or device. Empty for a regular file or none yet.
QString replaceableProblem(const QString& path);

// A regular file is replaced only once the new one is written whole, and a new one is made
// the same way. A device (a terminal, /dev/full) would be destroyed by a replacement, so it
// is written in place and its errors still count. A pipe, socket or folder is refused.
bool saveFile(const QString& path, QByteArrayView bytes, QString& problem);

} // namespace quorlin::ui
