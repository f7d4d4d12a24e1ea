#include "files/WebTabImport.h"

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "instrument/NeckLabels.h"
#include "instrument/NoteCycle.h"
#include "score/Score.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <utility>

namespace quorlin::files {

namespace {

using instrument::kMaxStrings;
using instrument::kMinStrings;

constexpr std::size_t kNone = std::string_view::npos;
constexpr int kCycle = 12;
// The longest piece of an unread mark quoted back to the user.
constexpr std::size_t kQuoted = 12;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// What stands between notes and takes time: dashes, and "=" for a note let ring.
bool isFill(char c)
{
    return c == '-' || c == '=' || isBlank(c);
}

// Bar lines and the dots or stars of repeat signs take no time.
bool isBar(char c)
{
    return c == '|' || c == ':' || c == '*';
}

bool isDead(char c)
{
    return c == 'x' || c == 'X';
}

// Openers of "(5)" ghost notes and "<12>" or "[12]" harmonics.
bool isOpener(char c)
{
    return c == '(' || c == '<' || c == '[';
}

constexpr std::string_view kMarks = "hHpPbrsStTxX/\\~()<>[]";

bool isTabCharacter(char c)
{
    return isFill(c) || isBar(c) || isDigit(c) || kMarks.find(c) != kNone;
}

std::string_view trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == kNone)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") + 1 - first);
}

std::string quoted(std::string_view s)
{
    return '"' + std::string(s.substr(0, kQuoted)) + (s.size() > kQuoted ? "...\"" : "\"");
}

std::string cycleName(int index)
{
    return std::string(instrument::kNoteCycle.substr(static_cast<std::size_t>(2 * index), 2));
}

// "G" or "C#", as a user reads it.
std::string shownName(int index)
{
    std::string name = cycleName(index);
    if (name.back() == ' ')
        name.pop_back();
    return name;
}

int cycleIndex(std::string_view name)
{
    const std::size_t at = instrument::kNoteCycle.find(name);
    return name.size() == 2 && at % 2 == 0 ? static_cast<int>(at / 2) : -1;
}

struct NameRead {
    std::size_t length = 0; // 0: no name here
    int index = 0;          // place on the note cycle, which starts at A
};

// A letter A..G in either case, then '#' or a 'b' for flat. After a small letter the 'b' is
// a flat only where no letter follows, so "bb|" is B flat but "beadg" five names.
NameRead readName(std::string_view s, std::size_t at)
{
    static constexpr std::array<int, 7> kNaturals = {0, 2, 3, 5, 7, 8, 10};
    if (at >= s.size())
        return {};
    const char letter = s[at];
    const bool upper = letter >= 'A' && letter <= 'G';
    if (!upper && !(letter >= 'a' && letter <= 'g'))
        return {};
    NameRead name{1, kNaturals[static_cast<std::size_t>(letter - (upper ? 'A' : 'a'))]};
    const char next = at + 1 < s.size() ? s[at + 1] : '\0';
    const char after = at + 2 < s.size() ? s[at + 2] : '\0';
    if (next == '#') {
        name = {2, name.index + 1};
    } else if (next == 'b' && (upper || !isLetter(after))) {
        name = {2, name.index + kCycle - 1};
    }
    name.index %= kCycle;
    return name;
}

struct Line {
    std::string_view text;
    int number = 0; // from 1
};

// "\r\n", "\n" and a lone "\r" each end a line, as editors count them.
std::vector<Line> splitLines(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<Line> lines;
    std::size_t from = 0;
    for (int number = 1;; ++number) {
        const std::size_t end = std::min(text.find_first_of("\r\n", from), text.size());
        lines.push_back({text.substr(from, end - from), number});
        if (end == text.size())
            return lines;
        from = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
}

// A line that reads as one string of a tab.
struct StringLine {
    int number = 0;
    std::size_t bodyStart = 0; // bytes before the body on its line
    std::string_view body;     // from the first bar or dash after the name
    int name = -1;             // place on the cycle; -1 when the line has no name
    std::size_t nameAt = 0;
    // With no name and no fret it counts only among lines that are surely strings.
    bool sure = false;
    std::string_view trailing; // "x4" and the like after the tab
};

bool isRepeatCount(std::string_view s)
{
    s = trimmed(s);
    if (s.size() < 2)
        return false;
    const bool before = isDead(s.front());
    const std::string_view digits = before ? s.substr(1) : s.substr(0, s.size() - 1);
    return (before || isDead(s.back())) &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return isDigit(c); });
}

