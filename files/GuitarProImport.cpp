#include "files/GuitarProImport.h"

#include "files/GpifImport.h"
#include "files/ZipArchive.h"

#include "files/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <utility>

namespace quorlin::files {

namespace {

// Why a file cannot be read, in words that follow its name.
struct Refusal {
    std::string what;
};

enum Version { kGp3 = 300, kGp4 = 400, kGp500 = 500, kGp510 = 510 };

constexpr int kChannels = 64;
// A file that is one problem over must not list millions of them.
constexpr std::size_t kMostProblems = 1000;
constexpr int kMostStrings = 7;

// The smallest a beat can be in the file: its flags, its length and its strings.
constexpr std::size_t kSmallestBeat = 3;

class Bytes {
public:
    explicit Bytes(std::string_view bytes) : m_bytes(bytes) {}

    std::size_t remaining() const { return m_bytes.size() - m_at; }

    void need(std::size_t count) const
    {
        if (count > remaining())
            throw Refusal{"is cut short: it ends " + m_place};
    }
    void skip(std::size_t count)
    {
        need(count);
        m_at += count;
    }
    std::uint8_t u8()
    {
        need(1);
        return static_cast<std::uint8_t>(m_bytes[m_at++]);
    }
    int i8() { return static_cast<std::int8_t>(u8()); }
    int i16()
    {
        need(2);
        const auto value = static_cast<std::uint16_t>(byteAt(0) | byteAt(1) << 8);
        m_at += 2;
        return static_cast<std::int16_t>(value);
    }
    int i32()
    {
        need(4);
        const std::uint32_t value = byteAt(0) | byteAt(1) << 8 | byteAt(2) << 16 | byteAt(3) << 24;
        m_at += 4;
        return static_cast<std::int32_t>(value);
    }
    // A count the file gives: refused when negative or when that many things of at least
    // `smallest` bytes each cannot fit in what is left.
    std::size_t count(const char* what, std::size_t smallest)
    {
        const int n = i32();
        if (n < 0)
            throw Refusal{"says it holds " + std::to_string(n) + " " + what +
                          ", and a count cannot be below zero"};
        if (static_cast<std::size_t>(n) > remaining() / std::max<std::size_t>(smallest, 1))
            throw Refusal{"says it holds " + std::to_string(n) + " " + what +
                          ", more than the file has room for"};
        return static_cast<std::size_t>(n);
    }
    std::string text(std::size_t length)
    {
        need(length);
        std::string result = toUtf8(m_bytes.substr(m_at, length));
        m_at += length;
        return result;
    }
    // A length byte, then a field of `size` bytes holding that much text.
    std::string byteSizeString(std::size_t size)
    {
        const std::size_t length = std::min<std::size_t>(u8(), size);
        need(size);
        std::string result = toUtf8(m_bytes.substr(m_at, length));
        m_at += size;
        return result;
    }
    // The field's size as an int, then the text's own length as a byte.
    std::string intByteSizeString()
    {
        const std::size_t size = textSize();
        if (size == 0)
            return {};
        const std::size_t length = std::min<std::size_t>(u8(), size - 1);
        std::string result = toUtf8(m_bytes.substr(m_at, length));
        m_at += size - 1;
        return result;
    }
    std::string intSizeString() { return text(textSize()); }

    void setPlace(std::string place) { m_place = std::move(place); }

private:
    std::size_t textSize()
    {
        const int size = i32();
        if (size < 0)
            throw Refusal{"has a text of " + std::to_string(size) + " bytes " + m_place +
                          ", and a size cannot be below zero"};
        if (static_cast<std::size_t>(size) > remaining())
            throw Refusal{"has a text of " + std::to_string(size) + " bytes " + m_place +
                          ", longer than the file"};
        return static_cast<std::size_t>(size);
    }

    std::uint32_t byteAt(std::size_t offset) const
    {
        return static_cast<std::uint8_t>(m_bytes[m_at + offset]);
    }

