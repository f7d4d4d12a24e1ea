#include "files/WebTabImport.h"

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "files/TextEncoding.h"
#include "instrument/NeckLabels.h"
#include "instrument/NoteCycle.h"
#include "score/Score.h"
#include "tabtext/TabCodec.h"
#include "tabtext/TextWidth.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <utility>

namespace quorlin::files {

namespace {

using instrument::kMaxStrings;
using instrument::kMinStrings;

constexpr std::size_t kNone = std::string_view::npos;
constexpr int kCycle = 12;
// Repeats are played out up to this many onsets in all, so a text of a few lines cannot ask
// for millions of notes.
constexpr std::size_t kMostOnsets = 1 << 17;
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
std::vector<Line> numberedLines(std::string_view text)
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

// Characters editors and forums put in place of "-" and "|", in UTF-8: the hyphens and dashes
// U+2010..U+2015, the minus sign and box-drawing lines.
struct Lookalike {
    std::string_view utf8;
    char plain;
};
constexpr std::array<Lookalike, 14> kLookalikes = {{{"\u2010", '-'},
                                                    {"\u2011", '-'},
                                                    {"\u2012", '-'},
                                                    {"\u2013", '-'},
                                                    {"\u2014", '-'},
                                                    {"\u2015", '-'},
                                                    {"\u2212", '-'},
                                                    {"\u2500", '-'},
                                                    {"\u2501", '-'},
                                                    {"\u2502", '|'},
                                                    {"\u2503", '|'},
                                                    {"\u251C", '|'},
                                                    {"\u2524", '|'},
                                                    {"\u253C", '|'}}};

// The text as the readers take it: UTF-16 decoded, and the look-alike dashes and bars turned
// into "-" and "|". Each is said once; problems are placed back in the text the user has.
class PlainText {
public:
    PlainText(std::string_view text, std::vector<WebTabProblem>& problems)
    {
        if ((m_decoded = utf16ToUtf8(text))) {
            text = *m_decoded;
            problems.push_back({1, 1, "the text is UTF-16: read as such"});
        }
        m_lines = numberedLines(text);
        bool told = false;
        for (Line& line : m_lines) {
            if (line.text.find('\xE2') == kNone)
                continue;
            std::string plain;
            std::vector<int> origin;
            std::size_t first = kNone;
            for (std::size_t i = 0; i < line.text.size();) {
                origin.push_back(static_cast<int>(i));
                const auto alike =
                    std::find_if(kLookalikes.begin(), kLookalikes.end(), [&](const Lookalike& l) {
                        return line.text.substr(i).starts_with(l.utf8);
                    });
                if (alike == kLookalikes.end()) {
                    plain += line.text[i++];
                    continue;
                }
                first = std::min(first, plain.size());
                plain += alike->plain;
                i += alike->utf8.size();
            }
            if (first == kNone)
                continue;
            origin.push_back(static_cast<int>(line.text.size()));
            if (!std::exchange(told, true))
                problems.push_back({line.number, static_cast<int>(first) + 1,
                                    "long dashes and box-drawing lines read as \"-\" and \"|\""});
            line.text = m_owned.emplace_back(std::move(plain));
            m_origins.emplace(line.number, std::move(origin));
        }
    }

    const std::vector<Line>& lines() const { return m_lines; }

