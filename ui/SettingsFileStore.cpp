#include "ui/SettingsFileStore.h"

#include <algorithm>
#include <cstring>

namespace quorlin::ui {

bool SettingsFileStore::attach(const std::string& path)
{
    if (path != instrument::kSettingsKey)
        return false;
    m_settings =
        std::make_unique<QSettings>(QStringLiteral("AmbrelApps"), QStringLiteral("Quorlin"));
    // A file that cannot be parsed or read is no store at all; its junk is never used.
    return m_settings->status() == QSettings::NoError;
}

bool SettingsFileStore::openKey(const std::string& path)
{
    if (!attach(path) || m_settings->allKeys().isEmpty()) {
        m_settings.reset();
        return false;
    }
    return true;
}

bool SettingsFileStore::createKey(const std::string& path, const std::string&)
{
    if (!attach(path) || !m_settings->isWritable()) {
        m_settings.reset();
        return false;
    }
    return true;
}

bool SettingsFileStore::readValue(const std::string& name, std::uint8_t* buffer,
                                  std::size_t capacity, std::size_t& size)
{
    if (!m_settings)
        return false;
    const QVariant value = m_settings->value(QString::fromStdString(name));
    if (!value.isValid())
        return false;
    QByteArray bytes;
    if (value.typeId() == QMetaType::QByteArray) {
        bytes = value.toByteArray();
    } else {
        // A string value carries its terminating NUL, as it would in the registry.
        bytes = value.toString().toLatin1();
        bytes.append('\0');
    }
    if (static_cast<std::size_t>(bytes.size()) > capacity)
        return false;
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    size = static_cast<std::size_t>(bytes.size());
    return true;
}

void SettingsFileStore::writeValue(const std::string& name, instrument::ValueType type,
                                   const std::vector<std::uint8_t>& data)
{
    if (!m_settings)
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(data.data()),
                           static_cast<qsizetype>(data.size()));
    if (type == instrument::ValueType::Binary)
        m_settings->setValue(QString::fromStdString(name), bytes);
    else
        m_settings->setValue(QString::fromStdString(name),
                             QString::fromLatin1(bytes.left(bytes.indexOf('\0'))));
}

void SettingsFileStore::closeKey()
{
    if (m_settings)
        m_settings->sync();
    m_settings.reset();
}

} // namespace quorlin::ui
