#include "files/GpifImport.h"

#include "files/GpxContainer.h"
#include "files/TextEncoding.h"
#include "files/ZipArchive.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <tuple>
#include <unordered_map>

namespace quorlin::files {

namespace {

struct Refusal {
    std::string what;
};

// More strings than any fretted instrument has: a longer tuning is a damaged file.
constexpr std::size_t kMostStrings = 16;
// More notes on one beat than any instrument sounds at once: a damaged file.
constexpr std::size_t kMostBeatNotes = 128;
// Beats and notes visited, rests included: bars may share voices and voices beats, so a small
// file could otherwise ask for a very long walk. A real score names each beat and note at
// least once in a few bytes of its own, so the walk it may ask for grows with its size.
constexpr std::size_t kLeastVisitBudget = 10'000;
constexpr std::size_t kBytesPerVisit = 2;
// Elements and attributes, each at least a few bytes of text and tens of bytes once parsed:
// a score of more is refused before it is parsed at all.
constexpr std::size_t kMostMarkup = kLargestSongFile / 16;
constexpr std::int64_t kWhole = 4 * kSongTicksPerQuarter;
constexpr std::int64_t kShortest = kWhole / 256;

std::string textOf(pugi::xml_node node)
{
    return std::string(trimmed(node.text().get()));
}

// Whitespace-separated whole numbers; anything else in the list ends it.
std::vector<long> numbers(std::string_view text)
{
    std::vector<long> values;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        while (at < end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n'))
            ++at;
        if (at == end)
            break;
        long value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc())
            break;
        values.push_back(value);
        at = next;
    }
    return values;
}

std::vector<long> numbersOf(pugi::xml_node node)
{
    return numbers(node.text().get());
}

// A whole number within [lowest, highest], or `otherwise` when the text holds none that is.
long numberIn(pugi::xml_node node, long lowest, long highest, long otherwise)
{
    const std::string_view text = trimmed(node.text().get());
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest)
        return otherwise;
    return value;
}

// A named <Property> under <Properties>.
pugi::xml_node property(pugi::xml_node owner, std::string_view name)
{
    for (const pugi::xml_node p : owner.child("Properties").children("Property"))
        if (name == p.attribute("name").value())
            return p;
    return {};
}

bool hasProperty(pugi::xml_node owner, std::string_view name)
{
    return static_cast<bool>(property(owner, name));
}

// The elements of a collection ("Beats" of "Beat"), by their id; the first of an id counts.
std::unordered_map<long, pugi::xml_node> byId(pugi::xml_node collection, const char* element)
{
    std::unordered_map<long, pugi::xml_node> map;
    for (const pugi::xml_node node : collection.children(element))
        map.emplace(node.attribute("id").as_llong(-1), node);
    return map;
}

std::int64_t noteValueTicks(std::string_view value)
{
    static const std::pair<std::string_view, std::int64_t> kValues[] = {
        {"Long", 4 * kWhole},    {"DoubleWhole", 2 * kWhole}, {"Whole", kWhole},
        {"Half", kWhole / 2},    {"Quarter", kWhole / 4},     {"Eighth", kWhole / 8},
        {"16th", kWhole / 16},   {"32nd", kWhole / 32},       {"64th", kWhole / 64},
        {"128th", kWhole / 128}, {"256th", kWhole / 256},
    };
    for (const auto& [name, ticks] : kValues)
        if (name == value)
            return ticks;
    return 0;
}

