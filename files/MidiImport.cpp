#include "files/MidiImport.h"

#include "files/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace quorlin::files {

namespace {

constexpr std::array<std::string_view, 128> kProgramNames = {
    "Acoustic Grand Piano",
    "Bright Acoustic Piano",
    "Electric Grand Piano",
    "Honky-tonk Piano",
    "Electric Piano 1",
    "Electric Piano 2",
    "Harpsichord",
    "Clavinet",
    "Celesta",
    "Glockenspiel",
    "Music Box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percussive Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Accordion",
    "Harmonica",
    "Tango Accordion",
    "Acoustic Guitar (nylon)",
    "Acoustic Guitar (steel)",
    "Electric Guitar (jazz)",
    "Electric Guitar (clean)",
    "Electric Guitar (muted)",
    "Overdriven Guitar",
    "Distortion Guitar",
    "Guitar Harmonics",
    "Acoustic Bass",
    "Electric Bass (finger)",
    "Electric Bass (pick)",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo Strings",
    "Pizzicato Strings",
    "Orchestral Harp",
    "Timpani",
    "String Ensemble 1",
    "String Ensemble 2",
    "Synth Strings 1",
    "Synth Strings 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Voice",
    "Orchestra Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Muted Trumpet",
    "French Horn",
    "Brass Section",
    "Synth Brass 1",
    "Synth Brass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Blown Bottle",
    "Shakuhachi",
    "Whistle",
    "Ocarina",
    "Lead 1 (square)",
    "Lead 2 (sawtooth)",
    "Lead 3 (calliope)",
    "Lead 4 (chiff)",
    "Lead 5 (charang)",
    "Lead 6 (voice)",
    "Lead 7 (fifths)",
    "Lead 8 (bass + lead)",
    "Pad 1 (new age)",
    "Pad 2 (warm)",
    "Pad 3 (polysynth)",
    "Pad 4 (choir)",
    "Pad 5 (bowed)",
    "Pad 6 (metallic)",
    "Pad 7 (halo)",
    "Pad 8 (sweep)",
    "FX 1 (rain)",
    "FX 2 (soundtrack)",
    "FX 3 (crystal)",
    "FX 4 (atmosphere)",
    "FX 5 (brightness)",
    "FX 6 (goblins)",
    "FX 7 (echoes)",
    "FX 8 (sci-fi)",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bagpipe",
    "Fiddle",
    "Shanai",
    "Tinkle Bell",
    "Agogo",
    "Steel Drums",
    "Woodblock",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Guitar Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird Tweet",
    "Telephone Ring",
    "Helicopter",
    "Applause",
    "Gunshot",
};

constexpr int kPercussionChannel = 9;                          // channel 10 counted from 1
constexpr std::uint32_t kDefaultQuarterMicroseconds = 500'000; // 120 a minute
// Past this every song is refused by its bar count, so larger times need no exact value:
// the longest song is 100,000 bars of 255 / 1, some 4e11 ticks, and a tick counting quarters
// is at least 3840 / 32767 of ours.
constexpr std::int64_t kFarTick = std::int64_t{1} << 50;

// Thrown inside the reader; its text follows the file's name.
struct Refusal {
    std::string what;
};

[[noreturn]] void refuse(std::string what)
{
    throw Refusal{std::move(what)};
}

std::string trackWords(int track)
{
    return "track " + std::to_string(track + 1);
}

std::uint32_t bigEndian(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (const char c : bytes)
        value = value << 8 | static_cast<std::uint8_t>(c);
    return value;
}

struct FileNote {
    std::int64_t start = 0;
    std::int64_t end = -1; // -1 while it sounds
    int track = 0;         // the MIDI track
    int channel = 0;
    int pitch = 0;
};

// A tempo or time signature where a track gives it; the last one at a tick wins.
struct TimedMeta {
    std::int64_t tick = 0;
    std::int64_t order = 0; // track, then place in the track
    std::uint32_t value = 0;
    int beats = 0;
    int beatType = 0;
};

struct TrackFacts {
    std::string name;
    std::string instrument;
    std::array<int, 16> program;
    std::array<bool, 16> hasNotes{};
    std::int64_t end = 0;

