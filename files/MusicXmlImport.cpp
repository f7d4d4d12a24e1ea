#include "files/MusicXmlImport.h"

#include "files/TextEncoding.h"
#include "files/ZipArchive.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace quorlin::files {

namespace {

constexpr std::int64_t kWholeTicks = 4 * kSongTicksPerQuarter;
// A measure runs at most this many quarter notes: a time signature or notes beyond it are
// cut and listed, so that a crafted bar cannot run the clock past what the ticks hold.
constexpr std::int64_t kMostBarQuarters = 1024;
constexpr std::int64_t kMostDivisions = 1'000'000'000;
constexpr int kMostStaves = 64;
constexpr int kMostVoices = 1000;
constexpr int kMostStrings = 24;
constexpr int kMostFret = 99;
constexpr int kMostRepeats = 99;
constexpr std::size_t kMostProblems = 1000;
constexpr std::size_t kLongestDirection = 200;
// Unfinished ties kept waiting per staff and pitch: a file of ties that never stop must not
// make every later note search them all.
constexpr std::size_t kMostOpenTies = 8;

std::string lowered(std::string_view text)
{
    std::string out(trimmed(text));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

std::string_view textOf(pugi::xml_node node)
{
    return trimmed(node.child_value());
}

std::string_view childText(pugi::xml_node node, const char* name)
{
    return textOf(node.child(name));
}

bool is(pugi::xml_node node, std::string_view name)
{
    return name == node.name();
}

bool isType(pugi::xml_node node, std::string_view type)
{
    return type == node.attribute("type").value();
}

// Numbers as XML writes them, whatever the process's locale says about commas.
std::optional<double> decimal(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> whole(std::string_view text, int least, int most)
{
    const std::optional<double> value = decimal(text);
    if (!value || *value != std::floor(*value) || *value < least || *value > most)
        return std::nullopt;
    return static_cast<int>(*value);
}

// MIDI key of a written step, alteration and octave; nullopt when they name no key.
std::optional<int> pitchOf(std::string_view step, std::string_view alter, std::string_view octave)
{
    static constexpr int kSemitones[] = {9, 11, 0, 2, 4, 5, 7}; // A to G
    if (step.size() != 1 || step[0] < 'A' || step[0] > 'G')
        return std::nullopt;
    const std::optional<int> o = whole(octave, 0, 9);
    // Microtones sound as the nearest semitone.
    const std::optional<double> a = alter.empty() ? 0.0 : decimal(alter);
    if (!o || !a || std::abs(*a) > 4)
        return std::nullopt;
    const int pitch = 12 * (*o + 1) + kSemitones[step[0] - 'A'] + static_cast<int>(std::lround(*a));
    if (pitch < 0 || pitch > 127)
        return std::nullopt;
    return pitch;
}

std::string barBeats(int beats, int beatType)
{
    return std::to_string(beats) + "/" + std::to_string(beatType);
}

// A note as the measure gives it, before ties are joined and the staves compared.
struct RawNote {
    SongNote note;
    std::int64_t at = 0; // from the song's start, once the bars are known
    int staff = 1;
    int voice = 1;
    bool grace = false;
    bool tieStart = false;
    bool tieStop = false;
    bool legatoStop = false;
    bool pullOffNamed = false;
    bool slideStop = false;
    bool slurStart = false;
    bool slurStop = false;
    bool dropped = false;
};

struct StaffSetup {
    bool tab = false;
    int lines = 0;
    std::map<int, int> tuningByLine; // line 1 is the lowest
    int capo = 0;
};

// Where a part's reading stands: what its attributes set so far.
struct PartState {
    std::int64_t divisions = 1;
    int transpose = 0; // semitones from written to sounding
    int beats = 4;
    int beatType = 4;
    bool percussion = false;
    std::map<int, StaffSetup> staves;
    // A palm mute or let ring under a line, until the line stops.
    model::NoteFlags spanMarks = 0;
    bool endingOpen = false;
    std::uint32_t endingBits = 0;
    std::vector<RawNote> notes;
};

// Where the cursor stands in a measure, in the part's divisions.
struct Cursor {
    int bar = 0;
    std::int64_t position = 0;
    std::int64_t lastStart = 0; // of the last note that was not a chord's
    std::int64_t end = 0;       // the farthest the measure's music reached
    bool cut = false;
    std::map<std::int64_t, model::NoteFlags> pointMarks; // words over the notes at a place
};

struct BarInfo {
    bool timeSet = false;
    bool implicit = false;
    std::int64_t contentEnd = 0; // where the cursor reached, rests and forwards too
    // Of the notes, in ticks: the last to start, and the farthest any sounds to.
    std::int64_t lastNoteStart = -1;
    std::int64_t noteEnd = 0;
};

// One measure of one part: where its music is, and the element with its number and
// `implicit` (the same element in a partwise score, the measure around the part when timewise).
struct MeasureRef {
    pugi::xml_node measure;
    pugi::xml_node music;
    int index = 0; // of the bar, counted from 0
};

struct PartEntry {
    std::string id;
    std::vector<MeasureRef> measures;
};

class Reader {
public:
    explicit Reader(Song& song) : m_song(song) {}

    std::string read(pugi::xml_node root)
    {
        readHeader(root);
        std::vector<PartEntry> parts;
        if (std::string error = gatherParts(root, parts); !error.empty())
            return error;
        std::vector<PartState> states(parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            for (const MeasureRef& measure : parts[i].measures) {
                readMeasure(states[i], measure);
                if (m_noteCount > kMostSongNotes)
                    return "holds more than " + std::to_string(kMostSongNotes) +
                           " notes, more than Quorlin reads";
            }
            // An ending never stopped goes on to the last measure, which is where it ended.
            states[i].endingOpen = false;
        }
        finishBars();
        for (std::size_t i = 0; i < parts.size(); ++i)
            finishPart(states[i], m_song.tracks[i]);
        std::stable_sort(m_song.tempos.begin(), m_song.tempos.end(),
                         [](const SongTempo& a, const SongTempo& b) {
                             return std::tie(a.bar, a.start) < std::tie(b.bar, b.start);
                         });
        return {};
    }

private:
    void problem(int bar, std::int64_t ticks, std::string what)
    {
        if (m_song.problems.size() > kMostProblems)
            return;
        if (m_song.problems.size() == kMostProblems) {
            m_song.problems.push_back({0, 0, "more problems than these, not listed"});
            return;
        }
        double beat = 0;
        if (bar >= 0 && static_cast<std::size_t>(bar) < m_song.bars.size() && ticks >= 0)
            beat = 1 + static_cast<double>(ticks) * m_song.bars[bar].beatType / kWholeTicks;
        m_song.problems.push_back({bar + 1, beat, std::move(what)});
    }

    void readHeader(pugi::xml_node root)
    {
        const std::string work(childText(root.child("work"), "work-title"));
        const std::string movement(childText(root, "movement-title"));
        m_song.title = !work.empty() ? work : movement;
        if (!work.empty() && movement != work)
            m_song.subtitle = movement;
        const pugi::xml_node identification = root.child("identification");
        for (const pugi::xml_node creator : identification.children("creator")) {
            const std::string type = lowered(creator.attribute("type").value());
            const std::string name(textOf(creator));
            std::string* field = type == "composer"                      ? &m_song.music
                                 : type == "lyricist" || type == "poet"  ? &m_song.words
                                 : type == "arranger" || type == "other" ? &m_song.author
                                                                         : nullptr;
            if (field == nullptr || name.empty())
                continue;
            *field += (field->empty() ? "" : ", ") + name;
        }
        for (const pugi::xml_node rights : identification.children("rights")) {
            if (const std::string_view text = textOf(rights); !text.empty())
                m_song.copyright += (m_song.copyright.empty() ? "" : "\n") + std::string(text);
        }
        // Credits are what some writers keep the title and names in alone.
        for (const pugi::xml_node credit : root.children("credit")) {
            const std::string type = lowered(childText(credit, "credit-type"));
            const std::string words(childText(credit, "credit-words"));
            std::string* field = type == "title"      ? &m_song.title
                                 : type == "subtitle" ? &m_song.subtitle
                                 : type == "composer" ? &m_song.music
                                 : type == "lyricist" ? &m_song.words
                                 : type == "arranger" ? &m_song.author
                                 : type == "rights"   ? &m_song.copyright
                                                      : nullptr;
            if (field != nullptr && field->empty())
                *field = words;
        }
    }

    // The parts in the part list's order, and the measures of each; a timewise score is turned
    // partwise here, by its structure.
    std::string gatherParts(pugi::xml_node root, std::vector<PartEntry>& parts)
    {
        std::map<std::string, std::size_t> byId;
        const auto partIndex = [&](const std::string& id) -> std::optional<std::size_t> {
            if (const auto found = byId.find(id); found != byId.end())
                return found->second;
            if (parts.size() >= kMostSongTracks)
                return std::nullopt;
            byId.emplace(id, parts.size());
            parts.push_back({id, {}});
            m_song.tracks.push_back(SongTrack{id, {}, -1, false, {}, 0, {}});
            return parts.size() - 1;
        };
        const std::string tooManyParts =
            "has more than " + std::to_string(kMostSongTracks) + " parts, more than Quorlin reads";
        const std::string tooManyBars =
            "has more than " + std::to_string(kMostSongBars) + " measures, more than Quorlin reads";
        for (const pugi::xml_node part : root.child("part-list").children("score-part")) {
            const auto index = partIndex(part.attribute("id").value());
            if (!index)
                return tooManyParts;
            readScorePart(part, m_song.tracks[*index]);
        }
        if (is(root, "score-partwise")) {
            for (const pugi::xml_node part : root.children("part")) {
                const auto index = partIndex(part.attribute("id").value());
                if (!index)
                    return tooManyParts;
                for (const pugi::xml_node measure : part.children("measure")) {
                    if (parts[*index].measures.size() >= kMostSongBars)
                        return tooManyBars;
                    std::vector<MeasureRef>& measures = parts[*index].measures;
                    measures.push_back({measure, measure, static_cast<int>(measures.size())});
                }
            }
        } else {
            int count = 0;
            for (const pugi::xml_node measure : root.children("measure")) {
                if (static_cast<std::size_t>(++count) > kMostSongBars)
                    return tooManyBars;
                for (const pugi::xml_node part : measure.children("part")) {
                    const auto index = partIndex(part.attribute("id").value());
                    if (!index)
                        return tooManyParts;
                    // A part twice in one measure: the first is read.
                    std::vector<MeasureRef>& measures = parts[*index].measures;
                    if (measures.empty() || measures.back().index != count - 1)
                        measures.push_back({measure, part, count - 1});
                }
            }
        }
        return {};
    }

    static void readScorePart(pugi::xml_node part, SongTrack& track)
    {
        std::string name(childText(part, "part-name"));
        if (name.empty())
            name = childText(part, "part-abbreviation");
        if (!name.empty())
            track.name = name;
        track.instrument = childText(part.child("score-instrument"), "instrument-name");
        const pugi::xml_node midi = part.child("midi-instrument");
        // MusicXML counts programs from 1, as General MIDI's list does.
        if (const auto program = whole(childText(midi, "midi-program"), 1, 128))
            track.midiProgram = *program - 1;
        if (whole(childText(midi, "midi-channel"), 1, 16) == 10)
            track.percussion = true;
    }

    SongBar& bar(int index)
    {
        if (static_cast<std::size_t>(index) >= m_song.bars.size()) {
            m_song.bars.resize(static_cast<std::size_t>(index) + 1);
            m_bars.resize(static_cast<std::size_t>(index) + 1);
        }
        return m_song.bars[static_cast<std::size_t>(index)];
    }

    static std::int64_t ticks(const PartState& s, std::int64_t divisions)
    {
        // Never more than kMostBarQuarters quarters of the part's divisions: no overflow.
        return (divisions * 2 * kSongTicksPerQuarter + s.divisions) / (2 * s.divisions);
    }

    std::int64_t longest(const PartState& s) const { return kMostBarQuarters * s.divisions; }

    // A duration or offset in the part's divisions, bounded to a measure's longest.
    std::int64_t divisionsOf(const PartState& s, Cursor& c, pugi::xml_node node, const char* name)
    {
        const pugi::xml_node child = node.child(name);
        if (!child)
            return 0;
        const std::optional<double> value = decimal(textOf(child));
        const std::int64_t at = ticks(s, c.position);
        if (!value) {
            problem(c.bar, at, std::string("a ") + name + " that is no number is taken as none");
            return 0;
        }
        if (*value < 0 && is(child, "duration")) {
            problem(c.bar, at, "a negative duration is taken as none");
            return 0;
        }
        if (std::abs(*value) > static_cast<double>(longest(s))) {
            markCut(c, at);
            return *value < 0 ? -longest(s) : longest(s);
        }
        return std::llround(*value);
    }

    void markCut(Cursor& c, std::int64_t at)
    {
        if (!c.cut)
            problem(c.bar, at,
                    "the measure runs past " + std::to_string(kMostBarQuarters) +
                        " quarter notes: what follows in it is left out");
        c.cut = true;
    }

    void moveTo(const PartState& s, Cursor& c, std::int64_t position)
    {
        if (position < 0) {
            problem(c.bar, ticks(s, c.position),
                    "a backup goes back before the measure: taken back to its start");
            position = 0;
        }
        if (position > longest(s)) {
            markCut(c, ticks(s, c.position));
            position = longest(s);
        }
        c.position = position;
        c.end = std::max(c.end, position);
    }

    void readMeasure(PartState& s, const MeasureRef& ref)
    {
        const int index = ref.index;
        SongBar& songBar = bar(index);
        if (s.endingOpen)
            songBar.endings |= s.endingBits;
        Cursor c;
        c.bar = index;
        for (const pugi::xml_node child : ref.music.children()) {
            if (is(child, "attributes"))
                readAttributes(s, c, child);
            else if (is(child, "note"))
                readNote(s, c, child);
            else if (is(child, "backup"))
                moveTo(s, c, c.position - divisionsOf(s, c, child, "duration"));
            else if (is(child, "forward"))
                moveTo(s, c, c.position + divisionsOf(s, c, child, "duration"));
            else if (is(child, "direction"))
                readDirection(s, c, child);
            else if (is(child, "sound"))
                readSound(s, c, child, c.position);
            else if (is(child, "barline"))
                readBarline(s, c, child);
        }
        BarInfo& info = m_bars[static_cast<std::size_t>(index)];
        // The first part to reach a measure gives it its time signature.
        if (!info.timeSet) {
            info.timeSet = true;
            info.implicit = std::string_view(ref.measure.attribute("implicit").value()) == "yes";
            m_song.bars[static_cast<std::size_t>(index)].beats = s.beats;
            m_song.bars[static_cast<std::size_t>(index)].beatType = s.beatType;
        }
        info.contentEnd = std::max(info.contentEnd, ticks(s, c.end));
    }

    void readAttributes(PartState& s, Cursor& c, pugi::xml_node attributes)
    {
        const std::int64_t at = ticks(s, c.position);
        if (const pugi::xml_node node = attributes.child("divisions")) {
            const std::optional<double> value = decimal(textOf(node));
            if (!value || std::llround(*value) < 1 || *value > kMostDivisions) {
                problem(c.bar, at,
                        "divisions of " + std::string(textOf(node)) +
                            " are no measure of time: kept at " + std::to_string(s.divisions));
            } else {
                const std::int64_t divisions = std::llround(*value);
                // Where the measure stands is kept in time when the unit changes within it.
                const auto rescale = [&](std::int64_t& v) {
                    v = std::llround(static_cast<double>(v) * static_cast<double>(divisions) /
                                     static_cast<double>(s.divisions));
                };
                rescale(c.position);
                rescale(c.lastStart);
                rescale(c.end);
                std::map<std::int64_t, model::NoteFlags> marks;
                for (const auto& [position, mark] : c.pointMarks) {
                    std::int64_t at = position;
                    rescale(at);
                    marks[at] |= mark;
                }
                c.pointMarks = std::move(marks);
                s.divisions = divisions;
            }
        }
        // Several times stand for several staves: the first is the part's.
        if (const pugi::xml_node time = attributes.child("time");
            time && !time.child("senza-misura"))
            readTime(s, c, time, at);
        for (const pugi::xml_node clef : attributes.children("clef")) {
            const int staff = whole(clef.attribute("number").value(), 1, kMostStaves).value_or(1);
            const std::string_view sign = childText(clef, "sign");
            s.staves[staff].tab = sign == "TAB";
            if (sign == "percussion")
                s.percussion = true;
        }
        // A transposing part writes its notes away from their sound; the clef's octave
        // change is only how they are drawn.
        if (const pugi::xml_node transpose = attributes.child("transpose")) {
            const int chromatic = whole(childText(transpose, "chromatic"), -48, 48).value_or(0);
            const int octaves = whole(childText(transpose, "octave-change"), -4, 4).value_or(0);
            s.transpose = chromatic + 12 * octaves;
        }
        for (const pugi::xml_node details : attributes.children("staff-details"))
            readStaffDetails(s, c, details, at);
    }

    void readTime(PartState& s, Cursor& c, pugi::xml_node time, std::int64_t at)
    {
        // "3+2" beats are five.
        const std::string_view text = childText(time, "beats");
        int beats = 0;
        bool valid = !text.empty();
        for (std::size_t from = 0; valid && from <= text.size();) {
            const std::size_t plus = std::min(text.find('+', from), text.size());
            const std::optional<int> part = whole(text.substr(from, plus - from), 1, 1 << 20);
            valid = part.has_value() && beats + *part <= (1 << 20);
            beats += part.value_or(0);
            from = plus + 1;
        }
        const std::optional<int> beatType = whole(childText(time, "beat-type"), 1, 64);
        valid = valid && beatType && kWholeTicks % *beatType == 0 &&
                static_cast<std::int64_t>(beats) * kWholeTicks / *beatType <=
                    kMostBarQuarters * kSongTicksPerQuarter;
        if (!valid) {
            problem(c.bar, at,
                    "a time signature of " + std::string(text) + "/" +
                        std::string(childText(time, "beat-type")) + " is kept at " +
                        barBeats(s.beats, s.beatType));
            return;
        }
        s.beats = beats;
        s.beatType = *beatType;
    }

    void readStaffDetails(PartState& s, Cursor& c, pugi::xml_node details, std::int64_t at)
    {
        const int staff = whole(details.attribute("number").value(), 1, kMostStaves).value_or(1);
        StaffSetup& setup = s.staves[staff];
        if (const pugi::xml_node lines = details.child("staff-lines")) {
            if (const auto count = whole(textOf(lines), 1, kMostStrings))
                setup.lines = *count;
            else
                problem(c.bar, at,
                        "a staff of " + std::string(textOf(lines)) +
                            " lines has no tuning Quorlin reads");
        }
        for (const pugi::xml_node tuning : details.children("staff-tuning")) {
            const auto line = whole(tuning.attribute("line").value(), 1, kMostStrings);
            const auto pitch =
                pitchOf(childText(tuning, "tuning-step"), childText(tuning, "tuning-alter"),
                        childText(tuning, "tuning-octave"));
            if (line && pitch)
                setup.tuningByLine[*line] = *pitch;
        }
        if (const auto capo = whole(childText(details, "capo"), 0, kMostFret))
            setup.capo = *capo;
    }

    void readNote(PartState& s, Cursor& c, pugi::xml_node element)
    {
        const bool grace = element.child("grace");
        const bool chord = element.child("chord");
        const std::int64_t duration = grace ? 0 : divisionsOf(s, c, element, "duration");
        const std::int64_t start = chord ? c.lastStart : c.position;
        if (!chord) {
            c.lastStart = c.position;
            moveTo(s, c, c.position + duration);
        }
        // Cue notes are drawn small and not played.
        if (element.child("rest") || element.child("cue"))
            return;
        const pugi::xml_node pitch = element.child("pitch");
        const pugi::xml_node unpitched = element.child("unpitched");
        std::optional<int> key;
        if (pitch) {
            key = pitchOf(childText(pitch, "step"), childText(pitch, "alter"),
                          childText(pitch, "octave"));
            if (key)
                key = *key + s.transpose;
        } else if (unpitched) {
            s.percussion = true;
            key = pitchOf(childText(unpitched, "display-step"), "",
                          childText(unpitched, "display-octave"));
        } else {
            return;
        }
        const std::int64_t at = ticks(s, start);
        if (!key || *key < 0 || *key > 127) {
            problem(c.bar, at, "a note of no pitch MIDI has is left out");
            return;
        }
        if (start >= longest(s))
            return; // past the cut, already listed
        if (++m_noteCount > kMostSongNotes)
            return;

        RawNote raw;
        raw.note.bar = c.bar;
        raw.note.start = at;
        raw.note.length = ticks(s, std::min(start + duration, longest(s))) - at;
        raw.note.pitch = *key;
        raw.grace = grace;
        raw.staff = whole(childText(element, "staff"), 1, kMostStaves).value_or(1);
        raw.voice = whole(childText(element, "voice"), 1, kMostVoices).value_or(1);
        if (grace)
            raw.note.marks |= model::kGraceNote;
        const pugi::xml_node notehead = element.child("notehead");
        const std::string_view head = textOf(notehead);
        if (head == "x" || head == "cross")
            raw.note.marks |= model::kDeadNote;
        if (std::string_view(notehead.attribute("parentheses").value()) == "yes")
            raw.note.marks |= model::kGhostNote;
        raw.note.marks |= s.spanMarks;
        if (const auto words = c.pointMarks.find(start); words != c.pointMarks.end())
            raw.note.marks |= words->second;
        for (const pugi::xml_node tie : element.children("tie")) {
            raw.tieStart |= isType(tie, "start");
            raw.tieStop |= isType(tie, "stop");
        }
        for (const pugi::xml_node notations : element.children("notations"))
            readNotations(notations, raw);
        BarInfo& info = m_bars[static_cast<std::size_t>(c.bar)];
        info.lastNoteStart = std::max(info.lastNoteStart, at);
        info.noteEnd = std::max(info.noteEnd, at + raw.note.length);
        s.notes.push_back(raw);
    }

    static void readNotations(pugi::xml_node notations, RawNote& raw)
    {
        SongNote& n = raw.note;
        for (const pugi::xml_node mark : notations.children()) {
            if (is(mark, "tied")) {
                raw.tieStart |= isType(mark, "start");
                raw.tieStop |= isType(mark, "stop");
                if (isType(mark, "let-ring"))
                    n.marks |= model::kLetRing;
            } else if (is(mark, "slur")) {
                raw.slurStart |= isType(mark, "start");
                raw.slurStop |= isType(mark, "stop");
            } else if (is(mark, "slide") || is(mark, "glissando")) {
                raw.slideStop |= isType(mark, "stop");
            } else if (is(mark, "technical")) {
                readTechnical(mark, raw);
            } else if (is(mark, "articulations")) {
                for (const pugi::xml_node a : mark.children()) {
                    if (is(a, "accent") || is(a, "strong-accent"))
                        n.marks |= model::kAccent;
                    else if (is(a, "staccato") || is(a, "staccatissimo") || is(a, "spiccato"))
                        n.marks |= model::kStaccato;
                    // Slid into from below or above, from no note before.
                    else if (is(a, "scoop") || is(a, "plop"))
                        n.technique = is(a, "scoop") ? model::Technique::SlideUp
                                                     : model::Technique::SlideDown;
                    else
                        n.marks |= model::kOtherMark;
                }
            } else if (is(mark, "ornaments")) {
                const bool trill = mark.child("trill-mark");
                if (trill)
                    n.marks |= model::kTrill;
                // A wavy line alone is a vibrato; after a trill it only draws the trill on.
                if (!trill && mark.child("wavy-line"))
                    n.marks |= model::kVibrato;
                if (mark.child("tremolo"))
                    n.marks |= model::kTremoloPicking;
                for (const pugi::xml_node o : mark.children()) {
                    if (!is(o, "trill-mark") && !is(o, "wavy-line") && !is(o, "tremolo") &&
                        !is(o, "accidental-mark"))
                        n.marks |= model::kOtherMark;
                }
            } else if (is(mark, "fermata") || is(mark, "arpeggiate") ||
                       is(mark, "other-notation")) {
                n.marks |= model::kOtherMark;
            }
        }
    }

    static void readTechnical(pugi::xml_node technical, RawNote& raw)
    {
        SongNote& n = raw.note;
        std::optional<int> string, fret;
        for (const pugi::xml_node t : technical.children()) {
            if (is(t, "string")) {
                string = whole(textOf(t), 1, kMostStrings);
            } else if (is(t, "fret")) {
                fret = whole(textOf(t), 0, kMostFret);
            } else if (is(t, "hammer-on") || is(t, "pull-off")) {
                if (isType(t, "stop")) {
                    raw.legatoStop = true;
                    raw.pullOffNamed = is(t, "pull-off");
                }
            } else if (is(t, "snap-pizzicato")) {
                n.technique = model::Technique::Pop;
            } else if (is(t, "thumb-position")) {
                n.technique = model::Technique::Slap;
            } else if (is(t, "pluck")) {
                const std::string text = lowered(textOf(t));
                if (text == "t" || text == "s" || text == "slap" || text == "thumb")
                    n.technique = model::Technique::Slap;
                else if (text == "p" || text == "pop")
                    n.technique = model::Technique::Pop;
                // The fingers pluck as a bass is played plain.
                else if (text != "i" && text != "m" && text != "a" && text != "c")
                    n.marks |= model::kOtherMark;
            } else if (is(t, "bend")) {
                n.marks |= model::kBend;
            } else if (is(t, "harmonic")) {
                n.marks |= model::kHarmonic;
            } else if (is(t, "other-technical")) {
                const std::string text = lowered(textOf(t));
                if (contains(text, "slap"))
                    n.technique = model::Technique::Slap;
                else if (contains(text, "pop"))
                    n.technique = model::Technique::Pop;
                else
                    n.marks |= wordMarks(text) != 0 ? wordMarks(text) : model::kOtherMark;
            } else if (!is(t, "fingering")) {
                // A tap, a bowing, a muting...: played plain, and said so. Which finger
                // stops the string changes nothing heard.
                n.marks |= model::kOtherMark;
            }
        }
        // A place needs both: a string alone says no fret, a fret alone no string.
        if (string && fret) {
            n.string = *string;
            n.fret = *fret;
        }
    }

    // Marks that words above the staff put on the notes under them.
    static model::NoteFlags wordMarks(const std::string& text)
    {
        if (text == "pm" || text == "p.m." || text == "p.m" || contains(text, "palm mut"))
            return model::kPalmMute;
        if (contains(text, "let ring"))
            return model::kLetRing;
        if (contains(text, "vibrato"))
            return model::kVibrato;
        return 0;
    }

    void addDirection(int index, std::string_view text)
    {
        std::string& direction = bar(index).direction;
        // What says the same twice is said once; a measure saying ever more is not heard out.
        if (text.empty() || direction.size() > kLongestDirection ||
            contains(lowered(direction), lowered(text)))
            return;
        direction += (direction.empty() ? "" : "; ") + std::string(text);
    }

    void readDirection(PartState& s, Cursor& c, pugi::xml_node direction)
    {
        std::int64_t position = c.position;
        if (direction.child("offset"))
            position = std::clamp(position + divisionsOf(s, c, direction, "offset"),
                                  std::int64_t{0}, longest(s));
        model::NoteFlags marks = 0;
        bool lineStarts = false, lineStops = false;
        std::optional<double> metronome;
        for (const pugi::xml_node type : direction.children("direction-type")) {
            for (const pugi::xml_node d : type.children()) {
                if (is(d, "words")) {
                    const std::string text = lowered(textOf(d));
                    marks |= wordMarks(text);
                    for (const char* said :
                         {"d.c.", "d.s.", "da capo", "dal segno", "coda", "fine", "segno"}) {
                        if (contains(text, said)) {
                            addDirection(c.bar, textOf(d));
                            break;
                        }
                    }
                } else if (is(d, "segno")) {
                    addDirection(c.bar, "Segno");
                } else if (is(d, "coda")) {
                    addDirection(c.bar, "Coda");
                } else if (is(d, "dashes") || is(d, "bracket")) {
                    lineStarts |= isType(d, "start");
                    lineStops |= isType(d, "stop");
                } else if (is(d, "metronome")) {
                    metronome = metronomeQuarters(d);
                }
            }
        }
        if (marks != 0 && lineStarts)
            s.spanMarks |= marks;
        else if (marks != 0)
            c.pointMarks[position] |= marks;
        else if (lineStops)
            s.spanMarks = 0;
        const pugi::xml_node sound = direction.child("sound");
        // The sound's tempo is the one played; a metronome mark alone says it too.
        if (metronome && !sound.attribute("tempo"))
            addTempo(s, c, position, *metronome);
        if (sound)
            readSound(s, c, sound, position);
    }

    static std::optional<double> metronomeQuarters(pugi::xml_node metronome)
    {
        static const std::map<std::string_view, double> kUnits = {
            {"breve", 8},   {"whole", 4},  {"half", 2},   {"quarter", 1},
            {"eighth", .5}, {"16th", .25}, {"32nd", .125}};
        const auto unit = kUnits.find(childText(metronome, "beat-unit"));
        const std::optional<double> perMinute = decimal(childText(metronome, "per-minute"));
        if (unit == kUnits.end() || !perMinute)
            return std::nullopt;
        // Each dot adds half of what the last added.
        double quarters = unit->second;
        double dot = unit->second / 2;
        for (auto d = metronome.child("beat-unit-dot"); d && is(d, "beat-unit-dot");
             d = d.next_sibling(), dot /= 2)
            quarters += dot;
        return *perMinute * quarters;
    }

    void addTempo(const PartState& s, Cursor& c, std::int64_t position, double quarters)
    {
        const std::int64_t at = ticks(s, position);
        if (!(quarters >= 1 && quarters <= 1000)) {
            problem(c.bar, at,
                    "a tempo of " + std::to_string(std::lround(quarters)) +
                        " quarters a minute is left out");
            return;
        }
        // Every part may say the same tempo: the first to say one at a place gives it.
        if (m_song.tempos.size() < kMostSongBars && m_tempoPlaces.emplace(c.bar, at).second)
            m_song.tempos.push_back({c.bar, at, quarters});
    }

    void readSound(PartState& s, Cursor& c, pugi::xml_node sound, std::int64_t position)
    {
        if (const pugi::xml_attribute tempo = sound.attribute("tempo")) {
            if (const std::optional<double> value = decimal(tempo.value()))
                addTempo(s, c, position, *value);
        }
        if (std::string_view(sound.attribute("dacapo").value()) == "yes")
            addDirection(c.bar, "D.C.");
        if (sound.attribute("dalsegno"))
            addDirection(c.bar, "D.S.");
        if (sound.attribute("tocoda"))
            addDirection(c.bar, "To Coda");
        if (sound.attribute("coda"))
            addDirection(c.bar, "Coda");
        if (sound.attribute("segno"))
            addDirection(c.bar, "Segno");
        if (sound.attribute("fine"))
            addDirection(c.bar, "Fine");
    }

    void readBarline(PartState& s, Cursor& c, pugi::xml_node barline)
    {
        SongBar& b = bar(c.bar);
        if (const pugi::xml_node repeat = barline.child("repeat")) {
            const std::string_view direction = repeat.attribute("direction").value();
            if (direction == "forward")
                b.repeatStart = true;
            if (direction == "backward") {
                const pugi::xml_attribute times = repeat.attribute("times");
                std::optional<int> count = times ? whole(times.value(), 1, kMostRepeats) : 2;
                if (!count) {
                    problem(c.bar, -1,
                            "a repeat of " + std::string(times.value()) + " times is played twice");
                    count = 2;
                }
                b.repeatEnd = std::max(b.repeatEnd, *count);
            }
        }
        if (const pugi::xml_node ending = barline.child("ending")) {
            std::uint32_t bits = 0;
            std::string_view numbers = ending.attribute("number").value();
            while (!numbers.empty()) {
                const std::size_t comma = std::min(numbers.find_first_of(", "), numbers.size());
                if (const auto n = whole(numbers.substr(0, comma), 1, 32))
                    bits |= 1u << (*n - 1);
                numbers.remove_prefix(std::min(comma + 1, numbers.size()));
            }
            if (isType(ending, "start")) {
                s.endingOpen = true;
                s.endingBits = bits;
                b.endings |= bits;
            } else {
                b.endings |= s.endingOpen ? s.endingBits : bits;
                s.endingOpen = false;
            }
        }
        if (barline.child("segno"))
            addDirection(c.bar, "Segno");
        if (barline.child("coda"))
            addDirection(c.bar, "Coda");
    }

    // Each measure as long as its time signature says, a pickup as long as its music. One
    // with a note that starts past its end keeps all its notes; a note that only sounds on
    // past the bar line, a rest or a forward there (MuseScore writes them after a Guitar Pro
    // bar that holds too much) lengthens no measure, which would put every later note of
    // every part late.
    void finishBars()
    {
        m_barStarts.assign(m_song.bars.size() + 1, 0);
        for (std::size_t i = 0; i < m_song.bars.size(); ++i) {
            SongBar& b = m_song.bars[i];
            const BarInfo& info = m_bars[i];
            const std::int64_t written = b.beats * kWholeTicks / b.beatType;
            b.length = written;
            if (info.implicit && info.contentEnd > 0 && info.contentEnd < written) {
                b.length = info.contentEnd;
            } else if (info.lastNoteStart >= written) {
                b.length = info.noteEnd;
                problem(static_cast<int>(i), -1,
                        "the measure holds more than " + barBeats(b.beats, b.beatType) +
                            ": kept as long as its notes");
            }
            m_barStarts[i + 1] = m_barStarts[i] + b.length;
        }
    }

    void finishPart(PartState& s, SongTrack& track)
    {
        std::vector<RawNote>& raw = s.notes;
        for (RawNote& r : raw)
            r.at = m_barStarts[static_cast<std::size_t>(r.note.bar)] + r.note.start;
        std::stable_sort(raw.begin(), raw.end(),
                         [](const RawNote& a, const RawNote& b) { return a.at < b.at; });
        joinTies(raw);
        placeTechniques(raw);
        const std::optional<int> tab = tabStaff(s);
        if (tab)
            dropNotationTwins(raw, *tab);
        takeSetup(s, track, tab);

        std::map<std::pair<int, int>, int> voices;
        for (const RawNote& r : raw) {
            if (!r.dropped)
                voices.emplace(std::pair(r.staff, r.voice), 0);
        }
        int next = 0;
        for (auto& voice : voices)
            voice.second = next++;
        for (RawNote& r : raw) {
            if (r.dropped)
                continue;
            r.note.voice = voices[{r.staff, r.voice}];
            track.notes.push_back(r.note);
        }
        // A chord low to high, after the grace notes before it.
        std::stable_sort(track.notes.begin(), track.notes.end(),
                         [](const SongNote& a, const SongNote& b) {
                             return std::tuple(a.bar, a.start, a.voice, a.length > 0, a.pitch) <
                                    std::tuple(b.bar, b.start, b.voice, b.length > 0, b.pitch);
                         });
        track.percussion = track.percussion || s.percussion;
    }

    // A tied note goes on as one when the next has its pitch, string and fret and starts as it
    // ends; else the first says it is tied on.
    static void joinTies(std::vector<RawNote>& raw)
    {
        std::map<std::pair<int, int>, std::vector<std::size_t>> open; // by staff and pitch
        for (std::size_t i = 0; i < raw.size(); ++i) {
            RawNote& n = raw[i];
            if (n.grace)
                continue;
            std::vector<std::size_t>& waiting = open[{n.staff, n.note.pitch}];
            if (n.tieStop && !waiting.empty()) {
                const auto end = [&](std::size_t k) { return raw[k].at + raw[k].note.length; };
                // One that sounds on past its bar line (MuseScore ties on what a Guitar Pro
                // bar holding too much lets ring) is still sounding where the next starts.
                auto from = std::find_if(waiting.rbegin(), waiting.rend(), [&](std::size_t k) {
                    return end(k) >= n.at && raw[k].at < n.at &&
                           raw[k].note.string == n.note.string && raw[k].note.fret == n.note.fret;
                });
                if (from != waiting.rend()) {
                    RawNote& first = raw[*from];
                    first.note.length = std::max(end(*from), n.at + n.note.length) - first.at;
                    first.note.marks |= n.note.marks & ~model::kGraceNote;
                    n.dropped = true;
                    if (!n.tieStart)
                        waiting.erase(std::next(from).base());
                    continue;
                }
                const auto before = std::find_if(waiting.rbegin(), waiting.rend(),
                                                 [&](std::size_t k) { return end(k) <= n.at; });
                if (before != waiting.rend()) {
                    raw[*before].note.tiedToNext = true;
                    waiting.erase(std::next(before).base());
                }
            }
            if (n.tieStart) {
                if (waiting.size() >= kMostOpenTies)
                    waiting.erase(waiting.begin());
                waiting.push_back(i);
            }
        }
    }

    // A hammer-on or pull-off is the destination's, judged by the pitch of the note before
    // on its string (or in its voice, where no string is given); a slur is one only on a
    // string.
    static void placeTechniques(std::vector<RawNote>& raw)
    {
        std::map<std::tuple<int, int, int>, std::size_t> last; // staff, string, voice
        for (std::size_t i = 0; i < raw.size(); ++i) {
            RawNote& n = raw[i];
            if (n.dropped)
                continue;
            const auto key = std::tuple(n.staff, n.note.string, n.note.string > 0 ? 0 : n.voice);
            if (n.legatoStop) {
                const auto before = last.find(key);
                const int from =
                    before != last.end() ? raw[before->second].note.pitch : n.note.pitch;
                const bool down = from != n.note.pitch ? n.note.pitch < from : n.pullOffNamed;
                n.note.technique = down ? model::Technique::PullOff : model::Technique::HammerOn;
            } else if (n.slideStop) {
                const auto before = last.find(key);
                n.note.technique = model::slideBetween(
                    before != last.end() ? raw[before->second].note.pitch : n.note.pitch,
                    n.note.pitch);
            } else if (n.slurStop && n.note.string > 0 &&
                       n.note.technique == model::Technique::Plain) {
                // MuseScore writes a hammer-on or pull-off as a slur alone: on one string, a
                // slur from a note of another pitch is one.
                const auto before = last.find(key);
                if (before != last.end() && raw[before->second].slurStart &&
                    raw[before->second].note.pitch != n.note.pitch)
                    n.note.technique = n.note.pitch < raw[before->second].note.pitch
                                           ? model::Technique::PullOff
                                           : model::Technique::HammerOn;
            }
            last[key] = i;
        }
    }

    // The tablature staff of a part that has others beside it.
    static std::optional<int> tabStaff(const PartState& s)
    {
        std::optional<int> tab;
        bool others = false;
        for (const RawNote& r : s.notes) {
            const auto found = s.staves.find(r.staff);
            const bool isTab = found != s.staves.end() && found->second.tab;
            if (isTab && !tab)
                tab = r.staff;
            others = others || !isTab;
        }
        return others ? tab : std::nullopt;
    }

    // Notation and tablature of the same music give each note once: the tablature's, which
    // has its string and fret, with what either staff marks on it (MuseScore writes a slap on
    // the notation only). A note of the notation the tablature lacks is kept, in the voice of
    // the tablature its twins were in, so that it sounds in their chords.
    static void dropNotationTwins(std::vector<RawNote>& raw, int tab)
    {
        struct Twins {
            std::vector<std::size_t> unmatched; // on the tablature, the first first
            int voice = 0;
        };
        std::map<std::tuple<int, std::int64_t, int>, Twins> onTab; // bar, start, pitch
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const RawNote& r = raw[i];
            if (!r.dropped && r.staff == tab) {
                Twins& twins = onTab[{r.note.bar, r.note.start, r.note.pitch}];
                twins.unmatched.push_back(i);
                twins.voice = r.voice;
            }
        }
        for (auto& [place, twins] : onTab)
            std::reverse(twins.unmatched.begin(), twins.unmatched.end());
        std::map<std::pair<int, int>, int> tabVoice; // by staff and voice
        for (RawNote& r : raw) {
            if (r.dropped || r.staff == tab)
                continue;
            const auto twin = onTab.find({r.note.bar, r.note.start, r.note.pitch});
            if (twin != onTab.end() && !twin->second.unmatched.empty()) {
                SongNote& kept = raw[twin->second.unmatched.back()].note;
                twin->second.unmatched.pop_back();
                if (kept.technique == model::Technique::Plain)
                    kept.technique = r.note.technique;
                kept.marks |= r.note.marks;
                r.dropped = true;
                tabVoice.emplace(std::pair(r.staff, r.voice), twin->second.voice);
            }
        }
        for (RawNote& r : raw) {
            const auto voice = tabVoice.find({r.staff, r.voice});
            if (!r.dropped && r.staff != tab && voice != tabVoice.end()) {
                r.staff = tab;
                r.voice = voice->second;
            }
        }
    }

    void takeSetup(const PartState& s, SongTrack& track, std::optional<int> tab)
    {
        const StaffSetup* setup = nullptr;
        if (tab && !s.staves.at(*tab).tuningByLine.empty())
            setup = &s.staves.at(*tab);
        for (auto it = s.staves.begin(); setup == nullptr && it != s.staves.end(); ++it) {
            if (!it->second.tuningByLine.empty())
                setup = &it->second;
        }
        if (setup == nullptr || setup->tuningByLine.empty())
            return;
        const int lines = std::max(setup->lines, setup->tuningByLine.rbegin()->first);
        std::vector<int> tuning;
        for (int line = lines; line >= 1; --line) {
            const auto pitch = setup->tuningByLine.find(line);
            if (pitch == setup->tuningByLine.end()) {
                problem(-1, 0, "the tuning of " + track.name + " leaves a string out: not read");
                return;
            }
            tuning.push_back(pitch->second);
        }
        track.tuning = std::move(tuning);
        track.capo = setup->capo;
    }

    Song& m_song;
    std::vector<BarInfo> m_bars;
    std::vector<std::int64_t> m_barStarts;
    std::set<std::pair<int, std::int64_t>> m_tempoPlaces;
    std::size_t m_noteCount = 0;
};

std::size_t lineOf(std::string_view text, std::ptrdiff_t offset)
{
    const auto end = static_cast<std::size_t>(
        std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size())));
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + end, '\n'));
}