// The jumps and targets a bar carries, in words a player reads.
std::string directionWords(std::string_view name)
{
    static const std::pair<std::string_view, std::string_view> kWords[] = {
        {"Coda", "Coda"},
        {"DoubleCoda", "Double Coda"},
        {"Segno", "Segno"},
        {"SegnoSegno", "Segno Segno"},
        {"Fine", "Fine"},
        {"DaCapo", "D.C."},
        {"DaCapoAlCoda", "D.C. al Coda"},
        {"DaCapoAlDoubleCoda", "D.C. al Double Coda"},
        {"DaCapoAlFine", "D.C. al Fine"},
        {"DaSegno", "D.S."},
        {"DaSegnoAlCoda", "D.S. al Coda"},
        {"DaSegnoAlDoubleCoda", "D.S. al Double Coda"},
        {"DaSegnoAlFine", "D.S. al Fine"},
        {"DaSegnoSegno", "D.S.S."},
        {"DaSegnoSegnoAlCoda", "D.S.S. al Coda"},
        {"DaSegnoSegnoAlDoubleCoda", "D.S.S. al Double Coda"},
        {"DaSegnoSegnoAlFine", "D.S.S. al Fine"},
        {"DaCoda", "To Coda"},
        {"DaDoubleCoda", "To Double Coda"},
    };
    for (const auto& [key, words] : kWords)
        if (key == name)
            return std::string(words);
    return std::string(name);
}

// Where a note's line stands for the techniques that join it to the note before.
struct StringState {
    int note = -1; // index in the track's notes
    bool slideOut = false;
    bool hopoOut = false;
};

// A note as the file describes it, read once however many beats name it.
struct NoteFacts {
    long string = -1; // as the file counts them, from the lowest; -1 where none is given
    int fret = 0;
    int midi = -1;
    int articulation = -1;
    model::NoteFlags marks = 0;
    bool tieOrigin = false;
    bool tieDestination = false;
    bool slideOut = false;
    bool hopoOrigin = false;
    bool hopoDestination = false;
    bool slapped = false;
    bool popped = false;
};

// A beat, read once however many voices name it.
struct BeatFacts {
    bool grace = false;
    bool rhythm = false;
    std::int64_t ticks = 0;
    int tupletNum = 0; // of a tuplet that cannot be played, else 0
    int tupletDen = 0;
    model::NoteFlags marks = 0;
    bool slapped = false;
    bool popped = false;
    std::vector<const NoteFacts*> notes;
    bool missingNotes = false;
};

struct TrackInfo {
    pugi::xml_node node;
    int strings = 0;
    int capo = 0;
    std::vector<int> lowestFirst;
    std::vector<int> drumKeys; // the articulations' MIDI keys, in the file's order
};

class GpifReader {
public:
    GpifReader(pugi::xml_node root, std::size_t size) :
        m_root(root), m_visitBudget(kLeastVisitBudget + size / kBytesPerVisit)
    {
    }

    Song read()
    {
        readScore();
        readTracks();
        m_bars = byId(m_root.child("Bars"), "Bar");
        m_voices = byId(m_root.child("Voices"), "Voice");
        m_rhythms = byId(m_root.child("Rhythms"), "Rhythm");
        readNotes();
        readBeats();
        readMasterBars();
        readTempos();
        for (SongTrack& track : m_song.tracks)
            std::stable_sort(track.notes.begin(), track.notes.end(),
                             [](const SongNote& a, const SongNote& b) {
                                 return std::tie(a.bar, a.start) < std::tie(b.bar, b.start);
                             });
        return std::move(m_song);
    }

private:
    void readScore()
    {
        const pugi::xml_node score = m_root.child("Score");
        m_song.title = textOf(score.child("Title"));
        m_song.subtitle = textOf(score.child("SubTitle"));
        m_song.artist = textOf(score.child("Artist"));
        m_song.album = textOf(score.child("Album"));
        m_song.words = textOf(score.child("Words"));
        m_song.music = textOf(score.child("Music"));
        const std::string both = textOf(score.child("WordsAndMusic"));
        if (m_song.words.empty())
            m_song.words = both;
        if (m_song.music.empty())
            m_song.music = both;
        m_song.copyright = textOf(score.child("Copyright"));
        m_song.author = textOf(score.child("Tabber"));
        for (const char* name : {"Instructions", "Notices"}) {
            std::string text = textOf(score.child(name));
            if (!text.empty())
                m_song.notices.push_back(std::move(text));
        }
    }

