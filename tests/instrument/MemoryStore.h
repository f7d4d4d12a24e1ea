#pragma once

#include "instrument/Settings.h"

#include <algorithm>
#include <map>

namespace quorlin::instrument::testing {

// A store in memory that behaves like the real one at its five operations.
class MemoryStore : public SettingsStore {
public:
    bool openKey(const std::string&) override { return exists && (open = true); }
    bool createKey(const std::string&, const std::string&) override
    {
        return writable && (exists = open = true);
    }
    bool readValue(const std::string& name, std::uint8_t* buffer, std::size_t capacity,
                   std::size_t& size) override
    {
        misused |= !open;
        const auto it = values.find(name);
        if (it == values.end() || it->second.second.size() > capacity)
            return false;
        size = std::ranges::copy(it->second.second, buffer).out - buffer;
        return true;
    }
    void writeValue(const std::string& name, ValueType type,
                    const std::vector<std::uint8_t>& data) override
    {
        misused |= !open;
        values[name] = {type, data};
    }
    void closeKey() override { open = false; }
    void put(const std::string& name, const std::string& bytes, ValueType type = ValueType::String)
    {
        values[name] = {type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    }

    // Misused: a value was read or written with no key open.
    bool exists = true, writable = true, open = false, misused = false;
    std::map<std::string, std::pair<ValueType, std::vector<std::uint8_t>>> values;
};

} // namespace quorlin::instrument::testing