// Words after the last dash ("x4", "(repeat)") are no part of the tab.
void cutTrailing(StringLine& line)
{
    std::string_view& body = line.body;
    body = body.substr(0, body.find_last_not_of(" \t") + 1);
    const std::size_t lastDash = body.find_last_of('-');
    if (lastDash == kNone)
        return;
    std::size_t cut = body.find_first_of(" \t", lastDash);
    const std::size_t bar = body.find_last_of("|:");
    if (cut == kNone && bar != kNone && bar > lastDash && isRepeatCount(body.substr(bar + 1)))
        cut = bar + 1;
    if (cut != kNone) {
        line.trailing = trimmed(body.substr(cut));
        body = body.substr(0, cut);
    }
}

std::optional<StringLine> readStringLine(const Line& raw)
{
    const std::string_view text = raw.text;
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == kNone)
        return std::nullopt;
    StringLine line;
    line.number = raw.number;
    std::size_t start = first;
    if (const NameRead name = readName(text, first); name.length > 0) {
        start = text.find_first_not_of(' ', first + name.length);
        line.name = name.index;
        line.nameAt = first;
    }
    if (start == kNone || !(text[start] == '|' || text[start] == ':' || text[start] == '-'))
        return std::nullopt;
    line.bodyStart = start;
    line.body = text.substr(start);
    cutTrailing(line);

    std::size_t shown = 0, dashes = 0, tabLike = 0;
    bool frets = false, bars = false;
    for (const char c : line.body) {
        if (isBlank(c))
            continue;
        ++shown;
        dashes += c == '-' ? 1 : 0;
        tabLike += isTabCharacter(c) ? 1 : 0;
        frets = frets || isDigit(c) || isDead(c);
        bars = bars || isBar(c);
    }
    // Mostly dashes, and hardly anything a tab does not write. Dashes alone are a rule drawn
    // under a heading.
    if (shown < 4 || dashes * 4 < shown || tabLike * 10 < shown * 9 ||
        (line.name < 0 && !frets && !bars))
        return std::nullopt;
    line.sure = line.name >= 0 || frets;
    return line;
}

enum class Legato : std::uint8_t { None, HammerOn, PullOff, Slide };

std::string legatoName(Legato legato)
{
    static constexpr std::array<std::string_view, 4> kNames = {"", "hammer-on", "pull-off",
                                                               "slide"};
    return std::string(kNames[static_cast<std::size_t>(legato)]);
}

struct WebNote {
    int string = 1;
    int start = 0; // system columns of its digits, [start, end)
    int end = 0;
    int line = 0;
    int column = 0;
    int fret = 0;
    bool dead = false;
    bool unreadable = false;
    Legato legato = Legato::None;
    bool slap = false;
    bool pop = false;

    bool sounds() const { return !dead && !unreadable; }
};

using Problems = std::vector<WebTabProblem>;

// One string line's notes and bars, in columns counted from the start of its body.
class LineReader {
public:
    LineReader(const StringLine& line, int string, std::vector<WebNote>& notes,
               std::vector<int>& bars, Problems& problems) :
        m_line(line),
        m_body(line.body), m_string(string), m_notes(notes), m_bars(bars), m_problems(problems),
        m_first(notes.size())
    {
    }

    void read()
    {
        std::size_t at = 0;
        while (at < m_body.size())
            at = step(at);
        if (!m_line.trailing.empty())
            report(static_cast<std::size_t>(m_line.trailing.data() - m_body.data()),
                   "text after the tab not read: " + quoted(m_line.trailing));
    }

private:
    std::size_t step(std::size_t at)
    {
        const char c = m_body[at];
        if (isDigit(c))
            return fret(at);
        if (isFill(c) || c == '~') // vibrato changes neither pitch nor time
            return at + 1;
        if (isBar(c)) {
            m_bars.push_back(static_cast<int>(at));
            return at + 1;
        }
        if (isDead(c)) {
            add(at, at + 1).dead = true;
            report(at, "dead note: not played");
            return closeWrapper(at + 1);
        }
        if (isOpener(c) && startsNote(at + 1)) {
            m_opener = c;
            return at + 1;
        }
        switch (c) {
        case 'h':
        case 'H':
            return legato(at, Legato::HammerOn);
        case 'p':
            return legato(at, Legato::PullOff);
        case 'P':
            // Between two notes it joins them; beside one it is a pop.
            if (m_lastEnd == at && startsNote(at + 1))
                return legato(at, Legato::PullOff);
            return articulation(at, false);
        case '/':
        case '\\':
        case 's':
            return legato(at, Legato::Slide);
        case 'S':
            return articulation(at, true);
        case 't':
        case 'T':
            report(at, "tap played as a plain note");
            return at + 1;
        case 'b':
            if (m_lastEnd == at)
                return bend(at);
            break;
        default:
            break;
        }
        std::size_t end = at + 1;
        while (end < m_body.size() && !isTabCharacter(m_body[end]))
            ++end;
        report(at, "mark " + quoted(m_body.substr(at, end - at)) + " not read");
        return end;
    }

