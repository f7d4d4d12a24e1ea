// Tab text from anywhere read as music: whatever the lines hold, the columns must follow each
// other in time, stay inside their blocks and sound only notes a bass has; the MusicXML
// written of it must parse, with every measure full on both staves and every slur and slide
// ended.

#include "files/MidiFile.h"
#include "files/MusicXml.h"
#include "fuzz/FuzzInput.h"
#include "score/Performance.h"
#include "score/Score.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace quorlin;

namespace {

std::int64_t writtenTicks(const score::Column& c)
{
    std::int64_t ticks = 0;
    switch (c.symbol) {
    case 's':
        ticks = 120;
        break;
    case 'e':
        ticks = 240;
        break;
    case 'q':
        ticks = 480;
        break;
    case 'h':
        ticks = 960;
        break;
    case 'w':
        ticks = 1920;
        break;
    default:
        QUORLIN_REQUIRE(!"a duration the palette does not have");
    }
    if (c.dotted)
        ticks = ticks * 3 / 2;
    return c.triplet ? ticks * 2 / 3 : ticks;
}

void requireColumns(const score::Score& s, const std::vector<std::string_view>& lines)
{
    std::int64_t end = 0;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const score::Column& c = s.columns[i];
        QUORLIN_REQUIRE(c.start >= end && c.length > 0 && c.start + c.length <= s.length);
        QUORLIN_REQUIRE(c.length == writtenTicks(c));
        end = c.start + c.length;
        QUORLIN_REQUIRE(c.block >= 0 && static_cast<std::size_t>(c.block) < s.blocks.size());
        const score::Block& b = s.blocks[static_cast<std::size_t>(c.block)];
        QUORLIN_REQUIRE(c.line == b.line && i >= b.firstColumn &&
                        i < b.firstColumn + b.columnCount);
        QUORLIN_REQUIRE(c.start >= b.start && c.start + c.length <= b.start + b.length);
        // Offsets count characters, never more than the rhythm line's bytes.
        QUORLIN_REQUIRE(c.width == 3 && c.offset >= 2 &&
                        static_cast<std::size_t>(c.offset + c.width) <=
                            lines[static_cast<std::size_t>(c.line)].size());
        QUORLIN_REQUIRE(c.rest == c.notes.empty());
        int string = 0;
        for (const score::Note& n : c.notes) {
            // One note per string, top string first.
            QUORLIN_REQUIRE(n.string > string && n.string <= s.strings);
            string = n.string;
            QUORLIN_REQUIRE(n.fret >= 0 && n.fret <= 24);
            // The lowest open string is B0 tuned down six semitones, the highest C3 up five.
            QUORLIN_REQUIRE(n.pitch >= 23 - 6 + n.fret && n.pitch <= 48 + 5 + n.fret);
        }
        QUORLIN_REQUIRE(s.columnAt(c.start) == static_cast<int>(i));
        QUORLIN_REQUIRE(s.columnAt(c.start + c.length - 1) == static_cast<int>(i));
    }
    QUORLIN_REQUIRE(s.columnAt(-1) == -1 && s.columnAt(s.length) == -1);
}

void requireBlocks(const score::Score& s, std::size_t lineCount)
{
    std::size_t column = 0;
    std::int64_t time = 0;
    int nextLine = 0;
    for (std::size_t i = 0; i < s.blocks.size(); ++i) {
        const score::Block& b = s.blocks[i];
        QUORLIN_REQUIRE(b.firstColumn == column && b.start == time && b.length >= 0);
        column += b.columnCount;
        time += b.length;
        QUORLIN_REQUIRE(b.line >= nextLine &&
                        static_cast<std::size_t>(b.line + s.strings + 2) <= lineCount);
        nextLine = b.line + s.strings + 2;
        for (int line = b.line; line < nextLine; ++line)
            QUORLIN_REQUIRE(s.blockOfLine(line) == static_cast<int>(i));
        if (b.line > 0 && (i == 0 || s.blocks[i - 1].line + s.strings + 2 < b.line))
            QUORLIN_REQUIRE(s.blockOfLine(b.line - 1) == -1);
    }
    QUORLIN_REQUIRE(column == s.columns.size() && time == s.length);
}

