#include "instrument/Preferences.h"

#include <cstdint>
#include <vector>

namespace quorlin::instrument {

namespace {

// Longer than any path the system takes.
constexpr std::size_t kLongestValue = 8192;

} // namespace

std::string loadPreference(SettingsStore& store, const Preference& preference)
{
    if (!store.openKey(kSettingsKey))
        return preference.fallback;
    std::vector<std::uint8_t> buffer(kLongestValue);
    std::size_t size = 0;
    const bool read = store.readValue(preference.name, buffer.data(), buffer.size(), size);
    store.closeKey();
    if (!read)
        return preference.fallback;
    std::string value(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    // A value written by hand as a string comes with its NUL.
    if (const std::size_t nul = value.find('\0'); nul != std::string::npos)
        value.resize(nul);
    return value;
}

bool savePreference(SettingsStore& store, const Preference& preference, const std::string& value)
{
    if (value.size() >= kLongestValue || !store.createKey(kSettingsKey, kKeyClass))
        return false;
    store.writeValue(preference.name, ValueType::Binary,
                     std::vector<std::uint8_t>(value.begin(), value.end()));
    store.closeKey();
    return true;
}

} // namespace quorlin::instrument