    bool startsNote(std::size_t at) const
    {
        if (at < m_body.size() && isOpener(m_body[at]))
            ++at;
        return at < m_body.size() && (isDigit(m_body[at]) || isDead(m_body[at]));
    }

    WebNote& add(std::size_t start, std::size_t end)
    {
        WebNote note;
        note.string = m_string;
        note.start = static_cast<int>(start);
        note.end = static_cast<int>(end);
        note.line = m_line.number;
        note.column = column(start);
        note.legato = std::exchange(m_legato, Legato::None);
        note.slap = std::exchange(m_slap, false);
        note.pop = std::exchange(m_pop, false);
        m_notes.push_back(note);
        return m_notes.back();
    }

    std::size_t fret(std::size_t at)
    {
        std::size_t end = at;
        while (end < m_body.size() && isDigit(m_body[end]))
            ++end;
        const std::string_view digits = m_body.substr(at, end - at);
        WebNote& note = add(at, end);
        note.fret = digits.size() <= 2 ? std::atoi(std::string(digits).c_str()) : -1;
        if (note.fret < 0 || note.fret > instrument::kFrets) {
            note.unreadable = true;
            report(at, (note.fret < 0 ? quoted(digits) + " is no fret"
                                      : "fret " + std::string(digits) + " is past the neck") +
                           ": not played");
        }
        if (m_opener != '\0')
            report(at, m_opener == '(' ? "ghost note played as a plain note"
                                       : "harmonic played as a fretted note");
        return closeWrapper(end);
    }

    // Past the bracket that closes "(5)" or "<12>", if the note has one.
    std::size_t closeWrapper(std::size_t end)
    {
        const char closer = m_opener == '(' ? ')' : m_opener == '<' ? '>' : ']';
        if (m_opener != '\0' && end < m_body.size() && m_body[end] == closer)
            ++end;
        m_opener = '\0';
        m_lastEnd = end;
        return end;
    }

    std::size_t legato(std::size_t at, Legato kind)
    {
        if (startsNote(at + 1)) {
            m_legato = kind;
        } else {
            report(at, legatoName(kind) + " with no note right after it: left out");
        }
        return at + 1;
    }

    std::size_t articulation(std::size_t at, bool slap)
    {
        if (startsNote(at + 1)) {
            (slap ? m_slap : m_pop) = true;
        } else if (m_lastEnd == at && m_notes.size() > m_first) {
            (slap ? m_notes.back().slap : m_notes.back().pop) = true;
        } else {
            report(at, std::string(slap ? "slap" : "pop") + " beside no note: left out");
        }
        return at + 1;
    }

    // "7b9", "7b(9)", "7b9r7": the frets after the bend are where it goes, not notes.
    std::size_t bend(std::size_t at)
    {
        report(at, "bend played as a plain note");
        std::size_t end = at + 1;
        const auto digits = [&] {
            while (end < m_body.size() && isDigit(m_body[end]))
                ++end;
        };
        const auto take = [&](char c) {
            const bool here = end < m_body.size() && m_body[end] == c;
            end += here ? 1 : 0;
            return here;
        };
        digits();
        if (take('(')) {
            digits();
            take(')');
        }
        if (take('r'))
            digits();
        return end;
    }

    int column(std::size_t at) const { return static_cast<int>(m_line.bodyStart + at) + 1; }

    void report(std::size_t at, std::string what)
    {
        m_problems.push_back({m_line.number, column(at), std::move(what)});
    }