    std::string_view m_bytes;
    std::size_t m_at = 0;
    std::string m_place = "in its header";
};

// A note's string, for the techniques that join it to the next note there.
struct StringState {
    int lastNote = -1;     // index into the track's notes
    std::int64_t beat = 0; // its beat, counted through the voice
    bool hammerToNext = false;
    bool slideToNext = false;
};

struct TrackInfo {
    int strings = 0;
    bool percussion = false;
    // Open pitches with the capo, highest string first.
    std::array<int, kMostStrings> pitches{};
};

class GuitarProReader {
public:
    GuitarProReader(std::string_view bytes, Version version) :
        m_in(bytes), m_version(version),
        // From 4.06 on, the short chord diagram holds a seventh string.
        m_shortChordStrings(version > kGp4 || (version == kGp4 && bytes[24] >= '6') ? 7 : 6)
    {
    }

    Song read()
    {
        m_in.skip(31); // the version, already known
        readInformation();
        if (m_version < kGp500)
            m_in.skip(1); // triplet feel
        if (m_version >= kGp4)
            readLyrics();
        if (m_version >= kGp510)
            m_in.skip(4 + 4 + 11); // master volume and equaliser
        if (m_version >= kGp500) {
            m_in.skip(7 * 4 + 2); // page size, margins, score size, header and footer flags
            for (int i = 0; i < 10; ++i)
                m_in.intByteSizeString(); // the page's header and footer lines
            m_in.intByteSizeString();     // the tempo's name
        }
        const int tempo = m_in.i32();
        if (tempo > 0)
            m_song.tempos.push_back({0, 0, static_cast<double>(tempo)});
        if (m_version >= kGp510)
            m_in.skip(1); // tempo hidden
        if (m_version >= kGp500)
            m_in.skip(1 + 4); // key and octave
        else
            m_in.skip(m_version == kGp4 ? 5 : 4);
        readChannels();
        std::array<int, 19> directions{};
        if (m_version >= kGp500) {
            for (int& bar : directions)
                bar = m_in.i16();
            m_in.skip(4); // master reverb
        }
        const std::size_t bars = m_in.count("bars", 1);
        if (bars == 0)
            throw Refusal{"has no bars"};
        if (bars > kMostSongBars)
            throw Refusal{"has " + std::to_string(bars) + " bars; Quorlin reads at most " +
                          std::to_string(kMostSongBars)};
        const std::size_t tracks = m_in.count("tracks", 1);
        if (tracks == 0)
            throw Refusal{"has no tracks"};
        if (tracks > kMostSongTracks)
            throw Refusal{"has " + std::to_string(tracks) + " tracks; Quorlin reads at most " +
                          std::to_string(kMostSongTracks)};
        for (std::size_t i = 0; i < bars; ++i)
            readBarHeader(static_cast<int>(i));
        placeDirections(directions);
        for (std::size_t i = 0; i < tracks; ++i)
            readTrack(static_cast<int>(i));
        if (m_version >= kGp500)
            m_in.skip(m_version == kGp500 ? 2 : 1);
        // Each bar of each track holds at least its count of beats (two voices and a line break
        // in Guitar Pro 5, whose last bar has none), so a file that cannot is refused before it
        // is walked.
        const std::size_t smallestBar = m_version >= kGp500 ? 9 : 4;
        const std::size_t room = m_in.remaining() + (m_version >= kGp500 ? 1 : 0);
        if (bars * tracks > room / smallestBar)
            throw Refusal{"says it holds " + std::to_string(bars) + " bars of " +
                          std::to_string(tracks) + " tracks, more than the file has room for"};
        m_strings.assign(tracks, {});
        m_beats.assign(tracks, {});
        for (std::size_t bar = 0; bar < bars; ++bar) {
            for (std::size_t track = 0; track < tracks; ++track) {
                m_in.setPlace("in bar " + std::to_string(bar + 1) + " of track " +
                              std::to_string(track + 1));
                const int voices = m_version >= kGp500 ? 2 : 1;
                for (int voice = 0; voice < voices; ++voice)
                    readVoice(static_cast<int>(bar), static_cast<int>(track), voice);
                // Guitar Pro 5 ends each bar with its line break, but for the song's last.
                const bool last = bar + 1 == bars && track + 1 == tracks;
                if (m_version >= kGp500 && (!last || m_in.remaining() > 0))
                    m_in.skip(1);
            }
        }
        std::stable_sort(m_song.tempos.begin(), m_song.tempos.end(),
                         [](const auto& a, const auto& b) {
                             return std::pair(a.bar, a.start) < std::pair(b.bar, b.start);
                         });
        for (auto& track : m_song.tracks)
            std::stable_sort(track.notes.begin(), track.notes.end(),
                             [](const auto& a, const auto& b) {
                                 return std::pair(a.bar, a.start) < std::pair(b.bar, b.start);
                             });
        return std::move(m_song);
    }

private:
    void readInformation()
    {
        m_song.title = m_in.intByteSizeString();
        m_song.subtitle = m_in.intByteSizeString();
        m_song.artist = m_in.intByteSizeString();
        m_song.album = m_in.intByteSizeString();
        m_song.words = m_in.intByteSizeString();
        if (m_version >= kGp500)
            m_song.music = m_in.intByteSizeString();
        m_song.copyright = m_in.intByteSizeString();
        m_song.author = m_in.intByteSizeString();
        std::string instructions = m_in.intByteSizeString();
        if (!instructions.empty())
            m_song.notices.push_back(std::move(instructions));
        const std::size_t notices = m_in.count("lines of notes", 4);
        for (std::size_t i = 0; i < notices; ++i)
            m_song.notices.push_back(m_in.intByteSizeString());
    }