    TrackFacts() { program.fill(-1); }
};

struct FileReading {
    int format = 0;
    std::vector<TrackFacts> tracks;
    std::vector<FileNote> notes;
    std::vector<TimedMeta> tempos;
    std::vector<TimedMeta> meters;
    std::string copyright;
    std::size_t unreleased = 0;
    std::size_t badTempos = 0;
    std::size_t badMeters = 0;
};

// Reads the track's bytes front to back; every read checks what is left first.
class TrackReader {
public:
    TrackReader(std::string_view bytes, int track) : m_bytes(bytes), m_track(track) {}

    bool done() const { return m_at >= m_bytes.size(); }

    std::uint8_t peek() const
    {
        need(1);
        return static_cast<std::uint8_t>(m_bytes[m_at]);
    }
    std::uint8_t byte()
    {
        const std::uint8_t b = peek();
        ++m_at;
        return b;
    }
    // A variable-length quantity: seven bits a byte, at most four bytes.
    std::uint32_t number()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7Fu);
            if ((b & 0x80) == 0)
                return value;
        }
        refuse(trackWords(m_track) + " holds a number longer than four bytes at byte " +
               std::to_string(m_at));
    }
    std::string_view take(std::size_t count)
    {
        need(count);
        const std::string_view part = m_bytes.substr(m_at, count);
        m_at += count;
        return part;
    }
    std::uint8_t dataByte()
    {
        const std::uint8_t b = byte();
        if (b & 0x80)
            refuse(trackWords(m_track) + " has an event cut short at byte " +
                   std::to_string(m_at - 1));
        return b;
    }
    std::size_t at() const { return m_at; }

private:
    void need(std::size_t count) const
    {
        if (m_bytes.size() - m_at < count)
            refuse(trackWords(m_track) + " ends inside an event");
    }

    std::string_view m_bytes;
    std::size_t m_at = 0;
    int m_track;
};

void countNote(const FileReading& file)
{
    if (file.notes.size() >= kMostSongNotes)
        refuse("has more than " + std::to_string(kMostSongNotes) + " notes");
}

// Repeated meta events at one tick of one track keep only the last, so a flood of them costs
// no memory; what is left is bounded like the bars it would make.
void keepMeta(std::vector<TimedMeta>& list, const TimedMeta& meta, const char* kind)
{
    if (!list.empty() && list.back().tick == meta.tick &&
        list.back().order >> 32 == meta.order >> 32) {
        list.back() = meta;
        return;
    }
    if (list.size() >= kMostSongBars)
        refuse("has more than " + std::to_string(kMostSongBars) + " " + kind);
    list.push_back(meta);
}

