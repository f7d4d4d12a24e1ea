#include "files/MusicXml.h"

#include "files/TextEncoding.h"
#include "score/Performance.h"
#include "score/Retune.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace quorlin::files {

namespace {

using score::Column;
using score::isLegato;
using score::isSlide;
using score::Note;
using score::Technique;

constexpr std::int64_t kWhole = 4 * score::kTicksPerBeat;
// Concurrent slurs and slides are told apart by the numbers 1 to 6.
constexpr int kNumbers = 6;
constexpr int kStaves = 2;

// A written value: a note type and its dots, under a triplet or not.
struct Atom {
    std::int64_t ticks = 0;
    std::int8_t type = -1; // in kTypes; -1 when no written value is that long
    std::int8_t dots = 0;
    bool triplet = false;
};

constexpr std::array<const char*, 9> kTypes = {"breve", "whole", "half", "quarter", "eighth",
                                               "16th",  "32nd",  "64th", "128th"};
constexpr std::int64_t kBreve = 2 * kWhole; // type i lasts kBreve >> i

// Every written value a piece may take, longest first, plain or triplet, with a dot or
// without: the tab writes no more, and a triplet of dotted notes is one of its own.
std::vector<Atom> writtenValues(bool triplet)
{
    std::vector<Atom> values;
    for (std::int8_t type = 0; type < static_cast<std::int8_t>(kTypes.size()); ++type) {
        const std::int64_t base = kBreve >> type;
        for (std::int8_t dots = 0; dots <= 1; ++dots) {
            if (dots == 1 && base % 2 != 0)
                continue;
            std::int64_t ticks = dots == 1 ? base * 3 / 2 : base;
            if (triplet) {
                if (ticks * 2 % 3 != 0)
                    continue;
                ticks = ticks * 2 / 3;
            }
            values.push_back({ticks, type, dots, triplet});
        }
    }
    std::stable_sort(values.begin(), values.end(),
                     [](const Atom& a, const Atom& b) { return a.ticks > b.ticks; });
    return values;
}

const std::vector<Atom> kPlain = writtenValues(false);
const std::vector<Atom> kTriplets = writtenValues(true);

// Whether what remains can still be written: the shortest values are a 128th triplet (10
// ticks) and a 128th (15), and together they make every multiple of five from ten.
bool writable(std::int64_t ticks)
{
    return ticks == 0 || (ticks % 5 == 0 && ticks >= 10);
}

const Atom* longestFitting(const std::vector<Atom>& values, std::int64_t ticks)
{
    for (const Atom& a : values) {
        if (a.ticks <= ticks && writable(ticks - a.ticks))
            return &a;
    }
    return nullptr;
}

// A stretch of time as written values, one where it can be, a triplet's own kind first. Part
// of a triplet cut by a bar line is no triplet to the eye: a plain value that fits is clearer.
void splitIntoValues(std::int64_t ticks, bool triplet, bool cut, std::vector<Atom>& out)
{
    if (triplet && cut) {
        const auto exact = std::find_if(kPlain.begin(), kPlain.end(),
                                        [ticks](const Atom& a) { return a.ticks == ticks; });
        if (exact != kPlain.end()) {
            out.push_back(*exact);
            return;
        }
    }
    while (ticks > 0) {
        const Atom* value = longestFitting(triplet ? kTriplets : kPlain, ticks);
        if (value == nullptr)
            value = longestFitting(triplet ? kPlain : kTriplets, ticks);
        if (value == nullptr) {
            // No note value is this long: its exact duration, without a type.
            out.push_back({ticks});
            return;
        }
        out.push_back(*value);
        ticks -= value->ticks;
    }
}

// Valid UTF-8 without the control characters XML forbids: a byte that starts no character
// becomes the replacement character.
std::string xmlSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xF0 && c <= 0xF4 ? 4
                                                            : 0;
        char32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        valid = valid && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
                code != 0xFFFE && code != 0xFFFF;
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

class Appender final : public pugi::xml_writer {
public:
    explicit Appender(std::string& out) : m_out(out) {}
    void write(const void* data, std::size_t size) override
    {
        m_out.append(static_cast<const char*>(data), size);
    }

private:
    std::string& m_out;
};

// Line breaks are text of the parent: a raw print writes no others.
void breakLine(pugi::xml_node parent)
{
    parent.append_child(pugi::node_pcdata).set_value("\n");
}

// Each child on a line of its own, so that the document reads in a text editor.
pugi::xml_node appendLine(pugi::xml_node parent, const char* name)
{
    const pugi::xml_node child = parent.append_child(name);
    breakLine(parent);
    return child;
}

// An element holding only a value: the text node is made directly, not looked for first.
template <typename T> pugi::xml_node appendText(pugi::xml_node parent, const char* name, T value)
{
    pugi::xml_node child = parent.append_child(name);
    child.append_child(pugi::node_pcdata).text().set(value);
    return child;
}

// Page geometry in tenths of a staff space, so the credits know where the page's middle is.
constexpr int kPageWidth = 1200;
constexpr int kPageHeight = 1697;
constexpr int kMargin = 85;

void addCredit(pugi::xml_node root, const std::vector<const char*>& types, const std::string& words,
               int x, int y, const char* justify, int size)
{
    pugi::xml_node credit = appendLine(root, "credit");
    credit.append_attribute("page") = 1;
    for (const char* type : types)
        appendText(credit, "credit-type", type);
    pugi::xml_node text = appendText(credit, "credit-words", words.c_str());
    text.append_attribute("default-x") = x;
    text.append_attribute("default-y") = y;
    text.append_attribute("font-size") = size;
    text.append_attribute("justify") = justify;
    text.append_attribute("valign") = "top";
}

// The parts of the document that hold the user's words, made XML-safe first: pugixml escapes
// the rest, so that no character of theirs can break the document.
void addHeader(pugi::xml_node root, const SongHeader& header, const std::string& title)
{
    const std::string artist = xmlSafe(trimmed(header.artist));
    const std::string from = xmlSafe(trimmed(header.from));
    const std::string bass = xmlSafe(trimmed(header.bassPerf));
    if (!title.empty())
        appendText(appendLine(root, "work"), "work-title", title.c_str());
    pugi::xml_node identification = appendLine(root, "identification");
    const auto creator = [&](const char* type, const std::string& name) {
        if (name.empty())
            return;
        appendText(identification, "creator", name.c_str()).append_attribute("type") = type;
    };
    creator("composer", artist);
    // Whoever wrote the tab arranged the song for the bass.
    creator("arranger", from);
    appendText(identification.append_child("encoding"), "software", "Quorlin");

    pugi::xml_node defaults = appendLine(root, "defaults");
    pugi::xml_node scaling = defaults.append_child("scaling");
    appendText(scaling, "millimeters", 7);
    appendText(scaling, "tenths", 40);
    pugi::xml_node page = defaults.append_child("page-layout");
    appendText(page, "page-height", kPageHeight);
    appendText(page, "page-width", kPageWidth);
    pugi::xml_node margins = page.append_child("page-margins");
    margins.append_attribute("type") = "both";
    for (const char* side : {"left-margin", "right-margin", "top-margin", "bottom-margin"})
        appendText(margins, side, kMargin);

    // A reader that finds credits shows only them on the first page: the title, the artist and
    // the tab's author are credits too, beside the bass player the header names. Credits in
    // one corner would be drawn over each other: the author goes on the artist's second line.
    const int top = kPageHeight - kMargin;
    if (!title.empty())
        addCredit(root, {"title"}, title, kPageWidth / 2, top, "center", 22);
    std::vector<const char*> types;
    std::string names;
    if (!artist.empty()) {
        types.push_back("composer");
        names = artist;
    }
    if (!from.empty()) {
        types.push_back("arranger");
        names += (names.empty() ? "Tab by " : "\nTab by ") + from;
    }
    if (!names.empty())
        addCredit(root, types, names, kPageWidth - kMargin, top - 60, "right", 11);
    if (!bass.empty())
        addCredit(root, {"bass"}, "Bass: " + bass, kMargin, top - 60, "left", 11);

    pugi::xml_node part = appendLine(root, "part-list").append_child("score-part");
    part.append_attribute("id") = "P1";
    appendText(part, "part-name", "Bass");
    pugi::xml_node instrument = part.append_child("score-instrument");
    instrument.append_attribute("id") = "P1-I1";
    appendText(instrument, "instrument-name", "Electric Bass");
    pugi::xml_node midi = part.append_child("midi-instrument");
    midi.append_attribute("id") = "P1-I1";
    appendText(midi, "midi-channel", 1);
    // MusicXML counts programs from 1, as General MIDI's list does; the wire counts from 0.
    appendText(midi, "midi-program", score::kFingerProgram + 1);
}

// One stretch of a measure on both staves: a column or part of it, or a rest filling a gap.
struct Piece {
    Atom value;
    std::int32_t column = -1; // -1: a gap between columns, or past the last one
    bool first = true;        // of its column: where its marks go
    bool last = true;         // of its column: where slurs and slides leave from
    bool tupletStart = false;
    bool tupletStop = false;
};

struct PitchNames {
    const char* step;
    const char* alter;
    const char* octave;
};
constexpr PitchNames kNotePitch = {"step", "alter", "octave"};
constexpr PitchNames kStringTuning = {"tuning-step", "tuning-alter", "tuning-octave"};

void addPitch(pugi::xml_node parent, const score::Spelling& spelling, const PitchNames& names)
{
    const char step[] = {spelling.step, '\0'};
    appendText(parent, names.step, step);
    if (spelling.alter != 0)
        appendText(parent, names.alter, spelling.alter);
    appendText(parent, names.octave, spelling.octave);
}

// Sharps only, as the tuning's own names are.
score::Spelling sharpSpelling(int pitch)
{
    const std::string name = score::pitchName(pitch);
    return {name[0], name[1] == '#' ? 1 : 0, pitch / 12 - 1};
}

// The measures, each built as a tree of its own and printed at once: a long tab's score is
// hundreds of megabytes, far too many for one tree.
class PartWriter {
public:
    PartWriter(std::string& out, const score::Score& score, const instrument::Tuning& tuning,
               const MusicXmlOptions& options) :
        m_out(out),
        m_score(score), m_tuning(tuning), m_options(options),
        m_measure(options.beats * kWhole / options.beatType),
        m_strings(instrument::StringCount(score.strings).value()),
        m_key(options.key ? *options.key : score::findKey(score))
    {
    }