    void readTracks()
    {
        const auto tracks = m_root.child("Tracks").children("Track");
        const auto count = static_cast<std::size_t>(std::distance(tracks.begin(), tracks.end()));
        if (count > kMostSongTracks)
            throw Refusal{"has " + std::to_string(count) + " tracks, more than the " +
                          std::to_string(kMostSongTracks) + " Quorlin reads"};
        for (const pugi::xml_node node : tracks) {
            SongTrack track;
            TrackInfo info;
            info.node = node;
            track.name = textOf(node.child("Name"));
            const pugi::xml_node set = node.child("InstrumentSet");
            track.instrument = textOf(set.child("Name"));
            if (track.instrument.empty())
                track.instrument = node.child("Instrument").attribute("ref").value();
            // The program: a sound's in the newer files, General MIDI's in the older.
            pugi::xml_node program =
                node.child("Sounds").child("Sound").child("MIDI").child("Program");
            if (!program)
                program = node.child("GeneralMidi").child("Program");
            if (program)
                track.midiProgram = std::clamp(program.text().as_int(-1), -1, 127);
            const int channel =
                node.child("MidiConnection")
                    .child("PrimaryChannel")
                    .text()
                    .as_int(node.child("GeneralMidi").child("PrimaryChannel").text().as_int(-1));
            const std::string_view type = set.child("Type").text().get();
            track.percussion = type == "drumKit" || channel == 9;
            for (const pugi::xml_node element : set.child("Elements").children("Element"))
                for (const pugi::xml_node articulation :
                     element.child("Articulations").children("Articulation"))
                    info.drumKeys.push_back(
                        articulation.child("OutputMidiNumber").text().as_int(-1));
            // The newer files keep tuning and capo on the first staff, the older on the track.
            pugi::xml_node owner = node.child("Staves").child("Staff");
            if (!owner)
                owner = node;
            info.capo =
                std::clamp(property(owner, "CapoFret").child("Fret").text().as_int(0), 0, 30);
            if (!track.percussion) {
                for (const long pitch : numbersOf(property(owner, "Tuning").child("Pitches")))
                    info.lowestFirst.push_back(static_cast<int>(std::clamp(pitch, 0L, 127L)));
                if (info.lowestFirst.size() > kMostStrings)
                    throw Refusal{"has a track of " + std::to_string(info.lowestFirst.size()) +
                                  " strings"};
                if (info.lowestFirst.empty())
                    problem(0, 0,
                            "track " + std::to_string(m_song.tracks.size() + 1) +
                                " names no tuning: its notes are left out");
                track.tuning.assign(info.lowestFirst.rbegin(), info.lowestFirst.rend());
                track.capo = info.capo;
            }
            info.strings = static_cast<int>(info.lowestFirst.size());
            m_song.tracks.push_back(std::move(track));
            m_tracks.push_back(std::move(info));
        }
        m_states.assign(m_tracks.size(), {});
    }

    void readMasterBars()
    {
        const auto masters = m_root.child("MasterBars").children("MasterBar");
        const auto count = static_cast<std::size_t>(std::distance(masters.begin(), masters.end()));
        if (count > kMostSongBars)
            throw Refusal{"has " + std::to_string(count) + " bars, more than the " +
                          std::to_string(kMostSongBars) + " Quorlin reads"};
        std::int64_t start = 0;
        for (const pugi::xml_node master : masters) {
            const int index = static_cast<int>(m_song.bars.size());
            SongBar bar;
            readTime(master, index, bar);
            const pugi::xml_node repeat = master.child("Repeat");
            bar.repeatStart = repeat.attribute("start").as_bool();
            if (repeat.attribute("end").as_bool())
                bar.repeatEnd = std::clamp(repeat.attribute("count").as_int(2), 1, 1000);
            for (const long ending : numbersOf(master.child("AlternateEndings")))
                if (ending >= 1 && ending <= 32)
                    bar.endings |= 1u << (ending - 1);
            bar.direction = directionOf(master);
            m_song.bars.push_back(bar);
            m_barStarts.push_back(start);
            start += bar.length;
            const std::vector<long> bars = numbersOf(master.child("Bars"));
            for (std::size_t t = 0; t < m_tracks.size() && t < bars.size(); ++t) {
                const auto found = m_bars.find(bars[t]);
                if (found != m_bars.end())
                    readBar(found->second, static_cast<int>(t), index);
            }
        }
    }