    void readLyrics()
    {
        m_in.skip(4); // the track they belong to
        for (int i = 0; i < 5; ++i) {
            m_in.skip(4); // the bar they start at
            m_in.intSizeString();
        }
    }

    void readChannels()
    {
        for (int& program : m_programs) {
            program = m_in.i32();
            m_in.skip(6 + 2); // volume, balance, chorus, reverb, phaser, tremolo, padding
        }
    }

    void readBarHeader(int index)
    {
        m_in.setPlace("in the heading of bar " + std::to_string(index + 1));
        if (m_version >= kGp500 && index > 0)
            m_in.skip(1);
        const std::uint8_t flags = m_in.u8();
        SongBar bar;
        if (!m_song.bars.empty()) {
            bar.beats = m_song.bars.back().beats;
            bar.beatType = m_song.bars.back().beatType;
        }
        if (flags & 0x01)
            bar.beats = m_in.u8();
        if (flags & 0x02)
            bar.beatType = m_in.u8();
        if (bar.beats < 1 || bar.beats > 128 || bar.beatType < 1 || bar.beatType > 64 ||
            (bar.beatType & (bar.beatType - 1)) != 0)
            throw Refusal{"has a time signature of " + std::to_string(bar.beats) + "/" +
                          std::to_string(bar.beatType) + " in bar " + std::to_string(index + 1)};
        bar.length = kSongTicksPerQuarter * 4 * bar.beats / bar.beatType;
        bar.repeatStart = flags & 0x04;
        if (flags & 0x08)
            bar.repeatEnd =
                m_in.u8() + (m_version >= kGp500 ? 0 : 1); // older files count the returns
        if (m_version < kGp500 && (flags & 0x10))
            bar.endings = endingsUpTo(m_in.u8());
        if (flags & 0x20) {
            m_in.intByteSizeString(); // a marker's name: the section, not a direction
            m_in.skip(4);             // and its colour
        }
        if (flags & 0x40)
            m_in.skip(2); // key
        if (m_version >= kGp500) {
            if (flags & 0x03)
                m_in.skip(4); // how eighths are beamed
            if (flags & 0x10)
                bar.endings = m_in.u8();
            else
                m_in.skip(1);
            m_in.skip(1); // triplet feel
        }
        m_song.bars.push_back(bar);
    }