void readTrack(std::string_view bytes, int track, FileReading& file)
{
    TrackReader in(bytes, track);
    TrackFacts facts;
    // The note sounding on each channel and key, as an index into file.notes.
    std::array<std::array<std::int32_t, 128>, 16> sounding;
    for (auto& keys : sounding)
        keys.fill(-1);
    std::int64_t tick = 0;
    std::uint8_t running = 0;
    std::int64_t order = std::int64_t{track} << 32;
    const auto release = [&](int channel, int pitch) {
        std::int32_t& open =
            sounding[static_cast<std::size_t>(channel)][static_cast<std::size_t>(pitch)];
        if (open >= 0)
            file.notes[static_cast<std::size_t>(open)].end = tick;
        open = -1;
    };
    while (!in.done()) {
        tick += in.number();
        std::uint8_t status = in.peek();
        if (status & 0x80) {
            in.byte();
            if (status < 0xF0)
                running = status;
        } else if (running == 0) {
            refuse(trackWords(track) + " has data with no status before it at byte " +
                   std::to_string(in.at()));
        } else {
            status = running;
        }
        ++order;
        if (status < 0xF0) {
            const int kind = status >> 4;
            const int channel = status & 0x0F;
            const int first = in.dataByte();
            const int second = kind == 0xC || kind == 0xD ? 0 : in.dataByte();
            if (kind == 0x9 && second > 0) {
                // A key struck again while it sounds: the earlier note ends here, so that one
                // pitch never sounds twice at once.
                release(channel, first);
                countNote(file);
                sounding[static_cast<std::size_t>(channel)][static_cast<std::size_t>(first)] =
                    static_cast<std::int32_t>(file.notes.size());
                file.notes.push_back({tick, -1, track, channel, first});
                facts.hasNotes[static_cast<std::size_t>(channel)] = true;
            } else if (kind == 0x8 || kind == 0x9) {
                release(channel, first);
            } else if (kind == 0xC && facts.program[static_cast<std::size_t>(channel)] < 0) {
                facts.program[static_cast<std::size_t>(channel)] = first;
            }
        } else if (status == 0xFF) {
            const std::uint8_t type = in.byte();
            const std::string_view data = in.take(in.number());
            if (type == 0x2F)
                break;
            switch (type) {
            case 0x02:
                if (file.copyright.empty())
                    file.copyright = toUtf8(data);
                break;
            case 0x03:
                if (facts.name.empty())
                    facts.name = toUtf8(data);
                break;
            case 0x04:
                if (facts.instrument.empty())
                    facts.instrument = toUtf8(data);
                break;
            case 0x51:
                if (data.size() >= 3 && bigEndian(data.substr(0, 3)) > 0)
                    keepMeta(file.tempos, {tick, order, bigEndian(data.substr(0, 3)), 0, 0},
                             "tempo changes");
                else
                    ++file.badTempos;
                break;
            case 0x58: {
                const int beats = data.size() >= 2 ? static_cast<std::uint8_t>(data[0]) : 0;
                const int power = data.size() >= 2 ? static_cast<std::uint8_t>(data[1]) : 99;
                // 64ths at the finest: a bar of them is still a whole number of ticks.
                if (beats > 0 && power <= 6)
                    keepMeta(file.meters, {tick, order, 0, beats, 1 << power},
                             "time signature changes");
                else
                    ++file.badMeters;
                break;
            }
            default:
                break; // key signature, text, lyrics, markers: nothing a tab keeps
            }
        } else if (status == 0xF0 || status == 0xF7) {
            in.take(in.number());
        } else {
            refuse(trackWords(track) + " holds a byte (" + std::to_string(status) +
                   ") that is no event of a MIDI file");
        }
    }
    facts.end = tick;
    for (std::size_t channel = 0; channel < 16; ++channel)
        for (const std::int32_t open : sounding[channel])
            if (open >= 0) {
                file.notes[static_cast<std::size_t>(open)].end = tick;
                ++file.unreleased;
            }
    file.tracks.push_back(std::move(facts));
}

FileReading readChunks(std::string_view bytes, int& division)
{
    if (bytes.size() > kLargestSongFile)
        refuse("is larger than " + std::to_string(kLargestSongFile / (1024 * 1024)) +
               " MB, more than a song needs");
    if (bytes.size() < 14 || bytes.substr(0, 4) != "MThd")
        refuse("is not a MIDI file");
    const std::uint32_t headerLength = bigEndian(bytes.substr(4, 4));
    if (headerLength < 6 || headerLength > bytes.size() - 8)
        refuse("has a MIDI header of a length (" + std::to_string(headerLength) +
               ") that does not fit the file");
    FileReading file;
    file.format = static_cast<int>(bigEndian(bytes.substr(8, 2)));
    const std::uint32_t trackCount = bigEndian(bytes.substr(10, 2));
    division = static_cast<int>(bigEndian(bytes.substr(12, 2)));
    if (file.format == 2)
        refuse("is a MIDI file of format 2 (independent patterns), which Quorlin does not read");
    if (file.format > 2)
        refuse("is a MIDI file of an unknown format (" + std::to_string(file.format) + ")");
    if (trackCount == 0)
        refuse("is a MIDI file with no tracks");
    std::size_t at = 8 + headerLength;
    // The header's count bounds the tracks read; chunks of other kinds are skipped.
    while (file.tracks.size() < trackCount && at < bytes.size()) {
        if (bytes.size() - at < 8)
            refuse("is cut short after " +
                   (file.tracks.empty() ? std::string("its header")
                                        : trackWords(static_cast<int>(file.tracks.size()) - 1)));
        const std::string_view kind = bytes.substr(at, 4);
        const std::uint32_t length = bigEndian(bytes.substr(at + 4, 4));
        at += 8;
        if (length > bytes.size() - at)
            refuse("is cut short: a chunk of " + std::to_string(length) + " bytes has only " +
                   std::to_string(bytes.size() - at) + " left");
        if (kind == "MTrk")
            readTrack(bytes.substr(at, length), static_cast<int>(file.tracks.size()), file);
        at += length;
    }
    if (file.tracks.size() < trackCount)
        refuse("is cut short: it promises " + std::to_string(trackCount) + " tracks and holds " +
               std::to_string(file.tracks.size()));
    return file;
}