    void placeInOriginal(std::vector<WebTabProblem>& problems) const
    {
        for (WebTabProblem& problem : problems) {
            const auto found = m_origins.find(problem.line);
            if (found == m_origins.end())
                continue;
            const std::vector<int>& origin = found->second;
            const auto at =
                std::min(static_cast<std::size_t>(problem.column - 1), origin.size() - 1);
            problem.column = origin[at] + 1;
        }
    }

private:
    std::optional<std::string> m_decoded;
    std::vector<Line> m_lines;
    std::deque<std::string> m_owned;           // lines changed, where their views point
    std::map<int, std::vector<int>> m_origins; // for a changed line, each byte's original place
};

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

// "x4", "4x", "(x2)", "[x 3]", "play 2x", "repeat x3", "3 times": how often the bars before
// are played, or nothing when the text is no such mark.
std::optional<int> repeatCount(std::string_view s)
{
    s = trimmed(s);
    if (s.size() >= 2 &&
        ((s.front() == '(' && s.back() == ')') || (s.front() == '[' && s.back() == ']')))
        s = trimmed(s.substr(1, s.size() - 2));
    std::string lower(s);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    std::string_view rest = lower;
    for (const std::string_view word : {"play ", "repeat "}) {
        if (rest.starts_with(word))
            rest = trimmed(rest.substr(word.size()));
    }
    const bool before = rest.starts_with('x');
    if (before)
        rest = trimmed(rest.substr(1));
    const std::size_t digits = std::min(rest.find_first_not_of("0123456789"), rest.size());
    if (digits == 0 || digits > 2)
        return std::nullopt;
    const int count = std::atoi(std::string(rest.substr(0, digits)).c_str());
    const std::string_view after = trimmed(rest.substr(digits));
    if (before ? !after.empty() : after != "x" && after != "times")
        return std::nullopt;
    return count;
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
    if (cut == kNone && bar != kNone && bar > lastDash && repeatCount(body.substr(bar + 1)))
        cut = bar + 1;
    if (cut != kNone) {
        line.trailing = trimmed(body.substr(cut));
        body = body.substr(0, cut);
    }
}

// A line whose start reads as a string line's: a name and a bar, or a bar. `rejected` tells
// why such a line is not taken, so the user hears of the string it held.
std::optional<StringLine> readStringLine(const Line& raw, std::optional<WebTabProblem>& rejected)
{
    rejected.reset();
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

    std::size_t shown = 0, dashes = 0, tabLike = 0, foreign = kNone;
    bool frets = false, bars = false;
    for (std::size_t i = 0; i < line.body.size(); ++i) {
        const char c = line.body[i];
        if (isBlank(c))
            continue;
        ++shown;
        dashes += c == '-' ? 1 : 0;
        const bool tab = isTabCharacter(c);
        tabLike += tab ? 1 : 0;
        if (!tab && foreign == kNone)
            foreign = i;
        frets = frets || isDigit(c) || isDead(c);
        bars = bars || isBar(c);
    }
    // Told by its shape, not by a share of dashes: legato runs such as "-0h2p0h2p0-" are
    // mostly frets and marks. Dashes alone are a rule drawn under a heading.
    const bool shaped = dashes > 0 || (line.name >= 0 && bars && frets);
    if (shown < 4 || !shaped || tabLike * 10 < shown * 9 || (line.name < 0 && !frets && !bars)) {
        if (foreign != kNone && text[start] == '|' && frets && dashes >= 2) {
            const std::size_t end = line.body.find_first_of(" \t|-", foreign);
            rejected = WebTabProblem{
                raw.number, static_cast<int>(start + foreign) + 1,
                quoted(line.body.substr(foreign, end == kNone ? kNone : end - foreign)) +
                    " is no tab mark: the string line is left out"};
        }
        return std::nullopt;
    }
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

// "x3" or ":|": the bars before `bar` are played `count` times.
struct RepeatMark {
    int bar = 0;   // column of the bar the mark follows, or of the end of the line
    int count = 0; // 0 for a ":|" sign with no number, which means twice
    int line = 0;
    int column = 0;
    std::string text;
};

struct Repeats {
    std::vector<RepeatMark> marks;
    std::vector<RepeatMark> starts; // "|:" signs, at the column of their bar
};

// One string line's notes and bars, in columns counted from the start of its body.
class LineReader {
public:
    LineReader(const StringLine& line, int string, std::vector<WebNote>& notes,
               std::vector<int>& bars, Repeats& repeats, Problems& problems) :
        m_line(line),
        m_body(line.body), m_string(string), m_notes(notes), m_bars(bars), m_repeats(repeats),
        m_problems(problems), m_first(notes.size())
    {
    }

    void read()
    {
        std::size_t at = 0;
        while (at < m_body.size())
            at = step(at);
        if (m_line.trailing.empty())
            return;
        const auto where = static_cast<std::size_t>(m_line.trailing.data() - m_body.data());
        if (const std::optional<int> count = repeatCount(m_line.trailing))
            repeat(m_body.size(), *count, where, m_line.trailing);
        else
            report(where, "text after the tab not read: " + quoted(m_line.trailing));
    }

private:
    std::size_t step(std::size_t at)
    {
        const char c = m_body[at];
        if (isDigit(c))
            return fret(at);
        if (isFill(c))
            return at + 1;
        if (c == '~') {
            // Vibrato changes neither pitch nor time; a run of it is one mark.
            if (at == 0 || m_body[at - 1] != '~')
                report(at, "vibrato played as a plain note");
            return at + 1;
        }
        if (isBar(c))
            return bar(at);
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

    // A bar, and what a bar can hold after it: a "|:" or ":|" sign, or a stretch such as
    // "|-- x3 --|" that holds nothing but a repeat count. Neither takes time.
    std::size_t bar(std::size_t at)
    {
        m_bars.push_back(static_cast<int>(at));
        const char c = m_body[at];
        // Repeat signs have dots, or stars: "|:" and ":|", "|*" and "*|".
        const char next = at + 1 < m_body.size() ? m_body[at + 1] : '\0';
        const bool endSign = (c == ':' || c == '*') && next == '|' && at > 0 &&
                             m_body.find_first_not_of("|:* \t") < at;
        if (endSign)
            repeat(at + 1, 0, at, std::string{c, '|'});
        if (c == '|' && (next == ':' || next == '*'))
            m_repeats.starts.push_back(
                {static_cast<int>(at), 0, m_line.number, column(at), std::string{c, next}});
        if (c != '|')
            return at + 1;
        std::size_t end = at + 1;
        while (end < m_body.size() && m_body[end] != '|')
            ++end;
        const std::string_view inside = m_body.substr(at + 1, end - at - 1);
        const std::size_t first = inside.find_first_not_of("- \t");
        if (first == kNone)
            return at + 1;
        const std::string_view mark =
            inside.substr(first, inside.find_last_not_of("- \t") + 1 - first);
        const std::optional<int> count = repeatCount(mark);
        if (!count)
            return at + 1;
        repeat(at, *count, at + 1 + first, mark);
        for (std::size_t i = at + 1; i < end; ++i)
            m_bars.push_back(static_cast<int>(i));
        return end;
    }

    void repeat(std::size_t bar, int count, std::size_t at, std::string_view text)
    {
        m_repeats.marks.push_back(
            {static_cast<int>(bar), count, m_line.number, column(at), std::string(text)});
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
    Repeats& m_repeats;
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
    // The lines just above and below, when they hold only slap and pop letters by the notes.
    std::optional<Line> techniquesAbove;
    std::optional<Line> techniques;
    // "(x2)" or "play 4x" on a line of its own right below the system.
    std::optional<RepeatMark> repeat;
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

// Tabs this program wrote: blocks of a rhythm line ("|   q  e."), one line per string headed
// by its name and written in cells of three ("G --5H-7\\12"), and an articulation line
// ("> " and slap, pop and rest marks). Their durations are read as written.
struct BlockAt {
    std::size_t first = 0; // index of the rhythm line among the lines
    int strings = 0;
};

bool onlyOf(std::string_view text, std::string_view allowed)
{
    return text.find_first_not_of(allowed) == kNone;
}

// The head, or what an editor left of it when it stripped the blanks a line ends in; a line
// that lost its whole head has nothing to tell it by.
bool opensWith(std::string_view text, std::string_view head)
{
    const std::string_view kept = head.substr(0, head.find_last_not_of(' ') + 1);
    return text.starts_with(head) || (!kept.empty() && text == kept);
}

bool isRhythmLine(std::string_view text)
{
    return opensWith(text, tabtext::kRhythmPrefix) &&
           std::ranges::all_of(text.substr(1), [](char c) {
               return c == ' ' || c == tabtext::kDotMark || tabtext::isDurationSymbol(c);
           });
}

bool isBlockStringLine(std::string_view text)
{
    // ASCII: the reader counts columns in characters, the import in bytes. A name is a
    // character and a blank or "#": never "G|", which heads a web tab's line.
    return text.size() >= tabtext::kHeadLength && tabtext::isAscii(text[0]) &&
           (text[1] == ' ' || text[1] == '#') && text[0] != tabtext::kArticulationPrefix[0] &&
           text[0] != tabtext::kRhythmPrefix[0] && text[0] != ' ' &&
           std::ranges::all_of(text.substr(tabtext::kHeadLength),
                               [](char c) { return isDigit(c) || tabtext::isNoteMark(c); });
}

bool isArticulationLine(std::string_view text)
{
    return (opensWith(text, tabtext::kArticulationPrefix) ||
            opensWith(text, tabtext::kRestArticulationPrefix)) &&
           std::ranges::all_of(text.substr(1), tabtext::isArticulationMark);
}

// A saved tab file opens with a header whose legend ("  --x~~x~~x: triplets") would read as
// a string line; it ends at the second rule of "=".
std::size_t savedHeaderLines(const std::vector<Line>& lines)
{
    if (lines.empty() || !lines.front().text.starts_with(kTabFileMark))
        return 0;
    int rules = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i].text;
        if (text.size() >= kHeaderRule.size() && onlyOf(text, kHeaderRule.substr(0, 1)) &&
            ++rules == 2)
            return i + 1;
    }
    return 0;
}

std::vector<BlockAt> findBlocks(const std::vector<Line>& lines)
{
    std::vector<BlockAt> blocks;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isRhythmLine(lines[i].text))
            continue;
        std::size_t j = i + 1;
        while (j < lines.size() && j - i <= kMaxStrings && isBlockStringLine(lines[j].text))
            ++j;
        const auto strings = static_cast<int>(j - i - 1);
        if (strings < kMinStrings || strings > kMaxStrings || j == lines.size() ||
            !isArticulationLine(lines[j].text))
            continue;
        blocks.push_back({i, strings});
        i = j;
    }
    return blocks;
}

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

// The palette's values in ticks, longest first. Spacings count in sixteenths or eighths, and
// no whole number of them makes a dotted sixteenth.
constexpr auto kPieces = [] {
    constexpr std::size_t count = tabtext::kDurationSymbols.size();
    std::array<std::pair<std::int64_t, Piece>, 2 * count - 1> pieces{};
    std::size_t n = 0;
    for (std::size_t i = count; i-- > 0;) {
        const char symbol = tabtext::kDurationSymbols[i];
        if (i > 0)
            pieces[n++] = {tabtext::writtenTicks(symbol, true), {symbol, true}};
        pieces[n++] = {tabtext::writtenTicks(symbol, false), {symbol, false}};
    }
    return pieces;
}();

std::int64_t ticksOf(char symbol)
{
    return tabtext::isDurationSymbol(symbol) ? tabtext::durationTicks(symbol)
                                             : tabtext::durationTicks(tabtext::kDurationSymbols[0]);
}

class Importer {
public:
    explicit Importer(const WebTabOptions& options) : m_options(options) {}