    void readTime(pugi::xml_node master, int index, SongBar& bar)
    {
        const std::string time = textOf(master.child("Time"));
        const std::size_t slash = time.find('/');
        const std::vector<long> top = numbers(time.substr(0, std::min(slash, time.size())));
        const std::vector<long> bottom =
            slash == std::string::npos ? std::vector<long>{} : numbers(time.substr(slash + 1));
        const long beats = top.empty() ? 0 : top[0];
        const long type = bottom.empty() ? 0 : bottom[0];
        const bool powerOfTwo = type > 0 && type <= 128 && (type & (type - 1)) == 0;
        if (beats >= 1 && beats <= 128 && powerOfTwo) {
            bar.beats = static_cast<int>(beats);
            bar.beatType = static_cast<int>(type);
        } else if (index > 0) {
            bar.beats = m_song.bars.back().beats;
            bar.beatType = m_song.bars.back().beatType;
            if (!time.empty())
                problem(index + 1, 0, "a time signature of " + time + " read as the one before");
        }
        bar.length = kWhole * bar.beats / bar.beatType;
    }

    std::string directionOf(pugi::xml_node master)
    {
        // A section's name (Intro, "Dead Notes") is a name, not a sign to follow.
        std::vector<std::string> words;
        for (const pugi::xml_node direction : master.child("Directions").children())
            if (const std::string name = textOf(direction); !name.empty())
                words.push_back(directionWords(name));
        std::string joined;
        for (const std::string& word : words)
            joined += (joined.empty() ? "" : ", ") + word;
        return joined;
    }

    void readBar(pugi::xml_node bar, int track, int index)
    {
        const std::vector<long> voices = numbersOf(bar.child("Voices"));
        for (std::size_t v = 0; v < voices.size() && v < 4; ++v) {
            const auto found = m_voices.find(voices[v]);
            if (voices[v] >= 0 && found != m_voices.end())
                readVoice(found->second, track, index, static_cast<int>(v));
        }
    }

    void readNotes()
    {
        for (const pugi::xml_node node : m_root.child("Notes").children("Note")) {
            const auto [at, added] = m_notes.try_emplace(node.attribute("id").as_llong(-1));
            if (!added)
                continue;
            NoteFacts& note = at->second;
            note.string = numberIn(property(node, "String").child("String"), 0,
                                   std::numeric_limits<long>::max(), -1);
            note.fret = static_cast<int>(numberIn(property(node, "Fret").child("Fret"), 0, 99, 0));
            if (const pugi::xml_node midi = property(node, "Midi").child("Number"))
                note.midi =
                    static_cast<int>(std::clamp<long long>(midi.text().as_llong(0), 0, 127));
            note.articulation =
                static_cast<int>(numberIn(node.child("InstrumentArticulation"), 0, 1 << 20, -1));
            note.marks = marksOf(node);
            const pugi::xml_node tie = node.child("Tie");
            note.tieOrigin = tie.attribute("origin").as_bool();
            note.tieDestination = tie.attribute("destination").as_bool();
            note.slideOut = slideOut(node);
            note.hopoOrigin = hasProperty(node, "HopoOrigin");
            note.hopoDestination = hasProperty(node, "HopoDestination");
            note.slapped = hasProperty(node, "Slapped");
            note.popped = hasProperty(node, "Popped");
        }
    }