    // An older file numbers the last ending a bar belongs to: the bar takes every ending up to
    // it that no bar since the repeat's start has taken.
    std::uint32_t endingsUpTo(int number) const
    {
        std::uint32_t taken = 0;
        for (auto bar = m_song.bars.rbegin(); bar != m_song.bars.rend(); ++bar) {
            taken |= bar->endings;
            if (bar->repeatStart)
                break;
        }
        const std::uint64_t upTo = (std::uint64_t{1} << std::clamp(number, 0, 32)) - 1;
        return static_cast<std::uint32_t>(upTo) & ~taken;
    }

    void placeDirections(const std::array<int, 19>& directions)
    {
        static constexpr std::array<const char*, 19> kNames = {
            "Coda",
            "Double Coda",
            "Segno",
            "Segno Segno",
            "Fine",
            "Da Capo",
            "Da Capo al Coda",
            "Da Capo al Double Coda",
            "Da Capo al Fine",
            "Da Segno",
            "Da Segno al Coda",
            "Da Segno al Double Coda",
            "Da Segno al Fine",
            "Da Segno Segno",
            "Da Segno Segno al Coda",
            "Da Segno Segno al Double Coda",
            "Da Segno Segno al Fine",
            "Da Coda",
            "Da Double Coda",
        };
        for (std::size_t i = 0; i < directions.size(); ++i) {
            const int bar = directions[i];
            if (bar < 1 || bar > static_cast<int>(m_song.bars.size()))
                continue;
            std::string& direction = m_song.bars[static_cast<std::size_t>(bar - 1)].direction;
            direction += (direction.empty() ? "" : "; ") + std::string(kNames[i]);
        }
    }

    void readTrack(int index)
    {
        m_in.setPlace("in the heading of track " + std::to_string(index + 1));
        if (m_version >= kGp500 && (index == 0 || m_version == kGp500))
            m_in.skip(1);
        const std::uint8_t flags = m_in.u8();
        SongTrack track;
        track.name = m_in.byteSizeString(40);
        const int strings = m_in.i32();
        if (strings < 1 || strings > kMostStrings)
            throw Refusal{"has a track of " + std::to_string(strings) + " strings (track " +
                          std::to_string(index + 1) + ")"};
        std::array<int, kMostStrings> tuning{};
        for (int& pitch : tuning)
            pitch = m_in.i32();
        const int port = m_in.i32();
        const int channel = m_in.i32();
        m_in.skip(4 + 4); // effect channel, frets
        const int capo = m_in.i32();
        m_in.skip(4); // colour
        if (m_version >= kGp500) {
            m_in.skip(2 + 1 + 1 + 1 + 24 + 12); // flags, accentuation, bank, humanise, sound
            if (m_version == kGp500) {
                m_in.skip(3);
            } else {
                m_in.skip(4 + 4);
                m_in.intByteSizeString();
                m_in.intByteSizeString();
            }
        }
        track.percussion = (flags & 0x01) || channel == 10;
        if (port >= 1 && port <= 4 && channel >= 1 && channel <= 16 && !track.percussion) {
            const int program =
                m_programs[static_cast<std::size_t>((port - 1) * 16 + (channel - 1))];
            if (program >= 0 && program < 128)
                track.midiProgram = program;
        }
        TrackInfo info;
        info.strings = strings;
        info.percussion = track.percussion;
        if (!track.percussion) {
            track.capo = std::clamp(capo, 0, 24);
            for (int s = 0; s < strings; ++s) {
                const int pitch = std::clamp(tuning[static_cast<std::size_t>(s)], 0, 127);
                track.tuning.push_back(pitch);
                info.pitches[static_cast<std::size_t>(s)] = pitch + track.capo;
            }
        }
        m_tracks.push_back(info);
        m_song.tracks.push_back(std::move(track));
    }