    ImportedTab run(std::string_view text)
    {
        if (text.size() > kLargestWebTab) {
            m_tab.problems.push_back({1, 1, "the text " + tooLong()});
            return std::move(m_tab);
        }
        PlainText plain(text, m_tab.problems);
        const std::vector<Line>& lines = plain.lines();
        if (const std::vector<BlockAt> blocks = findBlocks(lines); !blocks.empty()) {
            readBlocks(lines, blocks);
        } else {
            std::vector<System> systems = findSystems(lines);
            m_tab.strings = chooseStrings(systems);
            for (const System& system : systems) {
                m_tab.stringLines += static_cast<int>(system.lines.size());
                if (static_cast<int>(system.lines.size()) == m_tab.strings.value())
                    readSystem(system);
            }
            m_tab.tuning = tuning();
            write();
        }
        plain.placeInOriginal(m_tab.problems);
        std::stable_sort(m_tab.problems.begin(), m_tab.problems.end(),
                         [](const WebTabProblem& a, const WebTabProblem& b) {
                             return a.line != b.line ? a.line < b.line : a.column < b.column;
                         });
        return std::move(m_tab);
    }

private:
    // Blocks of the count most have are read; the rest of the text is looked through only for
    // string lines, which have no rhythm to join the blocks with.
    void readBlocks(const std::vector<Line>& lines, const std::vector<BlockAt>& blocks)
    {
        std::array<int, kMaxStrings + 1> votes{};
        int chosen = 0;
        for (const BlockAt& block : blocks) {
            if (++votes[static_cast<std::size_t>(block.strings)] >
                votes[static_cast<std::size_t>(chosen)])
                chosen = block.strings;
        }
        m_tab.strings = instrument::StringCount(chosen);
        const BlockAt& model = *std::find_if(blocks.begin(), blocks.end(),
                                             [&](const BlockAt& b) { return b.strings == chosen; });
        if (chosen == kMaxStrings)
            m_tab.tuning.followStringCount(kMinStrings, kMaxStrings);
        for (int k = 1; k <= chosen; ++k) {
            const std::string_view head = lines[model.first + static_cast<std::size_t>(k)].text;
            if (instrument::isNoteName(head.substr(0, tabtext::kHeadLength)))
                m_tab.tuning.set(k, std::string(head.substr(0, tabtext::kHeadLength)));
        }

        std::vector<char> inBlock(lines.size(), 0);
        for (const BlockAt& block : blocks) {
            std::fill_n(inBlock.begin() + static_cast<std::ptrdiff_t>(block.first),
                        tabtext::blockLineCount(block.strings), 1);
            m_tab.stringLines += block.strings;
            if (block.strings != chosen)
                m_tab.problems.push_back({lines[block.first].number, 1,
                                          "block of " + std::to_string(block.strings) +
                                              " strings where the tab has " +
                                              std::to_string(chosen) + ": left out"});
        }
        const std::size_t header = savedHeaderLines(lines);
        // Its lines after the comments, where the save writes it.
        for (std::size_t i = header; i > 0 && lines[i - 1].text != kCommentsEnd; --i) {
            if (const auto time = savedTimeSignature(lines[i - 1].text))
                m_tab.time = time;
        }
        std::optional<WebTabProblem> rejected;
        for (std::size_t i = header; i < lines.size(); ++i) {
            if (inBlock[i] != 0)
                continue;
            const std::optional<StringLine> line = readStringLine(lines[i], rejected);
            if (line && line->sure)
                m_tab.problems.push_back({line->number, static_cast<int>(line->bodyStart) + 1,
                                          "string line with no rhythm line above it, among "
                                          "blocks that have one: left out"});
            else if (rejected)
                m_tab.problems.push_back(*rejected);
        }
        for (const BlockAt& block : blocks) {
            if (block.strings == chosen)
                readBlock(lines, block);
        }
        // Rests alone are no tab that sounds.
        if (m_tab.notes == 0)
            m_tab.lines.clear();
    }

