#pragma once

// The tuning kept from one run to the next. The store is reached through five operations
// only, so a registry, a per-user file or a table in a test can stand behind it.

#include "instrument/Tuning.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorlin::instrument {

inline constexpr const char* kSettingsKey = "Software\\AmbrelApps\\Quorlin";
inline constexpr const char* kKeyClass = "Quorlin";
inline constexpr const char* kKeepValue = "SaveTunning";
inline constexpr const char* kStringsValue = "Strings";

enum class ValueType { Binary, String };

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens a key that exists; false when it does not or cannot be read.
    virtual bool openKey(const std::string& path) = 0;
    // Creates the key when missing; false when the store cannot be written.
    virtual bool createKey(const std::string& path, const std::string& keyClass) = 0;
    // Copies the value into `buffer`; false when it is missing or larger than `capacity`.
    // On success `size` is the number of bytes read.
    virtual bool readValue(const std::string& name, std::uint8_t* buffer, std::size_t capacity,
                           std::size_t& size) = 0;
    // Replaces the value whole, with its type and exact bytes.
    virtual void writeValue(const std::string& name, ValueType type,
                            const std::vector<std::uint8_t>& data) = 0;
    virtual void closeKey() = 0;
};

struct KeptSetup {
    bool keepTuning = false;
    StringCount strings;
    Tuning tuning;
};

// What the store holds for this user; defaults where it holds nothing usable. Only names on
// the note cycle are taken, four to six of them: fewer leave the remaining strings of a
// four-string bass as they are, more are cut after the sixth.
KeptSetup loadSetup(SettingsStore& store);
// Writes the wish, and the names of the strings in use when the wish is to keep them.
void saveSetup(SettingsStore& store, const KeptSetup& setup);

} // namespace quorlin::instrument