    const StringLine& m_line;
    std::string_view m_body;
    int m_string;
    std::vector<WebNote>& m_notes;
    std::vector<int>& m_bars;
    Problems& m_problems;
    std::size_t m_first; // this line's first note in m_notes
    std::size_t m_lastEnd = kNone;
    char m_opener = '\0';
    Legato m_legato = Legato::None;
    bool m_slap = false;
    bool m_pop = false;
};

struct System {
    std::vector<StringLine> lines;
    // The line just below, when it holds only slap and pop letters under the notes.
    std::optional<Line> techniques;
};

bool isTechniqueLine(std::string_view text)
{
    bool any = false;
    for (const char c : text) {
        if (c == 'S' || c == 'T' || c == 'P')
            any = true;
        else if (!isBlank(c))
            return false;
    }
    return any;
}

std::optional<std::string_view> tuningHeader(std::string_view text)
{
    text = trimmed(text);
    static constexpr std::string_view kWord = "tuning";
    if (text.size() <= kWord.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kWord.size(); ++i) {
        if ((text[i] | 0x20) != kWord[i])
            return std::nullopt;
    }
    const std::string_view rest = trimmed(text.substr(kWord.size()));
    if (rest.empty() || (rest.front() != ':' && rest.front() != '='))
        return std::nullopt;
    return trimmed(rest.substr(1));
}

using Names = std::array<int, kMaxStrings + 1>; // cycle places of strings 1..6

int distance(const Names& names, const Names& usual, instrument::StringCount strings)
{
    int sum = 0;
    for (int k = 1; k <= strings.value(); ++k) {
        const auto at = static_cast<std::size_t>(k);
        sum += std::abs(score::openPitch(k, strings, cycleName(names[at])) -
                        score::openPitch(k, strings, cycleName(usual[at])));
    }
    return sum;
}

// "Drop D", "Eb standard", "D A D G" or "BEADG": the names of strings 1..count, or nothing
// when the header says something else. Lists go lowest string first unless the other way
// round lies nearer the usual tuning.
std::optional<Names> headerTuning(std::string_view value, const Names& usual,
                                  instrument::StringCount strings)
{
    const int count = strings.value();
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c); });
    Names names = usual;
    if (const std::size_t drop = lower.find("drop"); drop != kNone) {
        const std::size_t at = lower.find_first_not_of(" -", drop + 4);
        const NameRead name = readName(value, at == kNone ? value.size() : at);
        if (name.length == 0)
            return std::nullopt;
        names[static_cast<std::size_t>(count)] = name.index;
        return names;
    }
    if (const std::size_t standard = lower.find("standard"); standard != kNone) {
        const std::string_view before = trimmed(value.substr(0, standard));
        if (before.empty())
            return names;
        const std::size_t word = before.find_last_of(" \t") + 1;
        const NameRead name = readName(before, word);
        if (name.length != before.size() - word)
            return std::nullopt;
        // Named after the low E it replaces.
        const int shift = name.index - cycleIndex("E ") + kCycle;
        for (int& n : names)
            n = (n + shift) % kCycle;
        return names;
    }
    std::vector<int> listed;
    for (std::size_t at = 0; at < value.size();) {
        if (std::string_view(" \t,-/().").find(value[at]) != kNone) {
            ++at;
            continue;
        }
        const NameRead name = readName(value, at);
        if (name.length == 0)
            return std::nullopt;
        listed.push_back(name.index);
        at += name.length;
    }
    if (static_cast<int>(listed.size()) != count)
        return std::nullopt;
    Names reversed = names;
    for (int k = 1; k <= count; ++k) {
        names[static_cast<std::size_t>(k)] = listed[static_cast<std::size_t>(count - k)];
        reversed[static_cast<std::size_t>(k)] = listed[static_cast<std::size_t>(k - 1)];
    }
    return distance(reversed, usual, strings) < distance(names, usual, strings) ? reversed : names;
}

class NoNeck final : public instrument::NeckGrid {
public:
    void setRowCount(int) override {}
    void setCell(int, int, const std::string&) override {}
};

// A chord: the notes whose digits overlap, at most one a string.
struct Onset {
    std::size_t first = 0;
    std::size_t count = 0;
    int start = 0;
    int end = 0;
    int gap = 0; // columns of time to the next onset, or to the end of the lines
};

struct Piece {
    char symbol = 's';
    bool dotted = false;
};

