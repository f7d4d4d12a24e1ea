#pragma once

// The user's files and Quorlin's own, read and written through storage/: never waiting on a
// pipe, never leaving a half-written file. Qt's names are turned into the file system's bytes
// here.

#include "storage/RegularFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStandardPaths>
#include <QString>

namespace quorlin::platform {

// storage::FileContent with the bytes and the reason in Qt's types.
struct FileRead : storage::ReadOutcome {
    QByteArray bytes;
    QString problem;
};

// The whole content of a regular file; anything else, or a file of more than `largest` bytes
// when that is given, is refused unread.
FileRead readRegularFile(const QString& path, qint64 largest = -1);

// The user's file, written whole beside it and renamed over it (through a link, which stays);
// a character device is written in place; a pipe, socket or folder is refused.
bool saveFile(const QString& path, QByteArrayView bytes, QString& problem);

// Quorlin's own state (settings, recent files, recovery copies): as saveFile, but for the
// user alone, and a link at its name is replaced, never written through.
bool saveStateFile(const QString& path, QByteArrayView bytes, QString& problem);

// The folder of Quorlin's own state, made for the user alone when missing; those of its
// organisation's folder and below it are made so when found open to others too. A folder
// that is a link is refused unless `linkAllowed`.
bool makeStateFolder(const QString& path, bool linkAllowed, QString& problem);

// The folder under the data and settings homes that holds Quorlin's state.
inline const QString kOrganisation = QStringLiteral("AmbrelApps");

// Where Quorlin keeps `location`'s state, or empty when the user has no usable home (HOME
// unset or not a folder, and no XDG folder of that kind): nothing is then written at all,
// rather than at the root of the file system.
QString stateLocation(QStandardPaths::StandardLocation location);

} // namespace quorlin::platform