    void write()
    {
        const std::vector<Column>& columns = m_score.columns;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            if (c.length <= 0)
                continue;
            // Never back in time, whatever a score made elsewhere holds.
            if (c.start > m_time)
                addSpan(-1, c.start - m_time, false);
            addSpan(static_cast<std::int32_t>(i), c.length, c.triplet);
        }
        // The last measure is filled with rest, and an empty score still has one.
        if (m_time > m_measureStart || m_number == 1)
            addSpan(-1, m_measureStart + m_measure - m_time, false);
    }

private:
    void addSpan(std::int32_t column, std::int64_t length, bool triplet)
    {
        std::int64_t done = 0;
        while (done < length) {
            const std::int64_t piece = std::min(m_measureStart + m_measure - m_time, length - done);
            m_values.clear();
            splitIntoValues(piece, triplet, piece != length, m_values);
            for (std::size_t k = 0; k < m_values.size(); ++k) {
                Piece p;
                p.value = m_values[k];
                p.column = column;
                p.first = done == 0 && k == 0;
                p.last = done + piece == length && k + 1 == m_values.size();
                m_pieces.push_back(p);
            }
            done += piece;
            m_time += piece;
            if (m_time == m_measureStart + m_measure) {
                flushMeasure();
                m_measureStart = m_time;
            }
        }
    }