SongReading readScore(std::string_view text)
{
    SongReading reading;
    pugi::xml_document doc;
    // No entity of the document's own is ever expanded, nor a DTD fetched: the doctype is kept
    // only to be looked at.
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_doctype);
    if (!parsed) {
        reading.error = "is not well-formed XML (line " +
                        std::to_string(lineOf(text, parsed.offset)) + ": " + parsed.description() +
                        ")";
        return reading;
    }
    for (const pugi::xml_node node : doc.children()) {
        if (node.type() == pugi::node_doctype && contains(node.value(), "<!ENTITY")) {
            reading.error = "declares entities of its own, which Quorlin does not expand";
            return reading;
        }
    }
    const pugi::xml_node root = doc.document_element();
    if (is(root, "opus")) {
        reading.error = "is a MusicXML opus, a list of scores, not a score";
        return reading;
    }
    if (!is(root, "score-partwise") && !is(root, "score-timewise")) {
        reading.error = "is not a MusicXML score";
        return reading;
    }
    reading.error = Reader(reading.song).read(root);
    if (!reading.ok())
        reading.song = {};
    return reading;
}

bool isScoreName(std::string_view name)
{
    const std::string lower = lowered(name);
    return !contains(lower, "/") && (lower.ends_with(".xml") || lower.ends_with(".musicxml"));
}

