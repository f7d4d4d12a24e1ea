#pragma once

#include "instrument/Settings.h"

#include <QSettings>

#include <memory>

namespace quorlin::ui {

// The per-user store: the registry key HKEY_CURRENT_USER\Software\AmbrelApps\Quorlin on
// Windows, $XDG_CONFIG_HOME/AmbrelApps/Quorlin.conf elsewhere. Its one key is always that
// one, so the path given to open or create it is only checked for being that key.
class SettingsFileStore final : public instrument::SettingsStore {
public:
    bool openKey(const std::string& path) override;
    bool createKey(const std::string& path, const std::string& keyClass) override;
    bool readValue(const std::string& name, std::uint8_t* buffer, std::size_t capacity,
                   std::size_t& size) override;
    void writeValue(const std::string& name, instrument::ValueType type,
                    const std::vector<std::uint8_t>& data) override;
    void closeKey() override;

private:
    bool attach(const std::string& path);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace quorlin::ui