    // Brackets over the runs of triplet values, three of the first one's kind each.
    void markTuplets()
    {
        std::size_t open = m_pieces.size();
        std::int64_t filled = 0, span = 0;
        const auto close = [&](std::size_t last) {
            // A lone triplet value keeps its ratio, without a bracket of one.
            if (open < last) {
                m_pieces[open].tupletStart = true;
                m_pieces[last].tupletStop = true;
            }
            open = m_pieces.size();
        };
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            const Atom& v = m_pieces[i].value;
            if (!v.triplet) {
                if (open < m_pieces.size())
                    close(i - 1);
                continue;
            }
            if (open == m_pieces.size()) {
                open = i;
                filled = 0;
                span = v.ticks * 3;
            }
            filled += v.ticks;
            if (filled >= span)
                close(i);
        }
        if (open < m_pieces.size())
            close(m_pieces.size() - 1);
    }

    bool sounds(const Piece& p) const
    {
        if (p.column < 0)
            return false;
        const Column& c = m_score.columns[static_cast<std::size_t>(p.column)];
        return !c.rest && !c.notes.empty();
    }

    void flushMeasure()
    {
        markTuplets();
        pugi::xml_node measure = appendLine(m_doc, "measure");
        measure.append_attribute("number") = m_number;
        breakLine(measure);
        if (m_number == 1)
            addAttributes(measure);
        const bool silent = std::none_of(m_pieces.begin(), m_pieces.end(),
                                         [this](const Piece& p) { return sounds(p); });
        for (int staff = 1; staff <= kStaves; ++staff) {
            if (staff > 1)
                appendText(appendLine(measure, "backup"), "duration", m_measure);
            if (silent) {
                addMeasureRest(measure, staff);
                continue;
            }
            for (const Piece& p : m_pieces) {
                if (!sounds(p)) {
                    addRest(measure, p, staff);
                    continue;
                }
                const Column& c = m_score.columns[static_cast<std::size_t>(p.column)];
                for (std::size_t k = 0; k < c.notes.size(); ++k)
                    addNote(measure, p, c, k, staff);
            }
        }
        Appender writer(m_out);
        m_doc.print(writer, "", pugi::format_raw);
        m_doc.reset();
        m_pieces.clear();
        ++m_number;
    }

    void addAttributes(pugi::xml_node measure)
    {
        pugi::xml_node attributes = appendLine(measure, "attributes");
        appendText(attributes, "divisions", score::kTicksPerBeat);
        pugi::xml_node key = attributes.append_child("key");
        appendText(key, "fifths", m_key.fifths);
        appendText(key, "mode", m_key.minor ? "minor" : "major");
        pugi::xml_node time = attributes.append_child("time");
        appendText(time, "beats", m_options.beats);
        appendText(time, "beat-type", m_options.beatType);
        appendText(attributes, "staves", kStaves);
        // Bass parts are written an octave above their sound.
        pugi::xml_node clef = attributes.append_child("clef");
        clef.append_attribute("number") = 1;
        appendText(clef, "sign", "F");
        appendText(clef, "line", 4);
        appendText(clef, "clef-octave-change", -1);
        pugi::xml_node tab = attributes.append_child("clef");
        tab.append_attribute("number") = 2;
        appendText(tab, "sign", "TAB");
        pugi::xml_node details = attributes.append_child("staff-details");
        details.append_attribute("number") = 2;
        appendText(details, "staff-lines", m_strings);
        // Line 1 is the lowest: the last string of the tab.
        for (int line = 1; line <= m_strings; ++line) {
            pugi::xml_node tuning = details.append_child("staff-tuning");
            tuning.append_attribute("line") = line;
            addPitch(tuning, sharpSpelling(openPitch(m_strings + 1 - line)), kStringTuning);
        }

        pugi::xml_node direction = appendLine(measure, "direction");
        direction.append_attribute("placement") = "above";
        pugi::xml_node metronome =
            direction.append_child("direction-type").append_child("metronome");
        appendText(metronome, "beat-unit", "quarter");
        appendText(metronome, "per-minute", m_score.tempo);
        appendText(direction, "staff", 1);
        direction.append_child("sound").append_attribute("tempo") = m_score.tempo;
    }

    // What the string's first note says it was tuned to, so the tab staff shows the tab's
    // frets; else its name in the tuning; else the usual tuning of its place.
    int openPitch(int string) const
    {
        for (const Column& c : m_score.columns) {
            for (const Note& n : c.notes) {
                if (n.string == string)
                    return clampPitch(n.pitch - n.fret);
            }
        }
        const instrument::StringCount count(m_strings);
        if (const int pitch = score::openPitch(string, count, m_tuning.at(string)); pitch >= 0)
            return pitch;
        instrument::Tuning usual;
        usual.followStringCount(instrument::kMinStrings, count.value());
        return std::max(score::openPitch(string, count, usual.at(string)), 12);
    }

    static int clampPitch(int pitch) { return std::clamp(pitch, 12, 127); }

    // Each staff is a voice of its own.
    static int voice(int staff) { return staff == 1 ? 1 : 5; }

    // The written value goes between the voice and the staff.
    static void addVoiceValueStaff(pugi::xml_node note, const Atom& v, int staff)
    {
        appendText(note, "voice", voice(staff));
        if (v.type >= 0)
            appendText(note, "type", kTypes[static_cast<std::size_t>(v.type)]);
        for (int d = 0; d < v.dots; ++d)
            note.append_child("dot");
        if (v.triplet) {
            pugi::xml_node ratio = note.append_child("time-modification");
            appendText(ratio, "actual-notes", 3);
            appendText(ratio, "normal-notes", 2);
        }
        appendText(note, "staff", staff);
    }

    static void addTuplet(pugi::xml_node notations, const Piece& p)
    {
        if (p.tupletStart) {
            pugi::xml_node tuplet = notations.append_child("tuplet");
            tuplet.append_attribute("type") = "start";
            tuplet.append_attribute("bracket") = "yes";
        }
        if (p.tupletStop)
            notations.append_child("tuplet").append_attribute("type") = "stop";
    }

    void addMeasureRest(pugi::xml_node measure, int staff)
    {
        pugi::xml_node note = appendLine(measure, "note");
        note.append_child("rest").append_attribute("measure") = "yes";
        appendText(note, "duration", m_measure);
        appendText(note, "voice", voice(staff));
        appendText(note, "staff", staff);
    }

    static void addRest(pugi::xml_node measure, const Piece& p, int staff)
    {
        pugi::xml_node note = appendLine(measure, "note");
        note.append_child("rest");
        appendText(note, "duration", p.value.ticks);
        addVoiceValueStaff(note, p.value, staff);
        if (p.tupletStart || p.tupletStop)
            addTuplet(note.append_child("notations"), p);
    }

    // The note on `string` in the column `step` away from `column`, when no gap parts them.
    const Note* neighbourOn(const Column& column, int string, int step) const
    {
        const auto index = (&column - m_score.columns.data()) + step;
        if (index < 0 || static_cast<std::size_t>(index) >= m_score.columns.size())
            return nullptr;
        const Column& other = m_score.columns[static_cast<std::size_t>(index)];
        const Column& earlier = step < 0 ? other : column;
        if (earlier.start + earlier.length != (step < 0 ? column : other).start)
            return nullptr;
        for (const Note& n : other.notes) {
            if (n.string == string)
                return &n;
        }
        return nullptr;
    }

    static int take(std::array<bool, kNumbers>& used)
    {
        for (int n = 0; n < kNumbers; ++n) {
            if (!used[static_cast<std::size_t>(n)]) {
                used[static_cast<std::size_t>(n)] = true;
                return n + 1;
            }
        }
        return 0; // all six in use: this one goes unmarked
    }

    static pugi::xml_node addNumbered(pugi::xml_node parent, const char* element, int number,
                                      const char* type)
    {
        pugi::xml_node node = parent.append_child(element);
        node.append_attribute("number") = number;
        node.append_attribute("type") = type;
        return node;
    }

    static void addTied(pugi::xml_node parent, const char* element, const Piece& p)
    {
        if (!p.first)
            parent.append_child(element).append_attribute("type") = "stop";
        if (!p.last)
            parent.append_child(element).append_attribute("type") = "start";
    }

    void addNote(pugi::xml_node measure, const Piece& p, const Column& c, std::size_t k, int staff)
    {
        const Note& n = c.notes[k];
        pugi::xml_node note = appendLine(measure, "note");
        if (k > 0)
            note.append_child("chord");
        addPitch(note.append_child("pitch"), score::spell(clampPitch(n.pitch), m_key), kNotePitch);
        appendText(note, "duration", p.value.ticks);
        addTied(note, "tie", p);
        addVoiceValueStaff(note, p.value, staff);

        // Made on the first mark: a note without any has no notations, nor technical within.
        pugi::xml_node notations, technical;
        const auto marks = [&] {
            if (!notations)
                notations = note.append_child("notations");
            return notations;
        };
        const auto techniques = [&] {
            if (!technical)
                technical = marks().append_child("technical");
            return technical;
        };
        if (!p.first || !p.last)
            addTied(marks(), "tied", p);
        if (k == 0 && (p.tupletStart || p.tupletStop))
            addTuplet(marks(), p);
        const auto slide = [&](int number, const char* type) {
            addNumbered(marks(), "slide", number, type).append_attribute("line-type") = "solid";
        };

        const auto string = static_cast<std::size_t>(std::clamp(n.string, 0, 6));
        Open& open = m_open[static_cast<std::size_t>(staff - 1)][string];
        const bool joined = p.first && neighbourOn(c, n.string, -1) != nullptr;
        // Closing first: a note both ending and starting a slur may take its number again.
        int legatoEnd = 0;
        if (joined && isLegato(n.technique) && open.slur != 0) {
            legatoEnd = open.slur;
            addNumbered(marks(), "slur", legatoEnd, "stop");
            m_slurs[static_cast<std::size_t>(legatoEnd - 1)] = false;
            open.slur = 0;
        }
        if (joined && isSlide(n.technique) && open.slide != 0) {
            slide(open.slide, "stop");
            m_slides[static_cast<std::size_t>(open.slide - 1)] = false;
            open.slide = 0;
        }
        const Note* next = p.last ? neighbourOn(c, n.string, 1) : nullptr;
        int legatoStart = 0;
        if (next != nullptr && isLegato(next->technique) && (open.slur = take(m_slurs)) != 0) {
            legatoStart = open.slur;
            addNumbered(marks(), "slur", legatoStart, "start");
        }
        if (next != nullptr && isSlide(next->technique) && (open.slide = take(m_slides)) != 0)
            slide(open.slide, "start");

        if (staff == 2) {
            appendText(techniques(), "string", n.string);
            appendText(technical, "fret", n.fret);
        }
        const auto legato = [](Technique t) {
            return t == Technique::HammerOn ? "hammer-on" : "pull-off";
        };
        if (legatoEnd != 0)
            addNumbered(techniques(), legato(n.technique), legatoEnd, "stop");
        if (legatoStart != 0)
            addNumbered(techniques(), legato(next->technique), legatoStart, "start")
                .text()
                .set(next->technique == Technique::HammerOn ? "H" : "P");
        // The thumb slaps; a pop snaps the string against the frets.
        if (p.first && n.technique == Technique::Slap)
            appendText(techniques(), "pluck", "T");
        if (p.first && n.technique == Technique::Pop)
            techniques().append_child("snap-pizzicato");

        // A slide from no note before it comes from somewhere below or above.
        if (p.first && !joined && isSlide(n.technique))
            marks()
                .append_child("articulations")
                .append_child(n.technique == Technique::SlideUp ? "scoop" : "plop");
    }

    struct Open {
        int slur = 0;
        int slide = 0;
    };

    std::string& m_out;
    const score::Score& m_score;
    const instrument::Tuning& m_tuning;
    const MusicXmlOptions& m_options;
    const std::int64_t m_measure;
    const int m_strings;
    const score::Key m_key;
    std::int64_t m_time = 0;
    std::int64_t m_measureStart = 0;
    std::int64_t m_number = 1;
    std::vector<Piece> m_pieces;
    std::vector<Atom> m_values;
    // Holds one measure at a time.
    pugi::xml_document m_doc;
    // By staff, then string: the slur and slide each string has under way.
    std::array<std::array<Open, instrument::kMaxStrings + 1>, kStaves> m_open{};
    std::array<bool, kNumbers> m_slurs{};
    std::array<bool, kNumbers> m_slides{};
};

} // namespace