    // What a beat's effects say of all its notes.
    struct BeatEffects {
        model::Technique technique = model::Technique::Plain;
        model::NoteFlags marks = 0;
    };

    void readVoice(int bar, int track, int voice)
    {
        const std::size_t beats = m_in.count("beats", kSmallestBeat);
        std::int64_t start = 0;
        for (std::size_t i = 0; i < beats; ++i)
            start += readBeat(bar, track, voice, start);
    }

    static std::int64_t tupletInto(int tuplet)
    {
        switch (tuplet) {
        case 3:
            return 2;
        case 5:
        case 6:
        case 7:
            return 4;
        case 9:
        case 10:
        case 11:
        case 12:
        case 13:
            return 8;
        default:
            return 0;
        }
    }

    // Reads one beat and gives its length.
    std::int64_t readBeat(int bar, int track, int voice, std::int64_t start)
    {
        const std::uint8_t flags = m_in.u8();
        if (flags & 0x40)
            m_in.skip(1); // empty or rest: a beat without notes says so alone
        const int duration = m_in.i8();
        if (duration < -2 || duration > 4)
            throw Refusal{"has a beat of unknown length (" + std::to_string(duration) +
                          ") in bar " + std::to_string(bar + 1) + " of track " +
                          std::to_string(track + 1)};
        std::int64_t length = kSongTicksPerQuarter * 4 / (std::int64_t{1} << (duration + 2));
        if (flags & 0x01)
            length = length * 3 / 2;
        if (flags & 0x20) {
            const int tuplet = m_in.i32();
            if (const std::int64_t into = tupletInto(tuplet); into > 0)
                length = length * into / tuplet;
            else if (tuplet != 1)
                problem(bar, start,
                        "a " + std::to_string(tuplet) + "-tuplet played as written without it");
        }
        if (flags & 0x02)
            skipChord();
        if (flags & 0x04)
            m_in.intByteSizeString(); // text over the beat
        BeatEffects effects;
        if (flags & 0x08)
            effects = readBeatEffects();
        if (flags & 0x10)
            readMixTable(bar, start);
        ++m_beats[static_cast<std::size_t>(track)][static_cast<std::size_t>(voice)];
        const std::uint8_t strings = m_in.u8();
        for (int s = 1; s <= kMostStrings; ++s) {
            if (strings & (1 << (7 - s)))
                readNote(bar, track, voice, start, length, s, effects);
        }
        if (m_version >= kGp500) {
            const int more = m_in.i16();
            if (more & 0x0800)
                m_in.skip(1);
        }
        return length;
    }

    void skipChord()
    {
        // Guitar Pro 5 writes only the long form, whatever its first byte says.
        const bool newer = m_in.u8() != 0 || m_version >= kGp500;
        if (!newer) {
            m_in.intByteSizeString();
            if (m_in.i32() > 0) // the first fret; none means no frets follow
                m_in.skip(static_cast<std::size_t>(m_shortChordStrings) * 4);
        } else {
            // Fixed-size diagrams: the name, root, kind, frets, barres and fingering.
            m_in.skip(m_version == kGp3 ? 124 : 106);
        }
    }