SongReading readCompressed(std::string_view bytes)
{
    SongReading reading;
    const ZipArchive zip(bytes);
    if (!zip.opened()) {
        reading.error = zip.error();
        return reading;
    }
    // The container names the score; without one, the first score at the top stands for it.
    std::string name;
    if (zip.has("META-INF/container.xml")) {
        const ZipMember container = zip.read("META-INF/container.xml", kLargestSongFile);
        if (!container.ok()) {
            reading.error = container.error;
            return reading;
        }
        pugi::xml_document doc;
        if (doc.load_buffer(container.bytes.data(), container.bytes.size())) {
            const pugi::xml_node rootfile =
                doc.child("container").child("rootfiles").child("rootfile");
            name = rootfile.attribute("full-path").value();
            if (name.starts_with('/'))
                name.erase(0, 1);
        }
    }
    if (name.empty() || !zip.has(name)) {
        const std::vector<std::string> names = zip.names();
        const auto score = std::find_if(names.begin(), names.end(), isScoreName);
        if (score == names.end()) {
            reading.error = "is a zip archive without a MusicXML score in it";
            return reading;
        }
        name = *score;
    }
    const ZipMember score = zip.read(name, kLargestSongFile);
    if (!score.ok()) {
        reading.error = score.error;
        return reading;
    }
    return readScore(score.bytes);
}

} // namespace

SongReading readMusicXmlSong(std::string_view bytes)
{
    if (bytes.size() > kLargestSongFile) {
        SongReading reading;
        reading.error = "is larger than " + std::to_string(kLargestSongFile / (1024 * 1024)) +
                        " MB, more than Quorlin reads";
        return reading;
    }
    return looksLikeZip(bytes) ? readCompressed(bytes) : readScore(bytes);
}

} // namespace quorlin::files