    // Read as the score reads it, then written again by the codec from the beats that sound,
    // without fill: what could not be read is listed and left out.
    void readBlock(const std::vector<Line>& lines, const BlockAt& block)
    {
        const auto rows = static_cast<std::size_t>(tabtext::blockLineCount(block.strings));
        std::vector<std::string> text(rows);
        std::size_t width = 0;
        for (std::size_t r = 0; r < rows; ++r) {
            text[r] = lines[block.first + r].text;
            width = std::max(width, text[r].size());
        }
        // An editor may have stripped the blanks the rhythm and articulation lines end in.
        text.front().resize(width, ' ');
        text.back().resize(width, ' ');
        const std::vector<std::string_view> views(text.begin(), text.end());
        const tabtext::Reading reading = tabtext::readTab(
            tabtext::SpanLines(views), {m_tab.strings, m_tab.tuning}, tabtext::Mode::Tolerant);
        const score::Score read = score::timeline(reading, score::kDefaultTempo);
        const int number = lines[block.first].number;
        for (const score::Skip& skip : read.skipped)
            m_tab.problems.push_back(
                {number, skip.offset + 1, "column that could not be read: left out"});
        if (read.columns.empty())
            return;

        // The block's own names where they are notes: its notes sounded by them.
        tabtext::Setup own{m_tab.strings, m_tab.tuning};
        for (int k = 1; k <= block.strings; ++k) {
            const std::string head =
                text[static_cast<std::size_t>(k)].substr(0, tabtext::kHeadLength);
            if (instrument::isNoteName(head))
                own.tuning.set(k, head);
        }
        const tabtext::Block& was = reading.layout.blocks.front();
        model::Track sounding;
        sounding.strings = own.strings;
        sounding.tuning = own.tuning;
        // Nothing on the strings is a rest, said or not: the writer says it, so that the tab
        // can be edited.
        tabtext::Block out;
        out.restHead = was.restHead;
        std::size_t at = was.firstBeat;
        for (const score::Column& column : read.columns) {
            while (reading.layout.places[at].character != column.offset)
                ++at;
            const model::Beat& beat = reading.track.beats[at];
            tabtext::CellMarks& marks = out.marks.emplace_back();
            for (const model::Note& note : beat.notes)
                marks[static_cast<std::size_t>(note.string - 1)] =
                    tabtext::cellMarkOf(was, at - was.firstBeat, beat, note);
            sounding.beats.push_back(beat);
            m_tab.notes += static_cast<int>(column.notes.size());
        }
        out.beatCount = sounding.beats.size();
        const std::vector<std::string> written = tabtext::writeBlock(sounding, out, own);
        m_tab.lines.insert(m_tab.lines.end(), written.begin(), written.end());
    }