    BeatEffects readBeatEffects()
    {
        BeatEffects effects;
        const std::uint8_t first = m_in.u8();
        const std::uint8_t second = m_version >= kGp4 ? m_in.u8() : 0;
        // The newer versions keep the first bit for no vibrato of their own.
        if (first & (m_version == kGp3 ? 0x03 : 0x02))
            effects.marks |= model::kVibrato;
        if (m_version == kGp3 && (first & 0x0C))
            effects.marks |= model::kHarmonic;
        if (first & 0x20) {
            const int kind = m_in.u8();
            if (kind == 2)
                effects.technique = model::Technique::Slap;
            else if (kind == 3)
                effects.technique = model::Technique::Pop;
            else if (kind == 1)
                effects.marks |= model::kTapped;
            else if (kind == 0 && m_version == kGp3)
                effects.marks |= model::kTremoloBar; // the old files' tremolo bar
            if (m_version == kGp3)
                m_in.skip(4);
        }
        if (second & 0x04) {
            skipBend();
            effects.marks |= model::kTremoloBar;
        }
        if (first & 0x40)
            m_in.skip(2); // strum up and down
        if (second & 0x02)
            m_in.skip(1); // pick stroke
        return effects;
    }

    void skipBend()
    {
        m_in.skip(1 + 4);
        const std::size_t points = m_in.count("bend points", 9);
        m_in.skip(points * 9);
    }

    void readMixTable(int bar, std::int64_t start)
    {
        m_in.skip(1); // instrument
        if (m_version >= kGp500)
            m_in.skip(16); // the sound bank's instrument
        std::array<int, 6> values{};
        for (int& value : values)
            value = m_in.i8();
        if (m_version >= kGp500)
            m_in.intByteSizeString(); // the tempo's name
        const int tempo = m_in.i32();
        for (const int value : values) {
            if (value >= 0)
                m_in.skip(1); // over how many beats it changes
        }
        if (tempo >= 0) {
            m_in.skip(m_version >= kGp510 ? 2 : 1);
            if (tempo > 0) {
                // Several tracks may carry the same change; a change on the first beat
                // overrides the song's tempo.
                const auto known =
                    std::find_if(m_song.tempos.begin(), m_song.tempos.end(),
                                 [&](const auto& t) { return t.bar == bar && t.start == start; });
                if (known == m_song.tempos.end())
                    m_song.tempos.push_back({bar, start, static_cast<double>(tempo)});
                else
                    known->quartersPerMinute = tempo;
            }
        }
        if (m_version >= kGp4)
            m_in.skip(1); // which tracks the change applies to
        if (m_version >= kGp500) {
            m_in.skip(1); // wah
            if (m_version >= kGp510) {
                m_in.intByteSizeString();
                m_in.intByteSizeString();
            }
        }
    }

