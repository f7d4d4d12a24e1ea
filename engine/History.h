#pragma once

// The undo history of user actions. A step keeps the editing state before and after it;
// what it did to the text lives in the text's own undo, one level per step, so that a step
// costs what it changed and never a copy of the tab. Typing in the text comes in as steps
// of their own, grouped as the text groups them.

#include "engine/Staff.h"
#include "engine/TabText.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace quorlin::engine {

// What a step changes besides the text and the engine, such as the song header. It has
// been done already when the step is recorded.
class OuterChange {
public:
    virtual ~OuterChange() = default;
    virtual void undo() = 0;
    virtual void redo() = 0;
    // False when it turned out to change nothing: alone it then makes no step.
    virtual bool changes() const { return true; }
};

// One outer change doing both, the first done first and undone last; either may be null.
std::unique_ptr<OuterChange> bothChanges(std::unique_ptr<OuterChange> first,
                                         std::unique_ptr<OuterChange> second);

struct StepOptions {
    // The action finishes the step before it (a load after its "Clear tab").
    bool joinPrevious = false;
    // A run of the same action on the state alone is one step (a width typed digit by digit).
    bool mergeRepeats = false;
    std::unique_ptr<OuterChange> outer;
};

class History {
public:
    History(Staff& staff, TabText& text);

    // Runs one user action as one step; an action that changes nothing leaves none. The label
    // names the step in "Undo ..." and must live as long as the history (a literal).
    template <typename Action>
    void record(const char* label, Action&& action, StepOptions options = {})
    {
        settleText();
        const Staff::Snapshot before = m_staff.snapshot();
        const int levels = m_text.undoLevels();
        const bool join = options.joinPrevious && canJoin();
        {
            const Group group(m_text, join);
            action();
        }
        finish(label, before, levels, join, std::move(options));
    }

    // Takes in what changed in the text behind the engine's back as steps of their own. Every
    // other call does so first.
    void settleText();

    // Names the last step anew, once its action's outcome is known.
    void relabelLast(const char* label);

    bool undo();
    bool redo();
    // The labels of what undo and redo would do next; null when there is nothing.
    const char* undoLabel() const;
    const char* redoLabel() const;

    // Saved: the unsaved-work question asks only when the history has moved away from here.
    void markClean();
    bool isClean() const { return m_clean == m_index; }

    std::size_t position() const { return m_index; }
    std::size_t size() const { return m_steps.size(); }

private:
    // A snapshot packed small: steps are many, and the tuning they hold is nearly always the
    // one of the step before, so it is shared.
    struct State {
        std::shared_ptr<const instrument::Tuning> tuning;
        std::int32_t blockStart = 0, lastString = 0, lastFret = 0, tabWidth = 0, markCol = 0,
                     markRow = 0;
        std::int16_t tempo = 0;
        std::uint8_t beats = 0, beatType = 0;
        std::uint8_t strings = 0;
        bool setupUnlocked = false, chordAvailable = false, needsBlock = false,
             strippedBlanks = false;
        // False: the state is whatever the text then implies.
        bool known = false;

        bool operator==(const State&) const = default;
    };

    struct Step {
        const char* label;
        State before;
        State after;
        std::unique_ptr<OuterChange> outer;
        bool mergeable = false;
        // The state before is the one after the step before, as nearly always: kept once.
        bool beforeIsPrevious = false;
    };

    class Group {
    public:
        Group(TabText& text, bool join) : m_text(text) { m_text.beginGroup(join); }
        ~Group() { m_text.endGroup(); }
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;

    private:
        TabText& m_text;
    };

    bool canJoin() const { return m_index > 0 && m_index == m_steps.size(); }
    void finish(const char* label, const Staff::Snapshot& before, int levels, bool joined,
                StepOptions options);
    State pack(const Staff::Snapshot& snapshot);
    static Staff::Snapshot unpack(const State& state);
    void push(Step step);
    // Steps the text has levels for but the history knows nothing of take the state from
    // the text.
    void resizeSteps(std::size_t size);
    void restore(const State& state);
    const State& stateBefore(std::size_t step) const;
    void seen() { m_revision = m_text.revision(); }

    Staff& m_staff;
    TabText& m_text;
    // A deque grows without copying its steps or keeping room it may never fill.
    std::deque<Step> m_steps;
    // Steps before this one are done; those from it on were undone and may be redone.
    std::size_t m_index = 0;
    static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);
    std::size_t m_clean = 0;
    std::uint64_t m_revision;
    std::shared_ptr<const instrument::Tuning> m_tuning;
};

} // namespace quorlin::engine