    void readBeats()
    {
        for (const pugi::xml_node node : m_root.child("Beats").children("Beat")) {
            const auto [at, added] = m_beats.try_emplace(node.attribute("id").as_llong(-1));
            if (!added)
                continue;
            BeatFacts& beat = at->second;
            beat.grace = static_cast<bool>(node.child("GraceNotes"));
            readRhythm(node, beat);
            if (node.child("Tremolo"))
                beat.marks |= model::kTremoloPicking;
            if (node.child("Vibrato") || hasProperty(node, "VibratoWTremBar"))
                beat.marks |= model::kVibrato;
            beat.slapped = hasProperty(node, "Slapped");
            beat.popped = hasProperty(node, "Popped");
            const std::vector<long> ids = numbersOf(node.child("Notes"));
            if (ids.size() > kMostBeatNotes)
                throw Refusal{"has a beat of " + std::to_string(ids.size()) +
                              " notes, more than any instrument plays at once"};
            for (const long id : ids) {
                const auto found = m_notes.find(id);
                if (found == m_notes.end())
                    beat.missingNotes = true;
                else
                    beat.notes.push_back(&found->second);
            }
        }
    }

    void readRhythm(pugi::xml_node node, BeatFacts& beat)
    {
        const auto found = m_rhythms.find(node.child("Rhythm").attribute("ref").as_llong(-1));
        if (found == m_rhythms.end())
            return;
        const pugi::xml_node rhythm = found->second;
        std::int64_t ticks = noteValueTicks(textOf(rhythm.child("NoteValue")));
        if (ticks == 0)
            return;
        beat.rhythm = true;
        const long dotCount = std::clamp<long long>(
            rhythm.child("AugmentationDot").attribute("count").as_llong(0), 0, 4);
        std::int64_t add = ticks;
        for (long i = 0; i < dotCount; ++i) {
            add /= 2;
            ticks += add;
        }
        for (const char* name : {"PrimaryTuplet", "SecondaryTuplet"}) {
            const pugi::xml_node tuplet = rhythm.child(name);
            if (!tuplet)
                continue;
            const long long num = tuplet.attribute("num").as_llong(1);
            const long long den = tuplet.attribute("den").as_llong(1);
            if (num >= 1 && num <= 64 && den >= 1 && den <= 64) {
                ticks = (ticks * den + num / 2) / num;
            } else {
                beat.tupletNum = static_cast<int>(std::clamp<long long>(num, -999999, 999999));
                beat.tupletDen = static_cast<int>(std::clamp<long long>(den, -999999, 999999));
            }
        }
        beat.ticks = std::max<std::int64_t>(ticks, 1);
    }

    void visit()
    {
        if (++m_visits > m_visitBudget)
            throw Refusal{"asks for more than " + std::to_string(m_visitBudget) +
                          " beats and notes to be read, more than a score of its size holds"};
    }

    void readVoice(pugi::xml_node voice, int track, int index, int v)
    {
        const std::int64_t barLength = m_song.bars[static_cast<std::size_t>(index)].length;
        std::int64_t onset = 0;
        std::uint32_t graceStrings = 0; // bits of the strings, as the file counts them
        // Guitar Pro writes bars far too full (a whole, a half and so on down to a 64th in one
        // bar of four), but never with more beats than twice the 256ths the bar could hold, or
        // than a bar of four could where the bar is shorter.
        const std::vector<const BeatFacts*>& beats = beatsOf(voice, index);
        const auto most = static_cast<std::size_t>(2 * std::max(barLength, kWhole) / kShortest);
        if (beats.size() > most)
            throw Refusal{"has a bar (bar " + std::to_string(index + 1) + " of track " +
                          std::to_string(track + 1) + ") of " + std::to_string(beats.size()) +
                          " beats, more than it can hold"};
        for (const BeatFacts* beat : beats) {
            visit();
            // A grace beat takes no time of its own: it is left out, its main note is played
            // at its time, and a slide or a hammer-on from it leads into that note.
            if (beat->grace) {
                for (const NoteFacts* note : beat->notes) {
                    visit();
                    if (note->string < 0 || note->string >= static_cast<long>(kMostStrings))
                        continue;
                    graceStrings |= 1u << note->string;
                    StringState& state = stateOf(track, v, static_cast<int>(note->string));
                    state.slideOut = state.slideOut || note->slideOut;
                    state.hopoOut = state.hopoOut || note->hopoOrigin;
                }
                continue;
            }
            if (!beat->rhythm) {
                problem(index + 1, beatOf(index, onset), "a beat without a length left out");
                continue;
            }
            if (beat->tupletNum != 0 || beat->tupletDen != 0)
                problem(index + 1, beatOf(index, onset),
                        "a tuplet of " + std::to_string(beat->tupletNum) + ":" +
                            std::to_string(beat->tupletDen) + " played as written without it");
            if (beat->missingNotes)
                problem(index + 1, beatOf(index, onset),
                        "a beat names a note the file does not hold");
            readBeat(*beat, track, index, v, onset, beat->ticks, graceStrings);
            graceStrings = 0;
            onset += beat->ticks;
        }
    }