// The palette in sixteenths, longest first; a dotted value is half as long again.
constexpr std::array<std::pair<int, Piece>, 9> kPieces = {{{24, {'w', true}},
                                                           {16, {'w', false}},
                                                           {12, {'h', true}},
                                                           {8, {'h', false}},
                                                           {6, {'q', true}},
                                                           {4, {'q', false}},
                                                           {3, {'e', true}},
                                                           {2, {'e', false}},
                                                           {1, {'s', false}}}};

int sixteenthsOf(char symbol)
{
    const std::size_t at = std::string_view("seqhw").find(symbol);
    return at == kNone ? 1 : 1 << at;
}

class Importer {
public:
    explicit Importer(const WebTabOptions& options) : m_options(options) {}

    ImportedTab run(std::string_view text)
    {
        const std::vector<Line> lines = splitLines(text);
        std::vector<System> systems = findSystems(lines);
        m_tab.strings = chooseStrings(systems);
        for (const System& system : systems) {
            if (static_cast<int>(system.lines.size()) == m_tab.strings.value())
                readSystem(system);
        }
        m_tab.tuning = tuning();
        write();
        std::stable_sort(m_tab.problems.begin(), m_tab.problems.end(),
                         [](const WebTabProblem& a, const WebTabProblem& b) {
                             return a.line != b.line ? a.line < b.line : a.column < b.column;
                         });
        return std::move(m_tab);
    }

private:
    std::vector<System> findSystems(const std::vector<Line>& lines)
    {
        std::vector<System> systems;
        System run;
        const auto close = [&](const Line* below) {
            const bool sure = std::any_of(run.lines.begin(), run.lines.end(),
                                          [](const StringLine& l) { return l.sure; });
            if (sure) {
                if (below != nullptr && isTechniqueLine(below->text))
                    run.techniques = *below;
                systems.push_back(std::move(run));
            }
            run = System();
        };
        for (const Line& line : lines) {
            if (std::optional<StringLine> string = readStringLine(line)) {
                run.lines.push_back(*string);
                continue;
            }
            if (!run.lines.empty())
                close(&line);
            if (!m_header)
                if (const std::optional<std::string_view> value = tuningHeader(line.text))
                    m_header = Line{*value, line.number};
        }
        if (!run.lines.empty())
            close(nullptr);
        return systems;
    }

    // The count most systems have; the others are reported and left out.
    instrument::StringCount chooseStrings(const std::vector<System>& systems)
    {
        std::array<int, kMaxStrings + 1> votes{};
        int chosen = 0;
        for (const System& system : systems) {
            const std::size_t size = system.lines.size();
            if (size < kMinStrings || size > kMaxStrings)
                continue;
            if (++votes[size] > votes[static_cast<std::size_t>(chosen)])
                chosen = static_cast<int>(size);
        }
        for (const System& system : systems) {
            const int size = static_cast<int>(system.lines.size());
            if (size == chosen)
                continue;
            const StringLine& top = system.lines.front();
            std::string what =
                std::to_string(size) + (size == 1 ? " string line" : " string lines");
            what += chosen == 0 ? ", but a bass has 4, 5 or 6 strings"
                                : " where the tab has " + std::to_string(chosen);
            m_tab.problems.push_back(
                {top.number, static_cast<int>(top.bodyStart) + 1, what + ": left out"});
        }
        return instrument::StringCount(chosen == 0 ? kMinStrings : chosen);
    }

    // The first name each string is given stays; a later system naming it otherwise is
    // read with the first, as a tab has one tuning.
    void takeNames(const System& system)
    {
        for (std::size_t k = 0; k < system.lines.size(); ++k) {
            const StringLine& line = system.lines[k];
            int& name = m_names[k + 1];
            if (line.name < 0 || line.name == name)
                continue;
            if (name < 0) {
                name = line.name;
                continue;
            }
            m_tab.problems.push_back({line.number, static_cast<int>(line.nameAt) + 1,
                                      "string named " + shownName(line.name) + " after " +
                                          shownName(name) + ": read as " + shownName(name)});
        }
    }