    std::vector<System> findSystems(const std::vector<Line>& lines)
    {
        std::vector<System> systems;
        System run;
        std::optional<WebTabProblem> rejected;
        // Lines below a system taken as its marks; a line is no mark of two systems.
        std::size_t taken = 0;
        const auto repeatLine = [&](std::size_t i) -> std::optional<RepeatMark> {
            if (i >= lines.size() || i < taken)
                return std::nullopt;
            const std::optional<int> count = repeatCount(lines[i].text);
            if (!count)
                return std::nullopt;
            const std::string_view text = trimmed(lines[i].text);
            const int column = static_cast<int>(text.data() - lines[i].text.data()) + 1;
            return RepeatMark{0, *count, lines[i].number, column, std::string(text)};
        };
        const auto close = [&](std::size_t below) {
            const bool sure = std::any_of(run.lines.begin(), run.lines.end(),
                                          [](const StringLine& l) { return l.sure; });
            if (sure) {
                if (below < lines.size() && isTechniqueLine(lines[below].text)) {
                    run.techniques = lines[below];
                    taken = ++below;
                }
                if ((run.repeat = repeatLine(below)))
                    taken = below + 1;
                systems.push_back(std::move(run));
            }
            run = System();
        };
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            if (std::optional<StringLine> string = readStringLine(line, rejected)) {
                if (run.lines.empty() && i > 0 && i - 1 >= taken) {
                    const Line& above = lines[i - 1];
                    if (isTechniqueLine(above.text))
                        run.techniquesAbove = above;
                    else if (const std::optional<RepeatMark> mark = repeatLine(i - 1))
                        m_tab.problems.push_back(
                            {mark->line, mark->column,
                             "repeat " + quoted(mark->text) +
                                 " above a tab: which bars it repeats is not clear, played once"});
                }
                run.lines.push_back(*string);
                continue;
            }
            if (rejected)
                m_tab.problems.push_back(*rejected);
            if (!run.lines.empty())
                close(i);
            if (!m_header)
                if (const std::optional<std::string_view> value = tuningHeader(line.text))
                    m_header = Line{*value, line.number};
        }
        if (!run.lines.empty())
            close(lines.size());
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
        std::vector<Repeats> repeats(n);
        for (std::size_t k = 0; k < n; ++k) {
            LineReader(system.lines[k], static_cast<int>(k) + 1, notes, bars[k], repeats[k],
                       m_tab.problems)
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
        if (system.techniquesAbove)
            markTechniques(*system.techniquesAbove, system.lines.front(), shift.front(),
                           firstOnset);
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

        Repeats all;
        for (std::size_t k = 0; k < n; ++k) {
            for (RepeatMark mark : repeats[k].marks) {
                mark.bar += shift[k];
                all.marks.push_back(std::move(mark));
            }
            for (RepeatMark start : repeats[k].starts) {
                start.bar += shift[k];
                all.starts.push_back(std::move(start));
            }
        }
        if (system.repeat) {
            all.marks.push_back(*system.repeat);
            all.marks.back().bar = *std::max_element(ends.begin(), ends.end());
        }
        playRepeats(std::move(all), firstOnset);
    }