    // A voice's beats, looked up once however many bars share the voice.
    const std::vector<const BeatFacts*>& beatsOf(pugi::xml_node voice, int index)
    {
        const auto [at, added] = m_voiceBeats.try_emplace(voice.internal_object());
        if (added) {
            bool missing = false;
            for (const long id : numbersOf(voice.child("Beats"))) {
                const auto found = m_beats.find(id);
                if (found != m_beats.end())
                    at->second.push_back(&found->second);
                else
                    missing = true;
            }
            if (missing)
                problem(index + 1, 0, "a voice names a beat the file does not hold");
        }
        return at->second;
    }

    void readBeat(const BeatFacts& beat, int track, int index, int v, std::int64_t onset,
                  std::int64_t length, std::uint32_t graceStrings)
    {
        TrackInfo& info = m_tracks[static_cast<std::size_t>(track)];
        SongTrack& song = m_song.tracks[static_cast<std::size_t>(track)];
        for (const NoteFacts* facts : beat.notes) {
            visit();
            const NoteFacts& node = *facts;
            SongNote note;
            note.bar = index;
            note.start = onset;
            note.length = length;
            note.voice = v;
            note.marks = beat.marks | node.marks;
            if (song.percussion) {
                note.pitch = node.articulation >= 0 && static_cast<std::size_t>(node.articulation) <
                                                           info.drumKeys.size()
                                 ? info.drumKeys[static_cast<std::size_t>(node.articulation)]
                                 : node.midi;
                if (note.pitch < 0 || note.pitch > 127) {
                    problem(index + 1, beatOf(index, onset), "a drum note of no key left out");
                    continue;
                }
                addNote(song, note);
                continue;
            }
            if (node.string < 0 || node.string >= info.strings) {
                problem(index + 1, beatOf(index, onset),
                        "a note on string " + std::to_string(std::int64_t{node.string} + 1) +
                            " of a track of " + std::to_string(info.strings) + " strings left out");
                continue;
            }
            const int string = static_cast<int>(node.string);
            note.string = info.strings - string;
            note.fret = node.fret;
            note.pitch = node.midi >= 0
                             ? node.midi
                             : std::clamp(info.lowestFirst[static_cast<std::size_t>(string)] +
                                              info.capo + note.fret,
                                          0, 127);
            if (graceStrings & (1u << string))
                note.marks |= model::kGraceBefore;
            StringState& state = stateOf(track, v, string);
            if (node.tieDestination && state.note >= 0) {
                SongNote& origin = song.notes[static_cast<std::size_t>(state.note)];
                const std::int64_t end =
                    m_barStarts[static_cast<std::size_t>(index)] + onset + length;
                origin.length =
                    end - m_barStarts[static_cast<std::size_t>(origin.bar)] - origin.start;
                origin.tiedToNext = node.tieOrigin;
                state.slideOut = node.slideOut;
                state.hopoOut = node.hopoOrigin;
                continue;
            }
            // Guitar Pro 6 marks only the first note of a hammer-on or pull-off.
            if ((node.hopoDestination || state.hopoOut) && state.note >= 0)
                note.technique =
                    note.pitch >= song.notes[static_cast<std::size_t>(state.note)].pitch
                        ? model::Technique::HammerOn
                        : model::Technique::PullOff;
            else if (state.slideOut && state.note >= 0)
                note.technique = model::slideBetween(
                    song.notes[static_cast<std::size_t>(state.note)].pitch, note.pitch);
            else if (beat.slapped || node.slapped)
                note.technique = model::Technique::Slap;
            else if (beat.popped || node.popped)
                note.technique = model::Technique::Pop;
            note.tiedToNext = node.tieOrigin;
            state.note = static_cast<int>(song.notes.size());
            state.slideOut = node.slideOut;
            state.hopoOut = node.hopoOrigin;
            addNote(song, note);
        }
    }