    void readNote(int bar, int track, int voice, std::int64_t start, std::int64_t length,
                  int string, const BeatEffects& beat)
    {
        const std::uint8_t flags = m_in.u8();
        int kind = 1;
        if (flags & 0x20)
            kind = m_in.u8();
        if (m_version < kGp500 && (flags & 0x01))
            m_in.skip(2); // a length of its own, seldom used
        if (flags & 0x10)
            m_in.skip(1); // loudness
        int fret = 0;
        if (flags & 0x20)
            fret = m_in.i8();
        if (flags & 0x80)
            m_in.skip(2); // fingering
        if (m_version >= kGp500) {
            if (flags & 0x01)
                m_in.skip(8);
            m_in.skip(1);
        }
        model::NoteFlags marks = beat.marks;
        if (flags & 0x04)
            marks |= model::kGhostNote;
        if (flags & 0x40 || (m_version >= kGp500 && (flags & 0x02)))
            marks |= model::kAccent;
        if (kind == 3)
            marks |= model::kDeadNote;
        bool hammer = false;
        bool slide = false;
        if (flags & 0x08)
            readNoteEffects(marks, hammer, slide);

        ++m_noteCount;
        if (m_noteCount > kMostSongNotes)
            throw Refusal{"has more than " + std::to_string(kMostSongNotes) +
                          " notes, more than Quorlin reads"};
        const TrackInfo& info = m_tracks[static_cast<std::size_t>(track)];
        if (!info.percussion && string > info.strings) {
            problem(bar, start,
                    "a note on string " + std::to_string(string) + " of a track of " +
                        std::to_string(info.strings) + " strings left out");
            return;
        }
        if (fret < 0) {
            problem(bar, start,
                    "a note on string " + std::to_string(string) + " without a fret left out");
            return;
        }
        SongTrack& out = m_song.tracks[static_cast<std::size_t>(track)];
        StringState& state =
            m_strings[static_cast<std::size_t>(track)][static_cast<std::size_t>(voice)]
                     [static_cast<std::size_t>(string - 1)];
        // A tie, hammer-on or slide joins the note before on the string only from the beat
        // before (a bar may be written short or long); after a rest or other strings' notes
        // this note starts afresh.
        std::int64_t& beatCount =
            m_beats[static_cast<std::size_t>(track)][static_cast<std::size_t>(voice)];
        const bool follows = state.lastNote >= 0 && state.beat + 1 == beatCount;
        const std::int64_t at = barStart(bar) + start;
        if (kind == 2 && follows) {
            SongNote& tied = out.notes[static_cast<std::size_t>(state.lastNote)];
            tied.length = at + length - barStart(tied.bar) - tied.start;
            state.beat = beatCount;
            state.hammerToNext = hammer;
            state.slideToNext = slide;
            return;
        }
        SongNote note;
        note.bar = bar;
        note.start = start;
        note.length = length;
        note.voice = voice;
        note.marks = marks;
        if (info.percussion) {
            note.pitch = fret;
        } else {
            note.string = string;
            note.fret = fret;
            note.pitch = info.pitches[static_cast<std::size_t>(string - 1)] + fret;
        }
        note.technique = beat.technique;
        if (follows && state.hammerToNext) {
            const int before = out.notes[static_cast<std::size_t>(state.lastNote)].pitch;
            note.technique =
                note.pitch >= before ? model::Technique::HammerOn : model::Technique::PullOff;
        } else if (follows && state.slideToNext) {
            note.technique = model::slideBetween(
                out.notes[static_cast<std::size_t>(state.lastNote)].pitch, note.pitch);
        }
        state = {static_cast<int>(out.notes.size()), beatCount, hammer, slide};
        out.notes.push_back(note);
    }

    void readNoteEffects(model::NoteFlags& marks, bool& hammer, bool& slide)
    {
        const std::uint8_t first = m_in.u8();
        const std::uint8_t second = m_version >= kGp4 ? m_in.u8() : 0;
        hammer = first & 0x02;
        if (m_version == kGp3)
            slide = first & 0x04;
        if (first & 0x08)
            marks |= model::kLetRing;
        if (first & 0x01) {
            skipBend();
            marks |= model::kBend;
        }
        if (first & 0x10) {
            // Its fret, loudness, transition and length: the grace itself is left out, and the
            // note it leads into played in full at its time.
            m_in.skip(m_version >= kGp500 ? 5 : 4);
            marks |= model::kGraceBefore;
        }
        if (second & 0x01)
            marks |= model::kStaccato;
        if (second & 0x02)
            marks |= model::kPalmMute;
        if (second & 0x40)
            marks |= model::kVibrato;
        if (second & 0x04) {
            m_in.skip(1);
            marks |= model::kTremoloPicking;
        }
        if (second & 0x08) {
            const int kind = m_in.i8();
            // Shift and legato slides lead to the next note; the rest slide in or out of nowhere.
            slide = m_version >= kGp500 ? (kind & 0x03) != 0 : kind == 1 || kind == 2;
            if (!slide)
                marks |= model::kSlideInOrOut;
        }
        if (second & 0x10) {
            const int kind = m_in.u8();
            if (m_version >= kGp500 && kind == 2)
                m_in.skip(3); // artificial: the note it sounds
            else if (m_version >= kGp500 && kind == 3)
                m_in.skip(1); // tapped: the fret
            marks |= model::kHarmonic;
        }
        if (second & 0x20) {
            m_in.skip(2); // fret and speed
            marks |= model::kTrill;
        }
    }

