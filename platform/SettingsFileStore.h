#pragma once

#include "instrument/Settings.h"

#include <QSettings>
#include <QString>
#include <QTemporaryFile>

#include <memory>

namespace quorlin::platform {

// The per-user store: the file $XDG_CONFIG_HOME/AmbrelApps/Quorlin.conf, in the format
// QSettings gives ("AmbrelApps", "Quorlin"). Its one key is always that one, so the path
// given to open or create it is only checked for being that key. A file that is no regular
// file (a pipe, a folder, a device) is a store that cannot be read or written. Without a
// home (an empty file name) the settings live in memory for the run.
class SettingsFileStore final : public instrument::SettingsStore {
public:
    explicit SettingsFileStore(QString file = userFile());
    static QString userFile();

    bool openKey(const std::string& path) override;
    bool createKey(const std::string& path, const std::string& keyClass) override;
    bool readValue(const std::string& name, std::uint8_t* buffer, std::size_t capacity,
                   std::size_t& size) override;
    void writeValue(const std::string& name, instrument::ValueType type,
                    const std::vector<std::uint8_t>& data) override;
    void closeKey() override;

    // Why the last write of the settings failed; empty when it did not.
    const QString& problem() const { return m_problem; }

private:
    bool attach(const std::string& path);
    void detach();

    QString m_file;
    // QSettings reads its file the ordinary way as soon as it is made, which waits forever
    // on a named pipe; so it only ever works on a private copy of a file read safely.
    std::unique_ptr<QTemporaryFile> m_copy;
    std::unique_ptr<QSettings> m_settings;
    bool m_written = false;
    QByteArray m_memory;
    QString m_problem;
};

} // namespace quorlin::platform