    // How far each line's columns stand from the body's start. Names of one and two letters
    // ("G|", "Eb|") move the bodies apart; the lines are aligned by their bars, as the
    // writer meant them, or else by their bodies.
    static std::vector<int> shifts(const System& system, const std::vector<std::vector<int>>& bars,
                                   const std::vector<int>& ends)
    {
        const std::size_t n = system.lines.size();
        std::size_t least = kNone;
        for (const StringLine& line : system.lines)
            least = std::min(least, line.bodyStart);
        std::vector<int> byBody(n, 0), byLine(n, 0);
        for (std::size_t k = 0; k < n; ++k)
            byLine[k] = static_cast<int>(system.lines[k].bodyStart - least);
        if (byLine == byBody)
            return byBody;
        const auto agreement = [&](const std::vector<int>& shift) {
            const int width = *std::max_element(ends.begin(), ends.end()) +
                              *std::max_element(shift.begin(), shift.end()) + 1;
            std::vector<char> topBars(static_cast<std::size_t>(width), 0);
            for (const int b : bars[0])
                topBars[static_cast<std::size_t>(b + shift[0])] = 1;
            int agree = 0;
            for (std::size_t k = 1; k < n; ++k) {
                for (const int b : bars[k])
                    agree += topBars[static_cast<std::size_t>(b + shift[k])];
                agree += ends[k] + shift[k] == ends[0] + shift[0] ? 1 : 0;
            }
            return agree;
        };
        return agreement(byLine) > agreement(byBody) ? byLine : byBody;
    }

    void readSystem(const System& system)
    {
        takeNames(system);
        const std::size_t n = system.lines.size();
        std::vector<WebNote> notes;
        std::vector<std::vector<int>> bars(n);
        std::vector<int> ends(n);
        for (std::size_t k = 0; k < n; ++k) {
            LineReader(system.lines[k], static_cast<int>(k) + 1, notes, bars[k], m_tab.problems)
                .read();
            ends[k] = static_cast<int>(system.lines[k].body.size());
        }
        const std::vector<int> shift = shifts(system, bars, ends);
        for (WebNote& note : notes) {
            note.start += shift[static_cast<std::size_t>(note.string - 1)];
            note.end += shift[static_cast<std::size_t>(note.string - 1)];
        }
        for (std::size_t k = 0; k < n; ++k)
            ends[k] += shift[k];

        // Bar columns take no time unless a note stands there on another line.
        std::vector<char> bar(static_cast<std::size_t>(*std::max_element(ends.begin(), ends.end())),
                              0);
        for (std::size_t k = 0; k < n; ++k) {
            for (const int b : bars[k])
                bar[static_cast<std::size_t>(b + shift[k])] = 1;
        }
        for (const WebNote& note : notes)
            std::fill(bar.begin() + note.start, bar.begin() + note.end, 0);
        std::vector<int> time(bar.size() + 1, 0);
        for (std::size_t c = 0; c < bar.size(); ++c)
            time[c + 1] = time[c] + (bar[c] != 0 ? 0 : 1);

        std::stable_sort(notes.begin(), notes.end(), [](const WebNote& a, const WebNote& b) {
            return a.start != b.start ? a.start < b.start : a.string < b.string;
        });
        const std::size_t firstOnset = m_onsets.size();
        for (const WebNote& note : notes) {
            if (m_onsets.size() > firstOnset) {
                Onset& last = m_onsets.back();
                const auto begin = m_notes.begin() + static_cast<std::ptrdiff_t>(last.first);
                const bool taken = std::any_of(begin, m_notes.end(), [&](const WebNote& o) {
                    return o.string == note.string;
                });
                if (note.start < last.end && !taken) {
                    ++last.count;
                    last.end = std::max(last.end, note.end);
                    m_notes.push_back(note);
                    continue;
                }
            }
            m_onsets.push_back({m_notes.size(), 1, note.start, note.end, 0});
            m_notes.push_back(note);
        }
        if (system.techniques)
            markTechniques(*system.techniques, system.lines.back(), shift.back(), firstOnset);

        int closest = 0;
        for (std::size_t o = firstOnset; o < m_onsets.size(); ++o) {
            Onset& onset = m_onsets[o];
            const int at = time[static_cast<std::size_t>(onset.start)];
            if (o + 1 < m_onsets.size()) {
                onset.gap = time[static_cast<std::size_t>(m_onsets[o + 1].start)] - at;
                if (onset.gap > 0 && (closest == 0 || onset.gap < closest))
                    closest = onset.gap;
                continue;
            }
            // The last note lasts to the end of its line.
            for (std::size_t i = onset.first; i < onset.first + onset.count; ++i) {
                const int end = ends[static_cast<std::size_t>(m_notes[i].string - 1)];
                onset.gap = std::max(onset.gap, time[static_cast<std::size_t>(end)] - at);
            }
        }
        if (closest > 0)
            m_closest.push_back(closest);
    }