    // Marks with no note starting between them are one mark: the same count written on
    // several lines, or a ":|" sign with its count after it.
    std::vector<RepeatMark> joinedMarks(std::vector<RepeatMark> marks, std::size_t firstOnset) const
    {
        std::stable_sort(marks.begin(), marks.end(),
                         [](const RepeatMark& a, const RepeatMark& b) { return a.bar < b.bar; });
        std::vector<RepeatMark> joined;
        for (RepeatMark& mark : marks) {
            if (!joined.empty() &&
                firstAt(joined.back().bar, firstOnset) == firstAt(mark.bar + 1, firstOnset)) {
                RepeatMark& last = joined.back();
                if (last.count == 0 || (mark.count != 0 && mark.count > last.count)) {
                    last.count = mark.count;
                    last.line = mark.line;
                    last.column = mark.column;
                    last.text = mark.text;
                }
                continue;
            }
            joined.push_back(std::move(mark));
        }
        return joined;
    }

    // The system's first onset at or after `column`, as an index into m_onsets.
    std::size_t firstAt(int column, std::size_t firstOnset) const
    {
        const auto begin = m_onsets.begin() + static_cast<std::ptrdiff_t>(firstOnset);
        return static_cast<std::size_t>(
            std::lower_bound(begin, m_onsets.end(), column,
                             [](const Onset& o, int c) { return o.start < c; }) -
            m_onsets.begin());
    }

