#pragma once

// The undo history of user actions. A step keeps what it changed of the editing state, as
// bytes; what it did to the text lives in the text's own journal, one level per step, so that
// a step costs what it changed and never a copy of the tab. Typing in the text comes in as steps
// of their own, grouped as the text groups them.

#include "engine/Staff.h"
#include "engine/TabText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

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
    std::size_t size() const { return m_starts.size(); }

private:
    // A snapshot as numbers, one a field, so that a step keeps only the fields it changed.
    // The tuning is a number too: the tunings a history meets are few, each kept once.
    enum Field : int {
        kTuning, kBlockStart, kLastString, kLastFret, kTabWidth, kMarkCol, kMarkRow, kTempo,
        kBeats, kBeatType, kStrings, kSetupUnlocked, kChordAvailable, kNeedsBlock,
        kStrippedBlanks,
        // 0: the state is whatever the text then implies.
        kKnown,
        kFieldCount
    };
    using State = std::array<std::int64_t, kFieldCount>;

    // A step as it is kept: its label, and each state as the difference from the one before
    // it (the state before a step from the one after the step before, as nearly always the
    // same).
    struct Step {
        const char* label = nullptr;
        bool mergeable = false;
        State before{}, after{};
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

    bool canJoin() const { return m_index > 0 && m_index == size(); }
    void finish(const char* label, const Staff::Snapshot& before, int levels, bool joined,
                StepOptions options);
    State pack(const Staff::Snapshot& snapshot);
    Staff::Snapshot unpack(const State& state) const;
    // Unknown, and otherwise the state now, so that it costs nothing to keep.
    State unknown() const;
    // Appends a step after the present one, dropping what undo had taken back.
    void push(const Step& step, std::unique_ptr<OuterChange> outer);
    // The step at `index`, its states from the state after the step before it.
    Step read(std::size_t index, const State& previous) const;
    const char* labelAt(std::size_t index) const;
    // The label's number, in the two bytes at `at`.
    void writeLabel(std::size_t at, const char* label);
    // The last step, and the state after the step before it.
    Step top() const;
    State beforeTop() const;
    // The last step kept anew, the state after the step before it as it is.
    void rewriteTop(const Step& step);
    void encode(const Step& step, const State& previous);
    // Drops the steps from `size` on.
    void dropFrom(std::size_t size);
    void restore(const State& state);
    void seen() { m_revision = m_text.revision(); }

    Staff& m_staff;
    TabText& m_text;
    // Every step's bytes, one after another, and where each begins.
    std::deque<char> m_bytes;
    std::deque<std::uint64_t> m_starts;
    std::vector<const char*> m_labels;
    std::vector<instrument::Tuning> m_tunings;
    std::map<std::size_t, std::unique_ptr<OuterChange>> m_outer; // by step
    // Steps before this one are done; those from it on were undone and may be redone.
    std::size_t m_index = 0;
    // The state after step m_index - 1, or the one the history began with.
    State m_now{};
    static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);
    std::size_t m_clean = 0;
    std::uint64_t m_revision;
};

} // namespace quorlin::engine