// The last meta event at each tick, in time order.
std::vector<TimedMeta> inTimeOrder(std::vector<TimedMeta> list)
{
    std::stable_sort(list.begin(), list.end(), [](const TimedMeta& a, const TimedMeta& b) {
        return a.tick < b.tick || (a.tick == b.tick && a.order < b.order);
    });
    std::vector<TimedMeta> kept;
    for (const TimedMeta& m : list) {
        if (!kept.empty() && kept.back().tick == m.tick)
            kept.back() = m;
        else
            kept.push_back(m);
    }
    return kept;
}

// File ticks to song ticks: by the division alone for quarter-note ticks; through the tempo
// map for SMPTE ticks, which count real time.
class Clock {
public:
    Clock(int division, const std::vector<TimedMeta>& tempos)
    {
        if ((division & 0x8000) == 0) {
            if (division == 0)
                refuse("gives no ticks to the quarter note");
            m_perQuarter = division;
            return;
        }
        const int frames = -static_cast<std::int8_t>(division >> 8);
        const int perFrame = division & 0xFF;
        if (perFrame == 0)
            refuse("gives no ticks to an SMPTE frame");
        // 29 stands for 30 frames with frames dropped: 29.97 a second.
        const long double perSecond = (frames == 29 ? 29.97L : frames) * perFrame;
        const auto rate = [perSecond](std::uint32_t microseconds) {
            return static_cast<long double>(kSongTicksPerQuarter) * 1e6L /
                   (static_cast<long double>(microseconds) * perSecond);
        };
        m_segments.push_back({0, 0, rate(kDefaultQuarterMicroseconds)});
        for (const TimedMeta& t : tempos) {
            const Segment& last = m_segments.back();
            const long double at =
                last.songTick + static_cast<long double>(t.tick - last.tick) * last.rate;
            if (t.tick == last.tick)
                m_segments.back().rate = rate(t.value);
            else
                m_segments.push_back({t.tick, at, rate(t.value)});
        }
    }

    std::int64_t operator()(std::int64_t tick) const
    {
        // Ticks this far out cannot be multiplied without overflow, and need not be.
        if (m_perQuarter > 0)
            return tick >= kFarTick ? kFarTick
                                    : std::min((tick * kSongTicksPerQuarter * 2 + m_perQuarter) /
                                                   (2 * m_perQuarter),
                                               kFarTick);
        const auto after =
            std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                             [](std::int64_t t, const Segment& s) { return t < s.tick; });
        const Segment& s = *(after - 1);
        const long double at = s.songTick + static_cast<long double>(tick - s.tick) * s.rate;
        return at >= static_cast<long double>(kFarTick) ? kFarTick : std::llround(at);
    }

private:
    struct Segment {
        std::int64_t tick = 0;
        long double songTick = 0;
        long double rate = 0; // song ticks per file tick
    };
    std::int64_t m_perQuarter = 0;
    std::vector<Segment> m_segments;
};