    // A repeat plays the bars from the "|:" before it, or else, for the first mark of the
    // system, from its start. A later mark with no "|:" could mean any of the bars before it,
    // so it is listed and played once.
    void playRepeats(Repeats repeats, std::size_t firstOnset)
    {
        const std::vector<RepeatMark> marks = joinedMarks(std::move(repeats.marks), firstOnset);
        std::vector<RepeatMark>& starts = repeats.starts;
        std::stable_sort(starts.begin(), starts.end(),
                         [](const RepeatMark& a, const RepeatMark& b) { return a.bar < b.bar; });
        struct Range {
            std::size_t begin, end;
            int count;
        };
        std::vector<Range> ranges;
        std::vector<int> used;
        std::size_t added = 0;
        int previous = -1;
        for (const RepeatMark& mark : marks) {
            int from = previous < 0 ? 0 : -1;
            const auto before =
                std::lower_bound(starts.begin(), starts.end(), mark.bar,
                                 [](const RepeatMark& start, int bar) { return start.bar < bar; });
            if (before != starts.begin() && std::prev(before)->bar > previous)
                from = std::prev(before)->bar;
            used.push_back(from);
            previous = mark.bar;
            if (from < 0) {
                m_tab.problems.push_back(
                    {mark.line, mark.column,
                     "repeat " + quoted(mark.text) +
                         " with no |: before it: which bars it repeats is not clear, played once"});
                continue;
            }
            const Range range{firstAt(from, firstOnset), firstAt(mark.bar, firstOnset),
                              mark.count == 0 ? 2 : mark.count};
            if (range.count < 2 || range.begin == range.end)
                continue;
            const std::size_t more =
                (range.end - range.begin) * static_cast<std::size_t>(range.count - 1);
            if (m_onsets.size() + added + more > kMostOnsets) {
                m_tab.problems.push_back(
                    {mark.line, mark.column,
                     "repeat " + quoted(mark.text) + " would make the tab too long: played once"});
                continue;
            }
            added += more;
            ranges.push_back(range);
        }
        // The same sign on every line is one sign, listed once.
        std::sort(used.begin(), used.end());
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const int bar = starts[i].bar;
            if ((i > 0 && starts[i - 1].bar == bar) ||
                std::binary_search(used.begin(), used.end(), bar))
                continue;
            m_tab.problems.push_back({starts[i].line, starts[i].column,
                                      "repeat sign " + quoted(starts[i].text) +
                                          " with no end or count after it: played once"});
        }
        if (ranges.empty())
            return;
        // One pass, each range followed by its copies: the ranges come in order and never
        // overlap.
        std::vector<Onset> played(m_onsets.begin() + static_cast<std::ptrdiff_t>(firstOnset),
                                  m_onsets.end());
        m_onsets.resize(firstOnset);
        auto range = ranges.begin();
        for (std::size_t o = 0; o < played.size(); ++o) {
            m_onsets.push_back(played[o]);
            if (range == ranges.end() || firstOnset + o + 1 != range->end)
                continue;
            for (int time = 1; time < range->count; ++time) {
                for (std::size_t c = range->begin; c < range->end; ++c) {
                    Onset copy = played[c - firstOnset];
                    copy.first = m_notes.size();
                    for (std::size_t i = 0; i < copy.count; ++i) {
                        const WebNote note = m_notes[played[c - firstOnset].first + i];
                        m_notes.push_back(note);
                    }
                    m_onsets.push_back(copy);
                }
            }
            ++range;
        }
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
        engine::Staff staff(text);
        staff.restoreSetup(m_tab.strings, m_tab.tuning);
        staff.setTabWidth(m_options.tabWidth);
        const int spacing = unit();
        const std::int64_t smallest = ticksOf(m_options.smallest);
        for (const Onset& onset : m_onsets) {
            // Rounded to whole spacings, a half down: the dash a writer puts on either side
            // of a bar line is padding. A note is never shorter than one spacing.
            const int units =
                spacing == 0 ? 1 : std::max(1, (2 * onset.gap + spacing - 1) / (2 * spacing));
            std::int64_t left = units * smallest;
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
        Technique technique = slap ? Technique::Slap : pop ? Technique::Pop : Technique::Plain;
        const WebNote& first = notes.front();
        if (slap && pop)
            problem(first, "slap and pop on one note: slapped");
        if (first.legato != Legato::None && technique != Technique::Plain)
            problem(first, legatoName(first.legato) + " on a " + (slap ? "slapped" : "popped") +
                               " note: left out");
        else if (first.legato != Legato::None)
            technique = first.legato == Legato::HammerOn  ? Technique::HammerOn
                        : first.legato == Legato::PullOff ? Technique::PullOff
                                                          : Technique::SlideUp;

        engine::Drop drop{first.fret, first.string, piece.symbol, technique, piece.dotted};
        engine::DropOutcome outcome = staff.Dropped(drop);
        if (outcome == engine::DropOutcome::SlideRefused) {
            problem(first, "slide from another string or from no note: played plain");
            drop.technique = Technique::Plain;
            outcome = staff.Dropped(drop);
        }
        counted(outcome, first);
        for (std::size_t i = 1; i < notes.size(); ++i) {
            const WebNote& note = notes[i];
            if (note.legato != Legato::None)
                problem(note, legatoName(note.legato) + " on a chord note: left out");
            counted(staff.Dropped({note.fret, note.string, piece.symbol, Technique::Plain,
                                   piece.dotted, engine::Entry::Chord}),
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

bool hasRhythmLines(std::string_view text)
{
    if (text.size() > kLargestWebTab)
        return false;
    std::vector<WebTabProblem> unused;
    return !findBlocks(PlainText(text, unused).lines()).empty();
}

std::string tooLong()
{
    return "is longer than " + std::to_string(kLargestWebTab / (1024 * 1024)) +
           " MB, far more than a tab: not read";
}

std::string whyNoNotes(const ImportedTab& tab)
{
    if (tab.stringLines == 0) {
        const bool refused =
            tab.problems.size() == 1 && tab.problems.front().what == "the text " + tooLong();
        return refused ? tooLong() : "holds no tab lines: a string line looks like G|--5--7--|";
    }
    std::string text = "holds " + std::to_string(tab.stringLines) +
                       (tab.stringLines == 1 ? " string line" : " string lines") +
                       ", but no note came in";
    if (tab.problems.empty())
        return text;
    const WebTabProblem& first = tab.problems.front();
    text += ": line " + std::to_string(first.line) + ", column " + std::to_string(first.column) +
            ": " + first.what;
    if (tab.problems.size() > 1)
        text += " (and " + std::to_string(tab.problems.size() - 1) + " more)";
    return text;
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
