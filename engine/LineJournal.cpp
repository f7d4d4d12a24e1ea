#include "engine/LineJournal.h"

#include "engine/Packed.h"

#include <algorithm>
#include <iterator>

namespace quorlin::engine {

namespace {

// A change's bytes: its kind, then numbers as 7-bit groups and texts after their length.
constexpr char kSplice = 'S';
constexpr char kExtends = 'E';
constexpr char kCuts = 'C';
constexpr int kLongestRun = 255;

class Reader {
public:
    Reader(const std::deque<char>& bytes, std::size_t from) : m_bytes(bytes), m_at(from) {}
    std::size_t at() const { return m_at; }
    char kind() { return m_bytes[m_at++]; }
    int count() { return static_cast<unsigned char>(m_bytes[m_at++]); }
    std::uint64_t number() { return packed::take(m_bytes, m_at); }
    int index() { return static_cast<int>(number()); }
    std::string text()
    {
        const auto size = static_cast<std::size_t>(number());
        const auto begin = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at);
        m_at += size;
        return std::string(begin, begin + static_cast<std::ptrdiff_t>(size));
    }

private:
    const std::deque<char>& m_bytes;
    std::size_t m_at;
};

using packed::unzigzag;
using packed::zigzag;

constexpr auto putNumber = packed::put;

void putText(std::deque<char>& bytes, std::string_view text)
{
    putNumber(bytes, text.size());
    bytes.insert(bytes.end(), text.begin(), text.end());
}

// A splice as kept: lines index .. index + countNow - 1 become countThen lines, their text
// kept between `prefix` and `suffix` with `middle` put between.
void putSplice(std::deque<char>& bytes, int index, int countNow, std::size_t prefix,
               std::size_t suffix, int countThen, std::string_view middle)
{
    bytes.push_back(kSplice);
    putNumber(bytes, static_cast<std::uint64_t>(index));
    putNumber(bytes, static_cast<std::uint64_t>(countNow));
    putNumber(bytes, prefix);
    putNumber(bytes, suffix);
    putNumber(bytes, static_cast<std::uint64_t>(countThen));
    putText(bytes, middle);
}

std::string joinedLines(const JournalLines& lines, int index, int count)
{
    std::string joined, buffer;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            joined.push_back('\n');
        joined.append(lines.text(index + i, buffer));
    }
    return joined;
}

// A run's lines: the first by number, each after it by how far it is from the one before.
struct RunIndex {
    int last = 0;
    bool first = true;
    int read(Reader& in)
    {
        last = first ? in.index() : static_cast<int>(last + unzigzag(in.number()));
        first = false;
        return last;
    }
    void write(std::deque<char>& bytes, int index)
    {
        putNumber(bytes, first ? static_cast<std::uint64_t>(index) : zigzag(std::int64_t{index} - last));
        last = index;
        first = false;
    }
};

// Applies the change at `at` to the lines and writes the change that undoes it.
void applyChange(const std::deque<char>& bytes, std::size_t at, JournalLines& lines,
                 std::deque<char>& inverse)
{
    Reader in(bytes, at);
    const char kind = in.kind();
    if (kind == kSplice) {
        const int index = in.index();
        const int countNow = in.index();
        const auto prefix = static_cast<std::size_t>(in.number());
        const auto suffix = static_cast<std::size_t>(in.number());
        const int countThen = in.index();
        const std::string middleThen = in.text();
        const std::string now = joinedLines(lines, index, countNow);
        const std::size_t head = std::min(prefix, now.size());
        const std::size_t tail = std::min(suffix, now.size() - head);
        std::string then = now.substr(0, head);
        then.append(middleThen).append(now, now.size() - tail, tail);
        lines.spliceLines(index, countNow, then, countThen);
        putSplice(inverse, index, countThen, head, tail, countNow,
                  std::string_view(now).substr(head, now.size() - head - tail));
        return;
    }
    // A run is taken back from its last line to its first, and its inverse written in that
    // order, so that applying it the same way puts the lines forward again.
    const int count = in.count();
    struct Entry {
        int line;
        std::string tail;  // of an extension
        std::size_t bytes; // of a cut
    };
    std::vector<Entry> entries;
    RunIndex index;
    for (int i = 0; i < count; ++i) {
        Entry& e = entries.emplace_back();
        e.line = index.read(in);
        if (kind == kExtends)
            e.tail = in.text();
        else
            e.bytes = static_cast<std::size_t>(in.number());
    }
    inverse.push_back(kind == kExtends ? kCuts : kExtends);
    inverse.push_back(static_cast<char>(count));
    RunIndex written;
    std::string buffer;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        written.write(inverse, e->line);
        if (kind == kExtends) {
            lines.extendLine(e->line, e->tail);
            putNumber(inverse, e->tail.size());
        } else {
            const std::string_view text = lines.text(e->line, buffer);
            const std::size_t cut = std::min(e->bytes, text.size());
            putText(inverse, text.substr(text.size() - cut));
            lines.cutLine(e->line, cut);
        }
    }
}