    // Letters under the lowest string: S and T (thumb) slap, P pops.
    void markTechniques(const Line& below, const StringLine& lowest, int shift,
                        std::size_t firstOnset)
    {
        const auto begin = m_onsets.begin() + static_cast<std::ptrdiff_t>(firstOnset);
        for (std::size_t at = 0; at < below.text.size(); ++at) {
            const char c = below.text[at];
            if (isBlank(c))
                continue;
            const int column = static_cast<int>(at) - static_cast<int>(lowest.bodyStart) + shift;
            // Under the digits, else just beside them, the earlier note on a tie.
            const auto after = std::upper_bound(begin, m_onsets.end(), column + 1,
                                                [](int c, const Onset& o) { return c < o.start; });
            auto onset = m_onsets.end();
            int nearest = 2;
            for (auto o = after; o != begin && after - o < 3;) {
                --o;
                const int off = column < o->start  ? o->start - column
                                : column >= o->end ? column - o->end + 1
                                                   : 0;
                if (off <= nearest) {
                    nearest = off;
                    onset = o;
                }
            }
            if (onset == m_onsets.end()) {
                m_tab.problems.push_back({below.number, static_cast<int>(at) + 1,
                                          std::string(1, c) + " under no note: left out"});
                continue;
            }
            (c == 'P' ? m_notes[onset->first].pop : m_notes[onset->first].slap) = true;
        }
    }

    instrument::Tuning tuning()
    {
        const int count = m_tab.strings.value();
        instrument::Tuning result;
        if (count == kMaxStrings)
            result.followStringCount(kMinStrings, kMaxStrings);
        Names usual{};
        for (int k = 1; k <= count; ++k)
            usual[static_cast<std::size_t>(k)] = cycleIndex(result.at(k));
        const bool unnamed = std::any_of(m_names.begin() + 1, m_names.begin() + count + 1,
                                         [](int n) { return n < 0; });
        Names names = usual;
        if (m_header && unnamed && !m_onsets.empty()) {
            if (const std::optional<Names> header =
                    headerTuning(m_header->text, usual, m_tab.strings))
                names = *header;
            else
                m_tab.problems.push_back({m_header->number, 1,
                                          "tuning " + quoted(m_header->text) +
                                              " not understood: the usual tuning is used"});
        }
        for (int k = 1; k <= count; ++k) {
            const auto at = static_cast<std::size_t>(k);
            result.set(k, cycleName(m_names[at] >= 0 ? m_names[at] : names[at]));
        }
        return result;
    }

    // The closest spacing most systems share, the smaller on a tie: one system written
    // wider or tighter than the rest does not change the rhythm of the others.
    int unit() const
    {
        std::vector<int> closest = m_closest;
        std::sort(closest.begin(), closest.end());
        int best = 0;
        std::size_t bestRun = 0;
        for (std::size_t i = 0; i < closest.size();) {
            std::size_t j = i;
            while (j < closest.size() && closest[j] == closest[i])
                ++j;
            if (j - i > bestRun) {
                best = closest[i];
                bestRun = j - i;
            }
            i = j;
        }
        return best;
    }

    void write()
    {
        engine::VectorTabText text;
        NoNeck neck;
        engine::Staff staff(text, neck);
        staff.restoreSetup(m_tab.strings, m_tab.tuning);
        staff.setTabWidth(m_options.tabWidth);
        const int spacing = unit();
        const int smallest = sixteenthsOf(m_options.smallest);
        for (const Onset& onset : m_onsets) {
            // Rounded to whole spacings, a half down: the dash a writer puts on either side
            // of a bar line is padding. A note is never shorter than one spacing.
            const int units =
                spacing == 0 ? 1 : std::max(1, (2 * onset.gap + spacing - 1) / (2 * spacing));
            long long left = static_cast<long long>(units) * smallest;
            bool first = true;
            while (left > 0) {
                const auto& [length, piece] = *std::find_if(
                    kPieces.begin(), kPieces.end(), [&](const auto& p) { return p.first <= left; });
                if (first)
                    writeOnset(staff, onset, piece);
                else
                    staff.setRest(piece.symbol, piece.dotted);
                first = false;
                left -= length;
            }
        }
        if (m_tab.notes > 0)
            m_tab.lines = text.lines();
    }

