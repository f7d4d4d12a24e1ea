#include "engine/History.h"

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

History::History(Staff& staff, TabText& text) :
    m_staff(staff), m_text(text), m_index(static_cast<std::size_t>(text.undoLevels())),
    m_revision(text.revision())
{
    // Levels the text had before the history began are not ours to take back.
    resizeSteps(m_index);
    m_clean = m_index;
}

void History::resizeSteps(std::size_t size)
{
    if (size < m_steps.size())
        m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(size), m_steps.end());
    while (m_steps.size() < size)
        m_steps.push_back({kTyping, {}, {}, nullptr});
}

History::State History::pack(const Staff::Snapshot& snapshot)
{
    const EditingState& s = snapshot.state;
    if (!m_tuning || !(*m_tuning == s.tuning))
        m_tuning = std::make_shared<const instrument::Tuning>(s.tuning);
    return {m_tuning,
            s.blockStart,
            s.lastString,
            s.lastFret,
            s.tabWidth,
            s.markCol,
            s.markRow,
            static_cast<std::int16_t>(s.tempo),
            static_cast<std::uint8_t>(s.time.beats),
            static_cast<std::uint8_t>(s.time.beatType),
            static_cast<std::uint8_t>(s.stringCount.value()),
            s.setupUnlocked,
            s.chordAvailable,
            snapshot.needsBlock,
            snapshot.strippedBlanks,
            true};
}

Staff::Snapshot History::unpack(const State& state)
{
    Staff::Snapshot snapshot;
    EditingState& s = snapshot.state;
    s.blockStart = state.blockStart;
    s.lastString = state.lastString;
    s.lastFret = state.lastFret;
    s.tabWidth = state.tabWidth;
    s.markCol = state.markCol;
    s.markRow = state.markRow;
    s.tempo = state.tempo;
    s.time = {state.beats, state.beatType};
    s.tuning = *state.tuning;
    s.stringCount = instrument::StringCount(state.strings);
    s.setupUnlocked = state.setupUnlocked;
    s.chordAvailable = state.chordAvailable;
    snapshot.needsBlock = state.needsBlock;
    snapshot.strippedBlanks = state.strippedBlanks;
    return snapshot;
}

void History::push(Step step)
{
    if (m_index > 0 && m_index <= m_steps.size() && step.before == m_steps[m_index - 1].after) {
        step.before = {};
        step.beforeIsPrevious = true;
    }
    // A new step drops what undo had taken back, as the text's new level did.
    resizeSteps(m_index);
    if (m_clean != kNowhere && m_clean > m_index)
        m_clean = kNowhere;
    m_steps.push_back(std::move(step));
    ++m_index;
}

void History::finish(const char* label, const Staff::Snapshot& before, int levels, bool joined,
                     StepOptions options)
{
    const Staff::Snapshot after = m_staff.snapshot();
    const bool textChanged = m_text.undoLevels() != levels;
    if (joined) {
        Step& top = m_steps[m_index - 1];
        top.label = label;
        top.after = pack(after);
        top.mergeable = false;
        top.outer = bothChanges(std::move(top.outer), std::move(options.outer));
        if (m_clean == m_index)
            m_clean = kNowhere;
        seen();
        return;
    }
    // An outer change that changed nothing makes no step alone, but goes with one: undo
    // puts back what it holds as it was before the step.
    if (!textChanged && before == after && !(options.outer && options.outer->changes())) {
        seen();
        return;
    }
    if (options.mergeRepeats && !textChanged && !options.outer && canJoin()) {
        Step& top = m_steps[m_index - 1];
        if (top.mergeable && top.label == label) {
            top.after = pack(after);
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
    State packedBefore = pack(before);
    push({label, std::move(packedBefore), pack(after), std::move(options.outer),
          options.mergeRepeats});
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
            push({kTyping, level == first ? pack(before) : State{},
                  level + 1 == levels ? pack(after) : State{}, nullptr});
        }
    } else if (levels == m_index) {
        // More typing joined the text's last level.
        if (m_index > 0 && m_steps[m_index - 1].label == kTyping) {
            m_steps[m_index - 1].after = pack(after);
            if (m_clean == m_index)
                m_clean = kNowhere;
        }
    } else {
        // The text's own undo ran without the history: what it took back cannot be redone here.
        resizeSteps(levels);
        m_index = levels;
        if (m_clean != kNowhere && m_clean > m_index)
            m_clean = kNowhere;
    }
    seen();
}

void History::restore(const State& state)
{
    if (state.known) {
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
    Step& step = m_steps[--m_index];
    m_text.undoLevel();
    if (step.outer)
        step.outer->undo();
    restore(stateBefore(m_index));
    return true;
}

bool History::redo()
{
    settleText();
    if (m_index == m_steps.size())
        return false;
    Step& step = m_steps[m_index++];
    m_text.redoLevel();
    if (step.outer)
        step.outer->redo();
    restore(step.after);
    return true;
}

const History::State& History::stateBefore(std::size_t step) const
{
    return m_steps[step].beforeIsPrevious ? m_steps[step - 1].after : m_steps[step].before;
}

const char* History::undoLabel() const
{
    return m_index > 0 ? m_steps[m_index - 1].label : nullptr;
}

const char* History::redoLabel() const
{
    return m_index < m_steps.size() ? m_steps[m_index].label : nullptr;
}

void History::relabelLast(const char* label)
{
    if (m_index > 0)
        m_steps[m_index - 1].label = label;
}

void History::markClean()
{
    m_clean = m_index;
}

} // namespace quorlin::engine