void requireSkips(const score::Score& s)
{
    for (std::size_t i = 0; i < s.skipped.size(); ++i) {
        const score::Skip& k = s.skipped[i];
        const int block = s.blockOfLine(k.line);
        QUORLIN_REQUIRE(block >= 0 && s.blocks[static_cast<std::size_t>(block)].line == k.line);
        QUORLIN_REQUIRE(k.offset >= 2);
        if (i > 0) {
            const score::Skip& before = s.skipped[i - 1];
            QUORLIN_REQUIRE(before.line < k.line ||
                            (before.line == k.line && before.offset < k.offset));
        }
    }
    QUORLIN_REQUIRE(score::skippedText(s).empty() == s.skipped.empty());
}

// Whatever was read plays and writes: events in time order inside the performance, every
// note switched on is switched off, and the MIDI file holds every event.
void requirePerformance(const score::Score& s, bool metronome)
{
    score::PerformOptions options;
    options.metronome = metronome;
    const score::Performance p = score::perform(s, options);
    std::int64_t last = p.startTick;
    std::map<std::pair<int, int>, int> sounding;
    for (const score::Event& e : p.events) {
        QUORLIN_REQUIRE(e.tick >= last && e.tick <= p.endTick && e.channel < 16);
        QUORLIN_REQUIRE(e.number < 128 && e.value < 128 && e.bend >= -8192 && e.bend <= 8191);
        last = e.tick;
        if (e.kind == score::EventKind::NoteOn)
            ++sounding[{e.channel, e.number}];
        else if (e.kind == score::EventKind::NoteOff)
            --sounding[{e.channel, e.number}];
    }
    for (const auto& [key, count] : sounding)
        QUORLIN_REQUIRE(count == 0);
    const std::string midi = files::midiFileBytes(p);
    QUORLIN_REQUIRE(midi.starts_with("MThd") && midi.size() >= 14 + 3 * p.events.size());
}

// A written note sounds a pitch the score has, and takes the signature's sharp or flat when
// its pitch is in the key's scale: the rules of signatures, kept apart from the writer's own.
void requireSpelled(pugi::xml_node pitch, int fifths, const std::set<int>& pitches)
{
    const std::string_view step = pitch.child_value("step");
    const int alter = pitch.child("alter").text().as_int();
    QUORLIN_REQUIRE(step.size() == 1 && step[0] >= 'A' && step[0] <= 'G' && alter >= -2 &&
                    alter <= 2);
    constexpr int semitones[] = {9, 11, 0, 2, 4, 5, 7};
    const int sounds =
        12 * (pitch.child("octave").text().as_int() + 1) + semitones[step[0] - 'A'] + alter;
    QUORLIN_REQUIRE(pitches.contains(sounds));
    // The major scale of the signature, from its tonic seven semitones on for each sharp.
    const int fromTonic = ((sounds - 7 * fifths) % 12 + 12) % 12;
    constexpr int scale[] = {0, 2, 4, 5, 7, 9, 11};
    if (std::ranges::find(scale, fromTonic) != std::end(scale)) {
        const std::string_view order = fifths >= 0 ? "FCGDAEB" : "BEADGCF";
        const bool marked = static_cast<int>(order.find(step[0])) < std::abs(fifths);
        QUORLIN_REQUIRE(alter == (marked ? (fifths > 0 ? 1 : -1) : 0));
    }
}

