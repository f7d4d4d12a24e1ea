#include "files/RecoveryFile.h"

#include "instrument/NeckLabels.h"
#include "tabtext/TextWidth.h"

#include "files/TextEncoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace quorlin::files {

namespace {

constexpr std::string_view kMagic = "Quorlin recovery copy ";
constexpr std::string_view kEndMark = "end ";
// "end " and eight hex digits and the line end.
constexpr std::size_t kEndLineLength = kEndMark.size() + 8 + 1;
constexpr std::string_view kDamaged = "The recovery copy is damaged: ";

constexpr std::array<std::uint32_t, 256> crcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// The common CRC-32, so that a copy can be checked by hand with any tool.
std::uint32_t crc32(std::string_view bytes)
{
    static constexpr auto kTable = crcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char b : bytes)
        c = kTable[(c ^ static_cast<unsigned char>(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string hex8(std::uint32_t value)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return out;
}

class Writer {
public:
    void key(std::string_view name) { m_out.append(name); }
    void number(long long value) { m_out.append(1, ' ').append(std::to_string(value)); }
    void flag(bool value) { number(value ? 1 : 0); }
    void bytes(std::string_view value, char before = ' ')
    {
        m_out.append(1, before).append(std::to_string(value.size())).append(1, ':').append(value);
    }
    // A value on a line of its own, after a count.
    void item(std::string_view value)
    {
        m_out.append(std::to_string(value.size())).append(1, ':').append(value);
        end();
    }
    void end() { m_out.append(1, '\n'); }
    std::string& text() { return m_out; }

private:
    std::string m_out;
};

// Reads the body strictly: one way to write each value, so what reads back writes back the
// same, and a copy from anything but the writer above is refused rather than guessed at.
class Reader {
public:
    explicit Reader(std::string_view body) : m_body(body) {}

    bool key(std::string_view name)
    {
        const std::string_view here = m_body.substr(m_next, name.size());
        if (here != name) {
            m_ranOut = m_ranOut || name.starts_with(here);
            return false;
        }
        m_next += name.size();
        return true;
    }
    bool separator(char c)
    {
        if (m_next >= m_body.size() || m_body[m_next] != c) {
            m_ranOut = m_ranOut || m_next >= m_body.size();
            return false;
        }
        ++m_next;
        return true;
    }
    // A read failed at the end of the body: with only the head of a copy read, the value may
    // well go on in the rest.
    bool ranOut() const { return m_ranOut; }
    std::string_view rest() const { return m_body.substr(m_next); }
    bool end() { return separator('\n'); }
    bool atEnd() const { return m_next == m_body.size(); }

    // Decimal, no sign but a minus, no leading zero, no "-0".
    std::optional<int> number()
    {
        const std::size_t start = m_next;
        const bool negative = m_next < m_body.size() && m_body[m_next] == '-';
        std::size_t digits = start + (negative ? 1 : 0);
        std::size_t stop = digits;
        while (stop < m_body.size() && m_body[stop] >= '0' && m_body[stop] <= '9')
            ++stop;
        m_ranOut = m_ranOut || stop == m_body.size();
        if (stop == digits || (m_body[digits] == '0' && (stop - digits > 1 || negative)))
            return std::nullopt;
        int value = 0;
        const auto [at, error] =
            std::from_chars(m_body.data() + start, m_body.data() + stop, value);
        if (error != std::errc() || at != m_body.data() + stop)
            return std::nullopt;
        m_next = stop;
        return value;
    }
    std::optional<bool> flag()
    {
        const std::optional<int> value = number();
        if (!value || (*value != 0 && *value != 1))
            return std::nullopt;
        return *value == 1;
    }
    std::optional<std::string> bytes()
    {
        const std::optional<int> length = number();
        if (!length || *length < 0 || !separator(':'))
            return std::nullopt;
        if (static_cast<std::size_t>(*length) > m_body.size() - m_next) {
            m_ranOut = true;
            return std::nullopt;
        }
        std::string value(m_body.substr(m_next, static_cast<std::size_t>(*length)));
        m_next += value.size();
        return value;
    }

private:
    std::string_view m_body;
    std::size_t m_next = 0;
    bool m_ranOut = false;
};

struct Failure {
    std::string problem;
};

std::string unreadable(std::string_view field)
{
    return std::string(kDamaged) + "its \"" + std::string(field) + "\" line cannot be read.";
}

std::string outside(std::string_view what, long long value, std::string_view range)
{
    return std::string(kDamaged) + "its " + std::string(what) + " " + std::to_string(value) +
           " is outside " + std::string(range) + ".";
}

// The fields after the version line, in their order; false with `problem` set at the first
// that is missing or malformed. With `lineCount`, only up to the count of the tab's lines.
bool readFields(Reader& in, Recovered& r, std::string& problem, long long* lineCount = nullptr)
{
    engine::EditingState& s = r.snapshot.state;
    const auto fail = [&](std::string_view field) {
        problem = unreadable(field);
        return false;
    };
    // One line "<key> <value>" read by `take`.
    const auto line = [&](std::string_view name, auto take) {
        return in.key(name) && in.separator(' ') && take() && in.end();
    };
    const auto intoInt = [&](int& target) {
        return [&in, &target] {
            const auto v = in.number();
            if (v)
                target = *v;
            return v.has_value();
        };
    };
    const auto intoBool = [&](bool& target) {
        return [&in, &target] {
            const auto v = in.flag();
            if (v)
                target = *v;
            return v.has_value();
        };
    };
    const auto intoBytes = [&](std::string& target) {
        return [&in, &target] {
            auto v = in.bytes();
            if (v)
                target = std::move(*v);
            return v.has_value();
        };
    };
    // A count line, then that many values each on its own line.
    const auto list = [&](std::string_view name, std::vector<std::string>& target) {
        int count = 0;
        if (!line(name, intoInt(count)) || count < 0)
            return false;
        for (int i = 0; i < count; ++i) {
            auto v = in.bytes();
            if (!v || !in.end())
                return false;
            target.push_back(std::move(*v));
        }
        return true;
    };

    int strings = 0;
    if (!line("source", intoBytes(r.sourcePath)))
        return fail("source");
    if (!line("width", intoInt(s.tabWidth)))
        return fail("width");
    if (!line("tempo", intoInt(s.tempo)))
        return fail("tempo");
    // Only a time signature other than 4/4 has its line, so that the copies of earlier
    // versions read as they always did.
    if (in.key("time") && !(in.separator(' ') && intoInt(s.time.beats)() && in.separator(' ') &&
                            intoInt(s.time.beatType)() && in.end()))
        return fail("time");
    if (!line("strings", intoInt(strings)))
        return fail("strings");
    if (!in.key("tuning"))
        return fail("tuning");
    for (int k = 1; k <= instrument::kMaxStrings; ++k) {
        std::string name;
        if (!in.separator(' ') || !intoBytes(name)())
            return fail("tuning");
        s.tuning.set(k, std::move(name));
    }
    if (!in.end())
        return fail("tuning");
    if (!line("block", intoInt(s.blockStart)))
        return fail("block");
    if (!(in.key("last") && in.separator(' ') && intoInt(s.lastString)() && in.separator(' ') &&
          intoInt(s.lastFret)() && in.end()))
        return fail("last");
    if (!(in.key("mark") && in.separator(' ') && intoInt(s.markCol)() && in.separator(' ') &&
          intoInt(s.markRow)() && in.end()))
        return fail("mark");
    if (!line("unlocked", intoBool(s.setupUnlocked)))
        return fail("unlocked");
    if (!line("chord", intoBool(s.chordAvailable)))
        return fail("chord");
    if (!line("needs-block", intoBool(r.snapshot.needsBlock)))
        return fail("needs-block");
    if (!line("stripped-blanks", intoBool(r.snapshot.strippedBlanks)))
        return fail("stripped-blanks");
    if (!line("from", intoBytes(r.header.from)))
        return fail("from");
    if (!line("artist", intoBytes(r.header.artist)))
        return fail("artist");
    if (!line("bass", intoBytes(r.header.bassPerf)))
        return fail("bass");
    if (!list("comments", r.header.comments))
        return fail("comments");
    if (lineCount != nullptr) {
        int count = 0;
        if (!line("lines", intoInt(count)) || count < 0)
            return fail("lines");
        *lineCount = count;
    } else {
        if (!list("lines", r.lines))
            return fail("lines");
        if (!in.atEnd())
            return fail("end");
    }

    if (strings < instrument::kMinStrings || strings > instrument::kMaxStrings) {
        problem = outside("string count", strings, "4 to 6");
        return false;
    }
    s.stringCount = instrument::StringCount(strings);
    return true;
}

// What the engine could not work with although each field was read whole.
std::string rangeProblem(const Recovered& r)
{
    const engine::EditingState& s = r.snapshot.state;
    for (int k = 1; k <= instrument::kMaxStrings; ++k) {
        const std::string& name = s.tuning.at(k);
        const std::string string = "the name of string " + std::to_string(k);
        if (name.size() != 2)
            return std::string(kDamaged) + string + " is not two characters long.";
        // It opens a line of every block to come: the text area must hold it as it is.
        if (!isValidUtf8(name) || name.find_first_of("\r\n") != std::string::npos)
            return std::string(kDamaged) + string + " is no text a line can start with.";
    }
    if (s.tempo < engine::kMinTempo || s.tempo > engine::kMaxTempo)
        return outside("tempo", s.tempo, "20 to 400");
    if (!model::isValid(s.time))
        return std::string(kDamaged) + "its time signature " + model::timeSignatureText(s.time) +
               " is none Quorlin knows.";
    // The width field takes any number up to the widest tab, zero and below included.
    if (s.tabWidth > engine::kMaxTabWidth)
        return outside("tab width", s.tabWidth, "the widest tab, 4096");
    // No window of Quorlin's held such a line: it would keep the text area busy for minutes.
    if (const auto overlong = tabtext::overlongLine(r.lines))
        return std::string(kDamaged) + tabtext::overlongLineText(*overlong) + '.';
    const auto count = static_cast<long long>(r.lines.size());
    if (s.blockStart < 0 || (count == 0 ? s.blockStart != 0 : s.blockStart >= count))
        return outside("block start", s.blockStart,
                       "the tab's " + std::to_string(count) + " lines");
    if (s.lastString < 0 || s.lastString > s.stringCount.value())
        return outside("last string", s.lastString, "the strings");
    if (s.lastFret < 0)
        return outside("last fret", s.lastFret, "the frets");
    if (s.markCol < 0 || s.markCol > instrument::kFrets)
        return outside("marker column", s.markCol, "the neck");
    if (s.markRow < 0 || s.markRow > instrument::kMaxStrings)
        return outside("marker string", s.markRow, "the neck");
    return {};
}

} // namespace

std::string recoveryFileText(const Recovered& r)
{
    const engine::EditingState& s = r.snapshot.state;
    Writer out;
    out.key(kMagic);
    out.text().append(std::to_string(kRecoveryFormat));
    out.end();
    out.key("source");
    out.bytes(r.sourcePath);
    out.end();
    for (const auto& [name, value] :
         {std::pair<std::string_view, int>{"width", s.tabWidth}, {"tempo", s.tempo}}) {
        out.key(name);
        out.number(value);
        out.end();
    }
    if (s.time != model::TimeSignature()) {
        out.key("time");
        out.number(s.time.beats);
        out.number(s.time.beatType);
        out.end();
    }
    out.key("strings");
    out.number(s.stringCount.value());
    out.end();
    out.key("tuning");
    for (int k = 1; k <= instrument::kMaxStrings; ++k)
        out.bytes(s.tuning.at(k));
    out.end();
    out.key("block");
    out.number(s.blockStart);
    out.end();
    out.key("last");
    out.number(s.lastString);
    out.number(s.lastFret);
    out.end();
    out.key("mark");
    out.number(s.markCol);
    out.number(s.markRow);
    out.end();
    for (const auto& [name, value] :
         {std::pair<std::string_view, bool>{"unlocked", s.setupUnlocked},
          {"chord", s.chordAvailable},
          {"needs-block", r.snapshot.needsBlock},
          {"stripped-blanks", r.snapshot.strippedBlanks}}) {
        out.key(name);
        out.flag(value);
        out.end();
    }
    for (const auto& [name, value] :
         {std::pair<std::string_view, const std::string*>{"from", &r.header.from},
          {"artist", &r.header.artist},
          {"bass", &r.header.bassPerf}}) {
        out.key(name);
        out.bytes(*value);
        out.end();
    }
    for (const auto& [name, values] : {std::pair<std::string_view, const std::vector<std::string>*>{
                                           "comments", &r.header.comments},
                                       {"lines", &r.lines}}) {
        out.key(name);
        out.number(static_cast<long long>(values->size()));
        out.end();
        for (const std::string& value : *values)
            out.item(value);
    }
    std::string& text = out.text();
    const std::uint32_t sum = crc32(text);
    text.append(kEndMark).append(hex8(sum)).append(1, '\n');
    return std::move(text);
}

namespace {

const std::string& cutShort()
{
    static const std::string text =
        std::string(kDamaged) +
        "it does not close with its end mark, so it was cut short or added to.";
    return text;
}

// The magic and the version, from the first bytes of a copy that holds `size` bytes in all.
bool readStart(std::string_view bytes, std::uint64_t size, std::string& problem)
{
    if (size == 0) {
        problem = "The recovery copy is empty.";
        return false;
    }
    if (!bytes.starts_with(kMagic)) {
        problem = kMagic.starts_with(bytes) && bytes.size() == size
                      ? cutShort()
                      : "The file is no Quorlin recovery copy.";
        return false;
    }
    // The version first: a later Quorlin may end its copies differently.
    Reader head(bytes.substr(kMagic.size()));
    const std::optional<int> version = head.number();
    if (!version || !head.end()) {
        problem = bytes.find('\n') == std::string_view::npos ? cutShort()
                                                             : unreadable("Quorlin recovery copy");
        return false;
    }
    if (*version != kRecoveryFormat) {
        problem = "The recovery copy is in format " + std::to_string(*version) +
                  ", which this version of Quorlin cannot read.";
        return false;
    }
    return true;
}

bool isEndLine(std::string_view line)
{
    return line.size() == kEndLineLength && line.starts_with(kEndMark) && line.ends_with('\n');
}

void skipStart(Reader& in)
{
    in.key(kMagic);
    in.number();
    in.end();
}

// At most `characters` whole UTF-8 characters from the start of `text`.
std::string firstCharacters(std::string_view text, std::size_t characters)
{
    std::size_t at = 0;
    for (std::size_t n = 0; at < text.size() && n < characters; ++n)
        at = tabtext::nextCharacter(text, at);
    return std::string(text.substr(0, at));
}

} // namespace

std::optional<RecoveryPreview> previewRecoveryFile(std::string_view head, std::string_view tail,
                                                   std::uint64_t size, std::string& problem)
{
    problem.clear();
    if (!readStart(head, size, problem))
        return std::nullopt;
    if (size < kEndLineLength || !isEndLine(tail)) {
        problem = cutShort();
        return std::nullopt;
    }
    const bool whole = head.size() == size;
    Reader in(whole ? head.substr(0, head.size() - kEndLineLength) : head);
    skipStart(in);
    Recovered r;
    RecoveryPreview preview;
    if (!readFields(in, r, problem, &preview.lineCount)) {
        // Only the first bytes were read: a field may go on past them.
        if (whole || !in.ranOut())
            return std::nullopt;
        problem.clear();
        preview.lineCount = -1;
    } else if (preview.lineCount > 0) {
        // The first line's length, then as much of it as was read.
        const std::optional<int> length = in.number();
        if (length && *length >= 0 && in.separator(':')) {
            const std::string_view rest = in.rest();
            preview.firstWords = firstCharacters(
                rest.substr(0, std::min<std::size_t>(rest.size(), *length)), kPreviewCharacters);
        }
    }
    preview.sourcePath = std::move(r.sourcePath);
    return preview;
}

std::optional<Recovered> readRecoveryFile(std::string_view bytes, std::string& problem)
{
    if (!readStart(bytes, bytes.size(), problem))
        return std::nullopt;
    if (bytes.size() < kEndLineLength || !isEndLine(bytes.substr(bytes.size() - kEndLineLength))) {
        problem = cutShort();
        return std::nullopt;
    }
    const std::string_view body = bytes.substr(0, bytes.size() - kEndLineLength);
    const std::string_view sum = bytes.substr(body.size() + kEndMark.size(), 8);
    if (sum != hex8(crc32(body))) {
        problem = std::string(kDamaged) + "its content does not match its check sum.";
        return std::nullopt;
    }

    Reader in(body);
    Recovered r;
    skipStart(in);
    if (!readFields(in, r, problem))
        return std::nullopt;
    problem = rangeProblem(r);
    if (!problem.empty())
        return std::nullopt;
    return r;
}

std::size_t restoreRecovered(const Recovered& recovered, engine::TabText& text,
                             engine::Staff& staff)
{
    std::vector<std::string> lines = recovered.lines;
    std::size_t replaced = 0;
    for (std::string& line : lines) {
        replaced += replaceLineBreakers(line);
        for (std::size_t at; (at = line.find_first_of("\r\n")) != std::string::npos; ++replaced)
            line.replace(at, 1, kReplacementCharacter);
    }
    text.appendLines(lines);
    staff.restoreChecked(recovered.snapshot);
    return replaced;
}

} // namespace quorlin::files