    std::int64_t barStart(int bar)
    {
        while (static_cast<int>(m_barStarts.size()) <= bar) {
            const std::size_t known = m_barStarts.size();
            m_barStarts.push_back(known == 0 ? 0
                                             : m_barStarts.back() + m_song.bars[known - 1].length);
        }
        return m_barStarts[static_cast<std::size_t>(bar)];
    }

    void problem(int bar, std::int64_t start, std::string what)
    {
        if (m_song.problems.size() > kMostProblems)
            return;
        if (m_song.problems.size() == kMostProblems) {
            m_song.problems.push_back({0, 0, "more problems than these, not listed"});
            return;
        }
        m_song.problems.push_back(
            {bar + 1,
             1 + static_cast<double>(start) * m_song.bars[static_cast<std::size_t>(bar)].beatType /
                     (kSongTicksPerQuarter * 4),
             std::move(what)});
    }

    Bytes m_in;
    Version m_version;
    int m_shortChordStrings;
    Song m_song;
    std::array<int, kChannels> m_programs{};
    std::vector<TrackInfo> m_tracks;
    // Per track, per voice, per string.
    std::vector<std::array<std::array<StringState, kMostStrings>, 2>> m_strings;
    std::vector<std::int64_t> m_barStarts;
    // Per track and voice, the beats read so far and one: the beat being read.
    std::vector<std::array<std::int64_t, 2>> m_beats;
    std::size_t m_noteCount = 0;
};

// The version the file names in its first 31 bytes, or why it cannot be read.
Version versionOf(std::string_view bytes)
{
    if (bytes.size() < 31)
        throw Refusal{"is too short to be a Guitar Pro file"};
    const std::size_t length = std::min<std::size_t>(static_cast<std::uint8_t>(bytes[0]), 30);
    const std::string_view name = bytes.substr(1, length);
    if (name.starts_with("CLIPBOARD"))
        throw Refusal{"is a piece of Guitar Pro's clipboard, not a song"};
    if (name.starts_with("FICHIER GUITARE PRO") || name.starts_with("FICHIER GUITAR PRO v1") ||
        name.starts_with("FICHIER GUITAR PRO v2"))
        throw Refusal{"is a Guitar Pro 1 or 2 file, which Quorlin does not read"};
    if (name == "FICHIER GUITAR PRO v3.00")
        return kGp3;
    if (name.starts_with("FICHIER GUITAR PRO v4.0") && name.size() == 24)
        return kGp4;
    if (name == "FICHIER GUITAR PRO v5.00")
        return kGp500;
    if (name == "FICHIER GUITAR PRO v5.10")
        return kGp510;
    if (name.starts_with("FICHIER GUITAR PRO "))
        throw Refusal{"is a Guitar Pro file of a version Quorlin does not read (" +
                      toUtf8(name.substr(19)) + ")"};
    throw Refusal{"is not a Guitar Pro 3, 4 or 5 file"};
}

} // namespace

SongReading readGuitarProSong(std::string_view bytes)
{
    SongReading reading;
    if (bytes.size() > kLargestSongFile) {
        reading.error = "is larger than " + std::to_string(kLargestSongFile / (1024 * 1024)) +
                        " MB, more than a Guitar Pro song can be";
        return reading;
    }
    // The newer versions keep their score as XML in a container of their own.
    if (bytes.substr(0, 4) == "BCFZ" || bytes.substr(0, 4) == "BCFS")
        return readGuitarPro6Song(bytes);
    if (looksLikeZip(bytes))
        return readGuitarPro7Song(bytes);
    try {
        reading.song = GuitarProReader(bytes, versionOf(bytes)).read();
    } catch (const Refusal& refusal) {
        reading.song = {};
        reading.error = refusal.what;
    }
    return reading;
}

} // namespace quorlin::files