std::string commentTitle(const SongHeader& header)
{
    for (const std::string& line : header.comments) {
        if (const std::string_view title = trimmed(line); !title.empty())
            return std::string(title);
    }
    return {};
}

std::string musicXmlText(const score::Score& score, const instrument::Tuning& tuning,
                         const SongHeader& header, const MusicXmlOptions& options)
{
    if (!model::isValid({options.beats, options.beatType}))
        throw std::out_of_range("no such time signature: " + std::to_string(options.beats) + "/" +
                                std::to_string(options.beatType));
    if (options.key && std::abs(options.key->fifths) > score::kMaxFifths)
        throw std::out_of_range("no key has " + std::to_string(options.key->fifths) + " fifths");
    std::string out;
    // More than a column and its notes take on both staves, so that a long tab is not copied
    // as it grows: pages reserved and never written cost nothing.
    std::size_t notes = 0;
    for (const score::Column& c : score.columns)
        notes += c.notes.size();
    out.reserve(4096 + score.columns.size() * 300 + notes * 600);

    // The document with its part empty, then the measures printed into the part.
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    declaration.append_attribute("standalone") = "no";
    breakLine(doc);
    doc.append_child(pugi::node_doctype)
        .set_value("score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
                   "\"http://www.musicxml.org/dtds/partwise.dtd\"");
    breakLine(doc);
    pugi::xml_node root = appendLine(doc, "score-partwise");
    root.append_attribute("version") = "3.1";
    breakLine(root);
    addHeader(root, header,
              options.titleFromComments ? xmlSafe(commentTitle(header)) : std::string());
    pugi::xml_node part = appendLine(root, "part");
    part.append_attribute("id") = "P1";
    breakLine(part);
    Appender writer(out);
    doc.print(writer, "", pugi::format_raw);

    // pugixml escapes every '<' of the user's words: the last "</part>" is the part's own.
    const std::size_t close = out.rfind("</part>");
    const std::string end = out.substr(close);
    out.resize(close);
    PartWriter(out, score, tuning, options).write();
    out += end;
    return out;
}

void writeMusicXml(std::ostream& out, const score::Score& score, const instrument::Tuning& tuning,
                   const SongHeader& header, const MusicXmlOptions& options)
{
    const std::string text = musicXmlText(score, tuning, header, options);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace quorlin::files