// Takes the last level of `from` through the lines, and keeps its inverse as the last of `to`.
void moveLevel(LineJournal::Levels& from, LineJournal::Levels& to, JournalLines& lines)
{
    const auto start = static_cast<std::size_t>(from.starts.back());
    std::vector<std::size_t> changes;
    for (Reader in(from.bytes, start); in.at() < from.bytes.size();) {
        changes.push_back(in.at());
        const char kind = in.kind();
        if (kind == kSplice) {
            for (int i = 0; i < 5; ++i)
                in.number();
            in.text();
        } else {
            const int count = in.count();
            for (int i = 0; i < count; ++i) {
                in.number();
                if (kind == kExtends)
                    in.text();
                else
                    in.number();
            }
        }
    }
    to.starts.push_back(to.bytes.size());
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        applyChange(from.bytes, *change, lines, to.bytes);
    from.bytes.resize(start);
    from.starts.pop_back();
}

} // namespace

void spliceInto(std::vector<std::string>& into, int index, int count, std::string_view joined,
                int lines)
{
    std::vector<std::string> made;
    made.reserve(static_cast<std::size_t>(std::max(lines, 0)));
    for (int i = 0; i < lines; ++i) {
        const std::size_t end = i + 1 < lines ? joined.find('\n') : joined.size();
        made.emplace_back(joined.substr(0, end));
        joined.remove_prefix(std::min(joined.size(), end + 1));
    }
    const auto at = into.begin() + index;
    into.erase(at, at + count);
    into.insert(into.begin() + index, std::make_move_iterator(made.begin()),
                std::make_move_iterator(made.end()));
}

void LineJournal::beginGroup(bool joinPrevious)
{
    if (m_depth++ == 0) {
        m_levelOpen = false;
        m_joining = joinPrevious && !m_done.starts.empty() && m_undone.starts.empty();
        m_runCount = kNoRun;
    }
}

void LineJournal::endGroup()
{
    if (m_depth > 0 && --m_depth == 0)
        m_runCount = kNoRun;
}

void LineJournal::openLevel()
{
    // A new level drops whatever undo had taken back.
    m_undone.bytes.clear();
    m_undone.starts.clear();
    m_done.starts.push_back(m_done.bytes.size());
    m_runCount = kNoRun;
}

void LineJournal::addEmptyLevel()
{
    openLevel();
    m_joinNext = false;
}

void LineJournal::aboutToRecord()
{
    if (m_depth == 0) {
        if (!(m_joinNext && !m_done.starts.empty() && m_undone.starts.empty()))
            openLevel();
        m_joinNext = false;
        m_runCount = kNoRun;
    } else if (!m_levelOpen) {
        if (!m_joining)
            openLevel();
        m_levelOpen = true;
    }
}

void LineJournal::extended(int index, std::string_view tail)
{
    aboutToRecord();
    std::deque<char>& bytes = m_done.bytes;
    // Undo needs only how much to cut: the tail is read off the line when undo cuts it.
    if (m_runCount != kNoRun && static_cast<unsigned char>(bytes[m_runCount]) < kLongestRun) {
        bytes[m_runCount] = static_cast<char>(static_cast<unsigned char>(bytes[m_runCount]) + 1);
        putNumber(bytes, zigzag(std::int64_t{index} - m_runLast));
    } else {
        bytes.push_back(kCuts);
        m_runCount = bytes.size();
        bytes.push_back(1);
        putNumber(bytes, static_cast<std::uint64_t>(index));
    }
    m_runLast = index;
    putNumber(bytes, tail.size());
    // Outside a group each change is a level of its own, and so no run to join.
    if (m_depth == 0)
        m_runCount = kNoRun;
}

void LineJournal::spliced(int index, int oldCount, std::string_view before, int newCount,
                          std::string_view after)
{
    aboutToRecord();
    m_runCount = kNoRun;
    const std::size_t shorter = std::min(before.size(), after.size());
    const auto prefix = static_cast<std::size_t>(
        std::mismatch(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(shorter),
                      after.begin())
            .first -
        before.begin());
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    putSplice(m_done.bytes, index, newCount, prefix, suffix, oldCount,
              before.substr(prefix, before.size() - prefix - suffix));
}

void LineJournal::undo(JournalLines& lines)
{
    if (m_done.starts.empty())
        return;
    m_runCount = kNoRun;
    m_joinNext = false;
    moveLevel(m_done, m_undone, lines);
}

void LineJournal::redo(JournalLines& lines)
{
    if (m_undone.starts.empty())
        return;
    m_runCount = kNoRun;
    m_joinNext = false;
    moveLevel(m_undone, m_done, lines);
}

} // namespace quorlin::engine