    // A shift or legato slide leads into the next note on the string.
    static bool slideOut(pugi::xml_node note)
    {
        return (numberIn(property(note, "Slide").child("Flags"), 0,
                         std::numeric_limits<long>::max(), 0) &
                3) != 0;
    }

    static model::NoteFlags marksOf(pugi::xml_node note)
    {
        model::NoteFlags marks = 0;
        if (hasProperty(note, "Muted"))
            marks |= model::kDeadNote;
        if (note.child("AntiAccent"))
            marks |= model::kGhostNote;
        if (hasProperty(note, "PalmMuted"))
            marks |= model::kPalmMute;
        if (note.child("LetRing"))
            marks |= model::kLetRing;
        if (hasProperty(note, "Bended"))
            marks |= model::kBend;
        const pugi::xml_node harmonic = property(note, "HarmonicType");
        if (harmonic && std::string_view(harmonic.child("HType").text().get()) != "NoHarmonic")
            marks |= model::kHarmonic;
        if (note.child("Vibrato"))
            marks |= model::kVibrato;
        if (note.child("Trill"))
            marks |= model::kTrill;
        // Accent bits: 1 staccato, 4 heavy accent, 8 accent; the rest are other marks.
        const long accent = numberIn(note.child("Accent"), 0, std::numeric_limits<long>::max(), 0);
        if (accent & 1)
            marks |= model::kStaccato;
        if (accent & 12)
            marks |= model::kAccent;
        if ((accent & ~13L) != 0 || hasProperty(note, "Tapped"))
            marks |= model::kOtherMark;
        return marks;
    }

    StringState& stateOf(int track, int voice, int string)
    {
        return m_states[static_cast<std::size_t>(track)]
                       [static_cast<std::size_t>(voice * static_cast<int>(kMostStrings) + string)];
    }

    void addNote(SongTrack& track, const SongNote& note)
    {
        if (++m_noteCount > kMostSongNotes)
            throw Refusal{"has more than " + std::to_string(kMostSongNotes) + " notes"};
        track.notes.push_back(note);
    }

    void readTempos()
    {
        for (const pugi::xml_node automation :
             m_root.child("MasterTrack").child("Automations").children("Automation")) {
            if (std::string_view(automation.child("Type").text().get()) != "Tempo")
                continue;
            const int bar = automation.child("Bar").text().as_int(-1);
            if (bar < 0 || static_cast<std::size_t>(bar) >= m_song.bars.size())
                continue;
            const std::string value = textOf(automation.child("Value"));
            std::istringstream words(value);
            double perMinute = 0;
            int unit = 2;
            words >> perMinute >> unit;
            // The beat the tempo counts: eighth, quarter, dotted quarter, half, dotted half.
            static const double kQuarters[] = {0.5, 1, 1.5, 2, 3};
            const double quarters = unit >= 1 && unit <= 5 ? kQuarters[unit - 1] : 1;
            const double qpm = perMinute * quarters;
            if (!(qpm > 0 && qpm < 10000))
                continue;
            const double position = automation.child("Position").text().as_double(0);
            const double ratio = std::isfinite(position) ? std::clamp(position, 0.0, 1.0) : 0.0;
            const std::int64_t start = std::llround(
                ratio * static_cast<double>(m_song.bars[static_cast<std::size_t>(bar)].length));
            const SongTempo tempo{bar, start, qpm};
            const bool seen =
                std::any_of(m_song.tempos.begin(), m_song.tempos.end(), [&](const SongTempo& t) {
                    return t.bar == bar && t.start == start && t.quartersPerMinute == qpm;
                });
            if (!seen)
                m_song.tempos.push_back(tempo);
        }
        std::stable_sort(m_song.tempos.begin(), m_song.tempos.end(),
                         [](const SongTempo& a, const SongTempo& b) {
                             return std::tie(a.bar, a.start) < std::tie(b.bar, b.start);
                         });
    }