// The bars from the time signatures, 4/4 until the first: a signature that comes inside a bar
// cuts it short there and starts a bar.
std::vector<std::int64_t> makeBars(Song& song,
                                   const std::vector<std::pair<std::int64_t, TimedMeta>>& meters,
                                   std::int64_t end)
{
    std::vector<std::int64_t> starts;
    int beats = 4;
    int beatType = 4;
    std::size_t next = 0;
    for (std::int64_t at = 0; at < end;) {
        for (; next < meters.size() && meters[next].first <= at; ++next) {
            beats = meters[next].second.beats;
            beatType = meters[next].second.beatType;
        }
        if (starts.size() >= kMostSongBars)
            refuse("would fill more than " + std::to_string(kMostSongBars) + " bars");
        std::int64_t length = beats * 4 * kSongTicksPerQuarter / beatType;
        if (next < meters.size())
            length = std::min(length, meters[next].first - at);
        SongBar bar;
        bar.length = length;
        bar.beats = beats;
        bar.beatType = beatType;
        song.bars.push_back(bar);
        starts.push_back(at);
        at += length;
    }
    return starts;
}

struct Place {
    int bar = 0;
    std::int64_t start = 0;
};

Place placeIn(const std::vector<std::int64_t>& starts, std::int64_t tick)
{
    const auto after = std::upper_bound(starts.begin(), starts.end(), tick);
    const auto bar = static_cast<std::size_t>(after - starts.begin()) - 1;
    return {static_cast<int>(bar), tick - starts[bar]};
}

