#pragma once

// Standard MIDI File bytes built from the format's rules, apart from Quorlin's writer: the
// import's tests write their files with these.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorlin::files::testing::midi {

inline std::string bigEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

inline std::string vlq(std::uint32_t value)
{
    std::string out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return out;
}

inline std::string raw(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

inline std::string chunk(std::string_view kind, const std::string& body)
{
    return std::string(kind) + bigEndian(static_cast<std::uint32_t>(body.size()), 4) + body;
}

inline std::string header(int format, int tracks, int division)
{
    return chunk("MThd", bigEndian(format, 2) + bigEndian(tracks, 2) + bigEndian(division, 2));
}

inline std::string meta(int type, const std::string& data)
{
    return raw({0xFF, type}) + vlq(static_cast<std::uint32_t>(data.size())) + data;
}

inline std::string on(int channel, int key, int velocity = 100)
{
    return raw({0x90 | channel, key, velocity});
}

inline std::string off(int channel, int key)
{
    return raw({0x80 | channel, key, 64});
}

// Events, each after its delta time, then the end of the track.
inline std::string track(const std::vector<std::pair<std::uint32_t, std::string>>& events)
{
    std::string body;
    for (const auto& [delta, event] : events)
        body += vlq(delta) + event;
    return chunk("MTrk", body + raw({0, 0xFF, 0x2F, 0}));
}

} // namespace quorlin::files::testing::midi
