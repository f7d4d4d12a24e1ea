#pragma once

// File > Open Recent: the last eight tabs opened or saved, newest first. A list of what was
// done rather than a setting, so it lives in the user's data folder, apart from the settings
// that only Exit writes.

#include <QString>
#include <QStringList>

namespace quorlin::platform {

class RecentFiles {
public:
    static constexpr int kKept = 8;

    explicit RecentFiles(QString file = userFile());
    static QString userFile();

    QStringList paths() const;
    void add(const QString& path);
    void remove(const QString& path);
    void clear();

private:
    void keep(const QStringList& paths);
    // An absolute name that fits in PATH_MAX and holds no control character.
    static bool plausible(const QString& path);

    // Empty without a home: the list then lasts for the run only.
    QString m_file;
    QStringList m_memory;
};

} // namespace quorlin::platform