std::string countWords(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

Song makeSong(FileReading& file, int division)
{
    Song song;
    song.copyright = file.copyright;
    const std::vector<TimedMeta> tempos = inTimeOrder(std::move(file.tempos));
    const std::vector<TimedMeta> meters = inTimeOrder(std::move(file.meters));
    const Clock clock(division, tempos);

    // One song track for each channel of each MIDI track that plays notes.
    std::vector<std::array<int, 16>> trackOf(file.tracks.size());
    const bool conductor = !file.tracks.empty() &&
                           std::none_of(file.tracks[0].hasNotes.begin(),
                                        file.tracks[0].hasNotes.end(), [](bool b) { return b; });
    // The first track's name is the song's in format 0, or when that track plays nothing.
    if (!file.tracks.empty() && (file.format == 0 || conductor))
        song.title = file.tracks[0].name;
    for (std::size_t t = 0; t < file.tracks.size(); ++t) {
        const TrackFacts& facts = file.tracks[t];
        const auto channels = std::count(facts.hasNotes.begin(), facts.hasNotes.end(), true);
        for (std::size_t c = 0; c < 16; ++c) {
            trackOf[t][c] = -1;
            if (!facts.hasNotes[c])
                continue;
            if (song.tracks.size() >= kMostSongTracks)
                refuse("has more than " + std::to_string(kMostSongTracks) + " tracks with notes");
            trackOf[t][c] = static_cast<int>(song.tracks.size());
            SongTrack track;
            const std::string channelName = "Channel " + std::to_string(c + 1);
            if (facts.name.empty() || file.format == 0)
                track.name = channelName;
            else
                track.name = channels > 1 ? facts.name + " (" + channelName + ")" : facts.name;
            track.midiProgram = facts.program[c];
            // A program given on another track still belongs to the channel.
            for (std::size_t o = 0; o < file.tracks.size() && track.midiProgram < 0; ++o)
                track.midiProgram = file.tracks[o].program[c];
            track.percussion = c == kPercussionChannel;
            if (!facts.instrument.empty())
                track.instrument = facts.instrument;
            else if (track.percussion)
                track.instrument = "Percussion";
            else
                track.instrument = generalMidiProgramName(std::max(track.midiProgram, 0));
            song.tracks.push_back(std::move(track));
        }
    }

    // Song ticks of every note, then bars enough for every note and every change.
    struct Timed {
        std::int64_t start;
        std::int64_t end;
    };
    std::vector<Timed> times(file.notes.size());
    std::int64_t end = 0;
    for (std::size_t i = 0; i < file.notes.size(); ++i) {
        const FileNote& n = file.notes[i];
        const std::int64_t start = clock(n.start);
        times[i] = {start, std::max(clock(n.end), start + 1)};
        end = std::max(end, times[i].end);
    }
    std::vector<std::pair<std::int64_t, TimedMeta>> meterTicks;
    for (const TimedMeta& m : meters) {
        meterTicks.emplace_back(clock(m.tick), m);
        end = std::max(end, meterTicks.back().first + 1);
    }
    std::vector<std::int64_t> tempoTicks;
    for (const TimedMeta& t : tempos) {
        tempoTicks.push_back(clock(t.tick));
        end = std::max(end, tempoTicks.back() + 1);
    }
    // Ticks that round together keep the last signature.
    std::vector<std::pair<std::int64_t, TimedMeta>> barMeters;
    for (const auto& m : meterTicks) {
        if (!barMeters.empty() && barMeters.back().first == m.first)
            barMeters.back() = m;
        else
            barMeters.push_back(m);
    }
    const std::vector<std::int64_t> starts = makeBars(song, barMeters, end);

    // The tempo before the first change is 120 a minute, as MIDI has it.
    double last = -1;
    for (std::size_t i = 0; i < tempos.size(); ++i) {
        const double perMinute = 60e6 / tempos[i].value;
        if (song.tempos.empty() && tempoTicks[i] > 0) {
            song.tempos.push_back({0, 0, 120});
            last = 120;
        }
        if (perMinute == last)
            continue;
        const Place p = placeIn(starts, tempoTicks[i]);
        if (!song.tempos.empty() && song.tempos.back().bar == p.bar &&
            song.tempos.back().start == p.start)
            song.tempos.back().quartersPerMinute = perMinute;
        else
            song.tempos.push_back({p.bar, p.start, perMinute});
        last = perMinute;
    }

    for (std::size_t i = 0; i < file.notes.size(); ++i) {
        const FileNote& n = file.notes[i];
        const Place p = placeIn(starts, times[i].start);
        SongNote note;
        note.bar = p.bar;
        note.start = p.start;
        note.length = times[i].end - times[i].start;
        note.pitch = n.pitch;
        const auto t = static_cast<std::size_t>(n.track);
        song.tracks[static_cast<std::size_t>(trackOf[t][static_cast<std::size_t>(n.channel)])]
            .notes.push_back(note);
    }
    for (SongTrack& track : song.tracks)
        std::stable_sort(track.notes.begin(), track.notes.end(),
                         [](const SongNote& a, const SongNote& b) {
                             return a.bar != b.bar       ? a.bar < b.bar
                                    : a.start != b.start ? a.start < b.start
                                                         : a.pitch < b.pitch;
                         });

    if (file.unreleased > 0)
        song.problems.push_back({0, 0,
                                 countWords(file.unreleased, "note is", "notes are") +
                                     " never released: each ends where its track ends"});
    if (file.badTempos > 0)
        song.problems.push_back(
            {0, 0, countWords(file.badTempos, "tempo", "tempos") + " of no speed ignored"});
    if (file.badMeters > 0)
        song.problems.push_back({0, 0,
                                 countWords(file.badMeters, "time signature", "time signatures") +
                                     " Quorlin cannot write ignored"});
    return song;
}

} // namespace

std::string_view generalMidiProgramName(int program)
{
    return program >= 0 && program < 128 ? kProgramNames[static_cast<std::size_t>(program)]
                                         : std::string_view();
}

SongReading readMidiSong(std::string_view bytes)
{
    SongReading reading;
    try {
        int division = 0;
        FileReading file = readChunks(bytes, division);
        reading.song = makeSong(file, division);
    } catch (const Refusal& refusal) {
        reading.song = {};
        reading.error = refusal.what;
    }
    return reading;
}

} // namespace quorlin::files