// The score in measures of `beats` of 1 / `beatType`, in the key given or found, the song header
// taken from the text's first lines, whatever bytes they hold.
void requireMusicXml(const score::Score& s, const instrument::Tuning& tuning,
                     const std::vector<std::string_view>& lines, int beats, int beatType,
                     std::optional<score::Key> key)
{
    const auto line = [&lines](std::size_t i) {
        return i < lines.size() ? std::string(lines[i]) : std::string();
    };
    const files::SongHeader header{line(0), line(1), line(2), {line(3), line(4)}};
    const std::string xml = files::musicXmlText(
        s, tuning, header,
        {.beats = beats, .beatType = beatType, .titleFromComments = true, .key = key});
    pugi::xml_document doc;
    QUORLIN_REQUIRE(
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_doctype));
    const pugi::xml_node signature =
        doc.child("score-partwise").child("part").child("measure").child("attributes").child("key");
    const int fifths = signature.child("fifths").text().as_int(99);
    QUORLIN_REQUIRE(std::abs(fifths) <= score::kMaxFifths);
    if (key)
        QUORLIN_REQUIRE(fifths == key->fifths && signature.child_value("mode") ==
                                                     std::string(key->minor ? "minor" : "major"));
    std::set<int> pitches;
    for (const score::Column& c : s.columns) {
        for (const score::Note& n : c.notes)
            pitches.insert(std::clamp(n.pitch, 12, 127));
    }
    const std::int64_t measure = beats * 4 * score::kTicksPerBeat / beatType;
    // Up to the last column: a damaged one after it keeps no time worth a measure of rest.
    const std::int64_t end =
        s.columns.empty() ? 0 : s.columns.back().start + s.columns.back().length;
    const std::int64_t measures = std::max<std::int64_t>(1, (end + measure - 1) / measure);
    std::int64_t count = 0;
    // Slurs and slides by kind and number: each one stops, and no number is taken twice at once.
    std::map<std::string, bool> open;
    for (const pugi::xml_node m : doc.child("score-partwise").child("part").children("measure")) {
        std::int64_t filled[3] = {};
        for (const pugi::xml_node note : m.children("note")) {
            const int staff = note.child("staff").text().as_int();
            QUORLIN_REQUIRE(staff == 1 || staff == 2);
            QUORLIN_REQUIRE(note.child("type") || note.child("rest").attribute("measure"));
            if (!note.child("chord"))
                filled[staff] += note.child("duration").text().as_llong();
            if (note.child("pitch"))
                requireSpelled(note.child("pitch"), fifths, pitches);
            for (const pugi::xml_node mark : note.child("notations").children()) {
                const std::string kind = mark.name();
                if (kind != "slur" && kind != "slide")
                    continue;
                bool& on = open[kind + mark.attribute("number").value()];
                const bool start = std::string_view(mark.attribute("type").value()) == "start";
                QUORLIN_REQUIRE(on != start);
                on = start;
            }
        }
        QUORLIN_REQUIRE(filled[1] == measure && filled[2] == measure);
        ++count;
    }
    QUORLIN_REQUIRE(count == measures);
    for (const auto& [mark, on] : open)
        QUORLIN_REQUIRE(!on);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const instrument::StringCount strings(instrument::kMinStrings + input.pick(3));
    const int tempo = input.byte() * 2;
    instrument::Tuning tuning;
    // A string renamed to what is no note sounds only through its line's own name. The same
    // byte's higher bits turn the clicks on and pick the MusicXML key, or leave it to be found.
    const int options = input.byte();
    if (const int unnamed = options % 8; unnamed >= 1 && unnamed <= instrument::kMaxStrings)
        tuning.set(unnamed, "x ");
    const bool metronome = (options >> 3 & 1) != 0;
    std::optional<score::Key> key;
    if (options >> 4 != 0)
        key = score::Key{(options >> 4) - 8, metronome};
    const std::string text = input.rest();
    const std::vector<std::string_view> lines = fuzz::splitLines(text);

    const score::Score s = score::readScore(lines, strings, tuning, tempo);
    QUORLIN_REQUIRE(s.tempo == score::clampTempo(tempo) && s.strings == strings.value());
    QUORLIN_REQUIRE(s.tempo >= score::kMinTempo && s.tempo <= score::kMaxTempo);
    requireColumns(s, lines);
    requireBlocks(s, lines.size());
    requireSkips(s);
    // Reading is a function of the lines: a second reading finds the same.
    const score::Score again = score::readScore(lines, strings, tuning, tempo);
    QUORLIN_REQUIRE(again.columns == s.columns && again.skipped == s.skipped);
    requirePerformance(s, metronome);
    // The tempo's byte also picks the time signature: 1 to 32 beats of a whole down to a 32nd.
    requireMusicXml(s, tuning, lines, 1 + tempo / 2 % 32, 1 << (tempo / 64 % 6), key);
    return 0;
}
