#include "platform/SettingsFileStore.h"

#include "platform/FileAccess.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

namespace quorlin::platform {

SettingsFileStore::SettingsFileStore(QString file) : m_file(std::move(file)) {}

QString SettingsFileStore::userFile()
{
    // Where QSettings keeps ("AmbrelApps", "Quorlin") for the user, so that earlier runs'
    // settings are found.
    const QString folder = stateLocation(QStandardPaths::GenericConfigLocation);
    return folder.isEmpty()
               ? QString()
               : folder + QLatin1Char('/') + kOrganisation + QStringLiteral("/Quorlin.conf");
}

bool SettingsFileStore::attach(const std::string& path)
{
    if (path != instrument::kSettingsKey)
        return false;
    FileRead file;
    if (m_file.isEmpty())
        file = {true, false, false, m_memory, {}};
    else
        file = readRegularFile(m_file);
    if (!file.ok && !file.missing)
        return false;
    auto copy = std::make_unique<QTemporaryFile>();
    if (!copy->open() || copy->write(file.bytes) != file.bytes.size() || !copy->flush())
        return false;
    m_settings = std::make_unique<QSettings>(copy->fileName(), QSettings::IniFormat);
    m_copy = std::move(copy);
    m_written = false;
    // A file that cannot be parsed is no store at all; its junk is never used.
    return m_settings->status() == QSettings::NoError;
}

void SettingsFileStore::detach()
{
    m_settings.reset();
    m_copy.reset();
}

bool SettingsFileStore::openKey(const std::string& path)
{
    if (!attach(path) || m_settings->allKeys().isEmpty()) {
        detach();
        return false;
    }
    return true;
}

bool SettingsFileStore::createKey(const std::string& path, const std::string&)
{
    if (!attach(path)) {
        detach();
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
    m_written = true;
}

void SettingsFileStore::closeKey()
{
    if (m_settings && m_written) {
        m_settings->sync();
        const FileRead copy = readRegularFile(m_copy->fileName());
        // The store port has no failure to give back: the window asks for it afterwards.
        m_problem.clear();
        if (m_settings->status() == QSettings::FormatError)
            m_problem = QStringLiteral("Quorlin did not save its settings: %1 is not a settings "
                                       "file it can read.")
                            .arg(m_file);
        else if (m_settings->status() != QSettings::NoError || !copy.ok)
            m_problem = QStringLiteral("Quorlin could not save its settings: its working copy "
                                       "could not be written.");
        else if (m_file.isEmpty())
            m_memory = copy.bytes;
        else if (!makeStateFolder(QFileInfo(m_file).path(), true, m_problem) ||
                 !saveStateFile(m_file, copy.bytes, m_problem))
            m_problem = QStringLiteral("Quorlin could not save its settings to %1: %2.")
                            .arg(m_file, m_problem);
    }
    detach();
}

} // namespace quorlin::platform