    void problem(const WebNote& note, std::string what)
    {
        m_tab.problems.push_back({note.line, note.column, std::move(what)});
    }

    void writeOnset(engine::Staff& staff, const Onset& onset, Piece piece)
    {
        std::vector<WebNote> notes;
        for (std::size_t i = onset.first; i < onset.first + onset.count; ++i) {
            if (m_notes[i].sounds())
                notes.push_back(m_notes[i]);
        }
        if (notes.empty()) {
            staff.setRest(piece.symbol, piece.dotted);
            return;
        }
        // A chord's first note carries its hammer-on, pull-off or slide; the others cannot.
        const auto leader = std::find_if(notes.begin(), notes.end(),
                                         [](const WebNote& n) { return n.legato != Legato::None; });
        if (leader != notes.end())
            std::rotate(notes.begin(), leader, leader + 1);
        const bool slap =
            std::any_of(notes.begin(), notes.end(), [](const WebNote& n) { return n.slap; });
        const bool pop =
            std::any_of(notes.begin(), notes.end(), [](const WebNote& n) { return n.pop; });

        using engine::Technique;
        Technique technique = slap ? Technique::Slap : pop ? Technique::Pop : Technique::Default;
        const WebNote& first = notes.front();
        if (slap && pop)
            problem(first, "slap and pop on one note: slapped");
        if (first.legato != Legato::None && technique != Technique::Default)
            problem(first, legatoName(first.legato) + " on a " + (slap ? "slapped" : "popped") +
                               " note: left out");
        else if (first.legato != Legato::None)
            technique = first.legato == Legato::HammerOn  ? Technique::HammerOn
                        : first.legato == Legato::PullOff ? Technique::PullOff
                                                          : Technique::Slide;

        engine::Drop drop{first.fret, first.string, piece.symbol, technique, piece.dotted};
        engine::DropOutcome outcome = staff.Dropped(drop);
        if (outcome == engine::DropOutcome::SlideRefused) {
            problem(first, "slide from another string or from no note: played plain");
            drop.technique = Technique::Default;
            outcome = staff.Dropped(drop);
        }
        counted(outcome, first);
        for (std::size_t i = 1; i < notes.size(); ++i) {
            const WebNote& note = notes[i];
            if (note.legato != Legato::None)
                problem(note, legatoName(note.legato) + " on a chord note: left out");
            counted(staff.Dropped(
                        {note.fret, note.string, piece.symbol, Technique::Chord, piece.dotted}),
                    note);
        }
    }

    void counted(engine::DropOutcome outcome, const WebNote& note)
    {
        if (outcome == engine::DropOutcome::Written)
            ++m_tab.notes;
        else
            problem(note, "the note could not be written");
    }

    const WebTabOptions& m_options;
    ImportedTab m_tab;
    std::optional<Line> m_header;
    Names m_names = [] {
        Names names;
        names.fill(-1);
        return names;
    }();
    std::vector<WebNote> m_notes;
    std::vector<Onset> m_onsets;
    std::vector<int> m_closest; // each system's closest spacing
};

} // namespace

ImportedTab importWebTab(std::string_view text, const WebTabOptions& options)
{
    return Importer(options).run(text);
}

std::string importSummary(const ImportedTab& tab)
{
    std::string text = tab.notes == 0   ? std::string("No notes imported")
                       : tab.notes == 1 ? std::string("1 note imported")
                                        : std::to_string(tab.notes) + " notes imported";
    const std::vector<WebTabProblem>& problems = tab.problems;
    if (problems.empty())
        return text;
    text += "; " + std::to_string(problems.size()) +
            (problems.size() == 1 ? " problem, line " : " problems, line");
    const auto [first, last] = std::minmax_element(
        problems.begin(), problems.end(),
        [](const WebTabProblem& a, const WebTabProblem& b) { return a.line < b.line; });
    if (problems.size() == 1)
        return text + std::to_string(first->line);
    if (first->line == last->line)
        return text + ' ' + std::to_string(first->line);
    return text + "s " + std::to_string(first->line) + " to " + std::to_string(last->line);
}

} // namespace quorlin::files