    double beatOf(int index, std::int64_t onset) const
    {
        const SongBar& bar = m_song.bars[static_cast<std::size_t>(index)];
        return 1.0 + static_cast<double>(onset) / static_cast<double>(kWhole / bar.beatType);
    }

    void problem(int bar, double beat, std::string what)
    {
        if (m_song.problems.size() < 1000)
            m_song.problems.push_back({bar, beat, std::move(what)});
    }

    pugi::xml_node m_root;
    Song m_song;
    std::vector<TrackInfo> m_tracks;
    // Per track: per voice, per string (from the lowest, as the file counts them).
    std::vector<std::array<StringState, 4 * kMostStrings>> m_states;
    std::unordered_map<long, pugi::xml_node> m_bars, m_voices, m_rhythms;
    std::unordered_map<long, NoteFacts> m_notes;
    std::unordered_map<long, BeatFacts> m_beats;
    std::unordered_map<pugi::xml_node_struct*, std::vector<const BeatFacts*>> m_voiceBeats;
    std::vector<std::int64_t> m_barStarts;
    std::size_t m_noteCount = 0;
    std::size_t m_visits = 0;
    std::size_t m_visitBudget;
};

SongReading refused(std::string error)
{
    SongReading reading;
    reading.error = std::move(error);
    return reading;
}

} // namespace

SongReading readGpifSong(std::string_view xml)
{
    if (xml.size() > kLargestSongFile)
        return refused("holds a score larger than any song");
    const auto markup = static_cast<std::size_t>(std::count(xml.begin(), xml.end(), '<') +
                                                 std::count(xml.begin(), xml.end(), '='));
    if (markup > kMostMarkup)
        return refused("holds a score of more than " + std::to_string(kMostMarkup) +
                       " elements and attributes, more than any song");
    pugi::xml_document doc;
    // No doctype parsing: entities stay unexpanded, whatever the file declares.
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed)
        return refused(std::string("holds a score that is not well-formed XML (") +
                       parsed.description() + ")");
    const pugi::xml_node root = doc.child("GPIF");
    if (!root)
        return refused("holds no Guitar Pro score (no GPIF element)");
    SongReading reading;
    try {
        reading.song = GpifReader(root, xml.size()).read();
    } catch (const Refusal& refusal) {
        return refused(refusal.what);
    }
    return reading;
}

SongReading readGuitarPro7Song(std::string_view bytes)
{
    const ZipArchive zip(bytes);
    if (!zip.opened())
        return refused(zip.error());
    if (!zip.has("Content/score.gpif"))
        return refused("is a zip archive without Content/score.gpif, not a Guitar Pro 7 file");
    const ZipMember score = zip.read("Content/score.gpif", kLargestSongFile);
    if (!score.ok())
        return refused(score.error);
    return readGpifSong(score.bytes);
}

SongReading readGuitarPro6Song(std::string_view bytes)
{
    const GpxMember score = readGpxMember(bytes, "score.gpif");
    if (!score.ok())
        return refused(score.error);
    return readGpifSong(score.bytes);
}

} // namespace quorlin::files
