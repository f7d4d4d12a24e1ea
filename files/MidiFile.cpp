#include "files/MidiFile.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string_view>

namespace quorlin::files {

namespace {

using score::Event;
using score::EventKind;

constexpr int kChannels = 16;
constexpr std::uint32_t kLargestDelta = 0x0FFFFFFF; // four bytes of seven bits

void put16(std::string& out, std::uint32_t value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, value >> 16);
    put16(out, value & 0xFFFF);
}

// Seven bits a byte, the most significant first, the high bit set on all but the last.
void putVariable(std::string& out, std::uint32_t value)
{
    value = std::min(value, kLargestDelta);
    std::array<char, 4> bytes{};
    int count = 0;
    do {
        bytes[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out += static_cast<char>(bytes[--count] | 0x80);
    out += bytes[0];
}

void putMeta(std::string& out, std::uint8_t type, std::string_view data)
{
    out += '\xFF';
    out += static_cast<char>(type);
    putVariable(out, static_cast<std::uint32_t>(data.size()));
    out += data;
}

void putChunk(std::string& out, std::string_view type, std::string_view body)
{
    out += type;
    put32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
}

// Builds one track's body, turning absolute ticks into the deltas between its events.
class Track {
public:
    explicit Track(std::int64_t origin) : m_last(origin) {}

    std::string& at(std::int64_t tick)
    {
        tick = std::max(tick, m_last);
        putVariable(m_body, static_cast<std::uint32_t>(
                                std::min<std::int64_t>(tick - m_last, kLargestDelta)));
        m_last = tick;
        return m_body;
    }

    std::string finish(std::int64_t endTick)
    {
        putMeta(at(endTick), 0x2F, {});
        return std::move(m_body);
    }

private:
    std::int64_t m_last;
    std::string m_body;
};

char dataByte(int value)
{
    return static_cast<char>(value & 0x7F);
}

void putEvent(std::string& out, const Event& e)
{
    const int channel = e.channel & 0x0F;
    switch (e.kind) {
    case EventKind::NoteOn:
        out += static_cast<char>(0x90 | channel);
        out += dataByte(e.number);
        out += dataByte(e.value);
        break;
    case EventKind::NoteOff:
        out += static_cast<char>(0x80 | channel);
        out += dataByte(e.number);
        out += dataByte(e.value);
        break;
    case EventKind::Program:
        out += static_cast<char>(0xC0 | channel);
        out += dataByte(e.number);
        break;
    case EventKind::Controller:
        out += static_cast<char>(0xB0 | channel);
        out += dataByte(e.number);
        out += dataByte(e.value);
        break;
    case EventKind::PitchBend: {
        const int value = std::clamp(e.bend + 8192, 0, 16383);
        out += static_cast<char>(0xE0 | channel);
        out += dataByte(value);
        out += dataByte(value >> 7);
        break;
    }
    }
}

std::string_view trackName(int channel)
{
    switch (channel) {
    case score::kFingerChannel:
        return "Finger bass";
    case score::kSlapChannel:
        return "Slap bass";
    case score::kPopChannel:
        return "Pop bass";
    case score::kClickChannel:
        return "Metronome";
    default:
        return "Bass";
    }
}

} // namespace

std::string midiFileBytes(const score::Performance& performance)
{
    const std::int64_t origin = performance.startTick;
    std::int64_t end = performance.endTick;
    std::array<bool, kChannels> used{};
    for (const Event& e : performance.events) {
        used[e.channel & 0x0F] = true;
        end = std::max(end, e.tick);
    }

    std::string file;
    std::string header;
    put16(header, 1); // format 1: tracks that play together
    put16(header, 1 + static_cast<std::uint32_t>(std::count(used.begin(), used.end(), true)));
    put16(header, score::kTicksPerBeat);
    putChunk(file, "MThd", header);

    const int bpm = std::clamp(performance.tempo, score::kMinTempo, score::kMaxTempo);
    const std::uint32_t microseconds = (60'000'000 + bpm / 2) / bpm;
    std::string tempo;
    put32(tempo, microseconds);
    Track tempoTrack(origin);
    putMeta(tempoTrack.at(origin), 0x51, std::string_view(tempo).substr(1));
    putMeta(tempoTrack.at(origin), 0x58, std::string_view("\x04\x02\x18\x08", 4)); // 4/4
    putChunk(file, "MTrk", tempoTrack.finish(end));

    for (int channel = 0; channel < kChannels; ++channel) {
        if (!used[channel])
            continue;
        Track track(origin);
        putMeta(track.at(origin), 0x03, trackName(channel));
        for (const Event& e : performance.events) {
            if ((e.channel & 0x0F) == channel)
                putEvent(track.at(e.tick), e);
        }
        putChunk(file, "MTrk", track.finish(end));
    }
    return file;
}

void writeMidiFile(std::ostream& out, const score::Performance& performance)
{
    const std::string bytes = midiFileBytes(performance);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace quorlin::files
