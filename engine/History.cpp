#include "engine/History.h"

#include "engine/Packed.h"

#include <algorithm>
#include <utility>

namespace quorlin::engine {

namespace {

constexpr const char* kTyping = "typing";

// Two outer changes that became one step.
class BothChanges final : public OuterChange {
public:
    BothChanges(std::unique_ptr<OuterChange> first, std::unique_ptr<OuterChange> second) :
        m_first(std::move(first)), m_second(std::move(second))
    {
    }
    void undo() override
    {
        m_second->undo();
        m_first->undo();
    }
    void redo() override
    {
        m_first->redo();
        m_second->redo();
    }
    bool changes() const override { return m_first->changes() || m_second->changes(); }

private:
    std::unique_ptr<OuterChange> m_first, m_second;
};

} // namespace

std::unique_ptr<OuterChange> bothChanges(std::unique_ptr<OuterChange> first,
                                         std::unique_ptr<OuterChange> second)
{
    if (!first || !second)
        return first ? std::move(first) : std::move(second);
    return std::make_unique<BothChanges>(std::move(first), std::move(second));
}

namespace {

using packed::unzigzag;
using packed::zigzag;

constexpr auto putNumber = packed::put;
constexpr auto number = packed::take;

// A step's bytes: its label's number, whether it merges, and the two differences, each a
// mask of the fields it changes and then the change of each.
constexpr std::size_t kLabelBytes = 2;

} // namespace

History::History(Staff& staff, TabText& text) :
    m_staff(staff), m_text(text), m_revision(text.revision())
{
    m_now = pack(staff.snapshot());
    m_now[kKnown] = 0;
    // Levels the text had before the history began are not ours to take back.
    const auto levels = static_cast<std::size_t>(text.undoLevels());
    for (std::size_t level = 0; level < levels; ++level)
        push({kTyping, false, unknown(), unknown()}, nullptr);
    m_clean = m_index;
}

History::State History::unknown() const
{
    State state = m_now;
    state[kKnown] = 0;
    return state;
}

History::State History::pack(const Staff::Snapshot& snapshot)
{
    const EditingState& s = snapshot.state;
    auto tuning = std::find(m_tunings.begin(), m_tunings.end(), s.tuning);
    if (tuning == m_tunings.end())
        tuning = m_tunings.insert(m_tunings.end(), s.tuning);
    return {tuning - m_tunings.begin(),
            s.blockStart,
            s.lastString,
            s.lastFret,
            s.tabWidth,
            s.markCol,
            s.markRow,
            s.tempo,
            s.time.beats,
            s.time.beatType,
            s.stringCount.value(),
            s.setupUnlocked,
            s.chordAvailable,
            snapshot.needsBlock,
            snapshot.strippedBlanks,
            1};
}

Staff::Snapshot History::unpack(const State& state) const
{
    const auto field = [&state](Field f) { return static_cast<int>(state[f]); };
    Staff::Snapshot snapshot;
    EditingState& s = snapshot.state;
    s.blockStart = field(kBlockStart);
    s.lastString = field(kLastString);
    s.lastFret = field(kLastFret);
    s.tabWidth = field(kTabWidth);
    s.markCol = field(kMarkCol);
    s.markRow = field(kMarkRow);
    s.tempo = field(kTempo);
    s.time = {field(kBeats), field(kBeatType)};
    s.tuning = m_tunings[static_cast<std::size_t>(state[kTuning])];
    s.stringCount = instrument::StringCount(field(kStrings));
    s.setupUnlocked = state[kSetupUnlocked] != 0;
    s.chordAvailable = state[kChordAvailable] != 0;
    snapshot.needsBlock = state[kNeedsBlock] != 0;
    snapshot.strippedBlanks = state[kStrippedBlanks] != 0;
    return snapshot;
}

void History::encode(const Step& step, const State& previous)
{
    m_bytes.push_back(0);
    m_bytes.push_back(0);
    writeLabel(m_bytes.size() - kLabelBytes, step.label);
    m_bytes.push_back(step.mergeable ? 1 : 0);
    for (const auto& [from, to] : {std::pair{&previous, &step.before},
                                   std::pair{&step.before, &step.after}}) {
        std::uint64_t mask = 0;
        for (int f = 0; f < kFieldCount; ++f)
            mask |= std::uint64_t{(*from)[f] != (*to)[f]} << f;
        putNumber(m_bytes, mask);
        for (int f = 0; f < kFieldCount; ++f)
            if ((mask >> f & 1) != 0)
                putNumber(m_bytes, zigzag((*to)[f] - (*from)[f]));
    }
}

History::Step History::read(std::size_t index, const State& previous) const
{
    std::size_t at = static_cast<std::size_t>(m_starts[index]);
    Step step;
    step.label = labelAt(index);
    at += kLabelBytes;
    step.mergeable = m_bytes[at++] != 0;
    step.before = previous;
    for (State* state : {&step.before, &step.after}) {
        if (state == &step.after)
            step.after = step.before;
        const std::uint64_t mask = number(m_bytes, at);
        for (int f = 0; f < kFieldCount; ++f)
            if ((mask >> f & 1) != 0)
                (*state)[f] += unzigzag(number(m_bytes, at));
    }
    return step;
}

void History::writeLabel(std::size_t at, const char* label)
{
    auto id = std::find(m_labels.begin(), m_labels.end(), label);
    if (id == m_labels.end())
        id = m_labels.insert(m_labels.end(), label);
    const auto n = static_cast<std::size_t>(id - m_labels.begin());
    m_bytes[at] = static_cast<char>(n & 0xff);
    m_bytes[at + 1] = static_cast<char>(n >> 8);
}

const char* History::labelAt(std::size_t index) const
{
    const auto at = static_cast<std::size_t>(m_starts[index]);
    const std::size_t n = static_cast<unsigned char>(m_bytes[at]) |
                          static_cast<std::size_t>(static_cast<unsigned char>(m_bytes[at + 1]))
                              << 8;
    return m_labels[n];
}

void History::dropFrom(std::size_t size)
{
    if (size >= m_starts.size())
        return;
    m_bytes.resize(static_cast<std::size_t>(m_starts[size]));
    m_starts.resize(size);
    m_outer.erase(m_outer.lower_bound(size), m_outer.end());
}

void History::push(const Step& step, std::unique_ptr<OuterChange> outer)
{
    // A new step drops what undo had taken back, as the text's new level did.
    dropFrom(m_index);
    if (m_clean != kNowhere && m_clean > m_index)
        m_clean = kNowhere;
    m_starts.push_back(m_bytes.size());
    encode(step, m_now);
    if (outer)
        m_outer[m_index] = std::move(outer);
    m_now = step.after;
    ++m_index;
}

History::State History::beforeTop() const
{
    // Read from nothing, a step gives its changes; taken from the state after it, they give
    // the state after the step before.
    const Step change = read(m_index - 1, {});
    State previous = m_now;
    for (int f = 0; f < kFieldCount; ++f)
        previous[f] -= change.after[f];
    return previous;
}

History::Step History::top() const
{
    return read(m_index - 1, beforeTop());
}

void History::rewriteTop(const Step& step)
{
    const State previous = beforeTop();
    m_bytes.resize(static_cast<std::size_t>(m_starts[m_index - 1]));
    encode(step, previous);
    m_now = step.after;
}

void History::finish(const char* label, const Staff::Snapshot& before, int levels, bool joined,
                     StepOptions options)
{
    const Staff::Snapshot after = m_staff.snapshot();
    const bool textChanged = m_text.undoLevels() != levels;
    if (joined) {
        Step top = this->top();
        top.label = label;
        top.after = pack(after);
        top.mergeable = false;
        rewriteTop(top);
        auto& outer = m_outer[m_index - 1];
        outer = bothChanges(std::move(outer), std::move(options.outer));
        if (!outer)
            m_outer.erase(m_index - 1);
        if (m_clean == m_index)
            m_clean = kNowhere;
        seen();
        return;
    }
    const State packedBefore = pack(before);
    const State packedAfter = pack(after);
    // An outer change that changed nothing makes no step alone, but goes with one: undo
    // puts back what it holds as it was before the step.
    if (!textChanged && packedBefore == packedAfter && !(options.outer && options.outer->changes())) {
        seen();
        return;
    }
    if (options.mergeRepeats && !textChanged && !options.outer && canJoin() &&
        labelAt(m_index - 1) == label) {
        Step step = top();
        if (step.mergeable) {
            step.after = packedAfter;
            rewriteTop(step);
            if (m_clean == m_index)
                m_clean = kNowhere;
            seen();
            return;
        }
    }
    // Every step has its level in the text, so typing after a step that changed only the
    // state never joins the typing before it.
    if (!textChanged)
        m_text.addEmptyLevel();
    push({label, options.mergeRepeats, packedBefore, packedAfter}, std::move(options.outer));
    seen();
}

void History::settleText()
{
    const auto levels = static_cast<std::size_t>(m_text.undoLevels());
    if (m_text.revision() == m_revision && levels == m_index)
        return;
    const Staff::Snapshot before = m_staff.snapshot();
    m_staff.follow();
    const Staff::Snapshot after = m_staff.snapshot();
    if (levels > m_index) {
        // Levels the text made between two looks at it: only the first knows its state
        // before, only the last its state after.
        const std::size_t first = m_index;
        for (std::size_t level = first; level < levels; ++level) {
            const State from = level == first ? pack(before) : unknown();
            const State to = level + 1 == levels ? pack(after) : unknown();
            push({kTyping, false, from, to}, nullptr);
        }
    } else if (levels == m_index) {
        // More typing joined the text's last level.
        if (m_index > 0 && labelAt(m_index - 1) == kTyping && m_index == size()) {
            Step step = top();
            step.after = pack(after);
            rewriteTop(step);
            if (m_clean == m_index)
                m_clean = kNowhere;
        }
    } else {
        // The text's own undo ran without the history: what it took back cannot be redone here.
        while (m_index > levels) {
            const Step step = read(m_index - 1, {});
            --m_index;
            for (int f = 0; f < kFieldCount; ++f)
                m_now[f] -= step.after[f];
        }
        dropFrom(levels);
        if (m_clean != kNowhere && m_clean > m_index)
            m_clean = kNowhere;
    }
    seen();
}

void History::restore(const State& state)
{
    if (state[kKnown] != 0) {
        m_staff.restore(unpack(state));
    } else {
        m_staff.forgetPosition();
        m_staff.follow();
    }
    seen();
}

bool History::undo()
{
    settleText();
    if (m_index == 0)
        return false;
    // Read from nothing, a step gives its changes: taken from the state now they give the
    // state before it and the state after the step before.
    const Step change = read(--m_index, {});
    State before = m_now;
    for (int f = 0; f < kFieldCount; ++f) {
        before[f] -= change.after[f] - change.before[f];
        m_now[f] = before[f] - change.before[f];
    }
    m_text.undoLevel();
    if (const auto outer = m_outer.find(m_index); outer != m_outer.end())
        outer->second->undo();
    restore(before);
    return true;
}

bool History::redo()
{
    settleText();
    if (m_index == size())
        return false;
    const Step step = read(m_index, m_now);
    m_text.redoLevel();
    if (const auto outer = m_outer.find(m_index); outer != m_outer.end())
        outer->second->redo();
    ++m_index;
    m_now = step.after;
    restore(step.after);
    return true;
}

const char* History::undoLabel() const
{
    return m_index > 0 ? labelAt(m_index - 1) : nullptr;
}

const char* History::redoLabel() const
{
    return m_index < size() ? labelAt(m_index) : nullptr;
}

void History::relabelLast(const char* label)
{
    if (m_index == 0)
        return;
    writeLabel(static_cast<std::size_t>(m_starts[m_index - 1]), label);
}

void History::markClean()
{
    m_clean = m_index;
}

} // namespace quorlin::engine
