#pragma once

// The tab being edited, in one place: its text, the engine's staff and history, the song
// header, the file it belongs to and whether it is saved. Every user action goes through
// here as one step of the history, and `changed` follows each of them, each undo and redo
// and each edit the user's hands make in the text. Windows and dialogs edit copies and
// commit them through it.

#include "document/QtTabText.h"
#include "engine/Columns.h"
#include "engine/History.h"
#include "engine/Staff.h"
#include "files/SongHeader.h"
#include "model/Song.h"
#include "score/Score.h"
#include "tabtext/TabCodec.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

class QTextDocument;

namespace quorlin::files {
struct LoadedTab;
struct Recovered;
struct SongTab;
} // namespace quorlin::files

namespace quorlin::document {

// A whole tab made outside the staff (an import, a retune) to put in place of the present.
struct NewTab {
    std::vector<std::string> lines;
    engine::LoadedState setup;
    // Names the step in "Undo ...": a literal.
    const char* label = "";
    // Said once in the status bar.
    QString report;
    // An imported tab is a new one: saving it must not overwrite the file the old one was.
    bool newDocument = false;
    // A song from another program's file brings its header along, in the same step.
    std::optional<files::SongHeader> header;
};

// A song's track made a tab, as a new tab in place of `now`: the song's strings, tuning,
// tempo, header and time signature (else the present one), the present width.
NewTab songNewTab(const files::SongTab& made, const engine::EditingState& now, const char* label,
                  QString report);

class Document : public QObject {
    Q_OBJECT

public:
    // `text` is the text area's own document: the text area is the tab.
    explicit Document(QTextDocument& text, QObject* parent = nullptr);
    ~Document() override;

    const engine::EditingState& state() const { return m_staff->state(); }
    const engine::History& history() const { return *m_history; }
    const engine::Staff& staff() const { return *m_staff; }
    QtTabText& text() { return *m_text; }
    const QtTabText& text() const { return *m_text; }
    bool isEmpty() const { return m_text->count() == 0; }
    // The tab as a song: the track read tolerantly from the text, where its beats stand in
    // it, and the set-up it is played with. Read again only from the first line changed.
    const model::Song& song() const;
    const tabtext::Layout& layout() const;
    // The song as music in time.
    const score::Score& score() const;
    // Takes in what the user typed since the last action, so the staff reads it.
    void follow();

    // The set-up kept from the last run, taken at start: not a step.
    void restoreSetup(instrument::StringCount strings, const instrument::Tuning& tuning);

    // The user's actions, each one step of the history.
    void newLine();
    engine::DropOutcome placeNote(const engine::Drop& drop);
    void setRest(char symbol, bool dotted);
    void repeatLast(bool triplet);
    void deleteLast();
    void setTabWidth(int width);
    void setStringCount(int count);
    void setTempo(int bpm);
    // A step only when it changes.
    void setTimeSignature(model::TimeSignature time);
    void retuneString(int row, const std::string& name);
    // "Clear tab": the tab is empty and new, belonging to no file; the header stays.
    void clear();
    // A file just read goes in place of the tab; `joinPrevious`: its "Clear tab" came first,
    // and one undo takes both back.
    void load(const files::LoadedTab& tab, const QString& path, bool joinPrevious);
    void replace(const NewTab& tab);
    // Brought back as one step, as unsaved work: undo gives the empty tab again.
    void restore(const files::Recovered& copy);
    // The header dialog's "Ok"; a step only when something changed.
    void setHeader(const files::SongHeader& header);
    // Undo, or redo when `forward`; false when there was nothing to take back or redo.
    bool moveInHistory(bool forward);

    // The header as the file writer saves it. Once bound, the comment lines are read from
    // their source each time: what the memo holds, confirmed or not.
    files::SongHeader header() const;
    void bindComments(std::function<std::vector<std::string>()> source);

    // The file the tab was last loaded from or saved to; empty for a new tab.
    const QString& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    // The tab is safe in `path` now.
    void markSaved(const QString& path);
    bool isModified();
    // "song.tab" or "new tab", with a mark when there is unsaved work.
    QString title();
    // The whole tab as a recovery copy takes it.
    files::Recovered recoveryCopy();
    // Differs whenever the text, the history or the staff moved.
    using Version = std::tuple<std::uint64_t, std::size_t, engine::Staff::Snapshot>;
    Version version() const;

    // The tab read as columns, read again only after the text or the set-up changed; empty
    // while the text holds what the engine never writes (a line typed by hand).
    const std::vector<engine::Column>& columns() const;
    // Why the text cannot be read as columns ("Line 14: a cell no writer makes"); empty when
    // it can.
    const std::string& columnsProblem() const;
    // The column the tab cursor is on; none while the next note is appended. Not a step: it
    // moves nothing in the tab.
    std::optional<int> tabCursor() const { return m_tabCursor; }
    // Out of the columns' range means appending. `extend`: the columns from where the cursor
    // stood (or from where a selection began) to `column` are selected; else none are.
    void setTabCursor(std::optional<int> column, bool extend = false);
    // The selected columns as [first, last), triplets whole; none without a selection.
    std::optional<std::pair<int, int>> selection() const;

    // Edits at the tab cursor, each one step that undo takes back with the cursor and the
    // selection as they were. Without a tab cursor they do nothing, except where said.
    struct Edited {
        engine::DropOutcome outcome = engine::DropOutcome::Written;
        // Hammer-ons, pull-offs and slides left with no note before them, now plain notes,
        // as the columns' indices after the edit.
        std::vector<int> turnedPlain;
        // A transposition refused for these notes (column index and the note as it was).
        std::vector<std::pair<std::size_t, engine::ColumnNote>> misfits;
    };
    // The cursor's column takes the drop's string and fret, keeping its duration, dot and
    // technique (a rest's note is plain); a chord note is added to it or takes the place of
    // its note on that string. The drop's own duration and technique count for nothing here.
    Edited replaceAtCursor(const engine::Drop& drop);
    Edited restAtCursor(char symbol, bool dotted);
    Edited durationAtCursor(char symbol, bool dotted);
    // A triplet entry makes the column a triplet of its note; a chord entry does nothing.
    Edited techniqueAtCursor(engine::Technique technique,
                             engine::Entry entry = engine::Entry::Single);
    // Before the cursor's column, which the cursor stays on; while appending, at the end.
    Edited insertAtCursor(const engine::Drop& drop);
    // The selection, or else the cursor's column; the cursor goes to the column that takes
    // its place, or to appending.
    Edited deleteAtCursor(bool cut = false);
    // The column before the cursor's.
    Edited deleteBeforeCursor();
    // Before the cursor's column, or at the end while appending.
    Edited paste(std::vector<engine::Column> run);
    // The selected columns, or else the cursor's one; none while appending.
    std::vector<engine::Column> copyAtCursor() const;
    // The notes of the selection, or else of the cursor's column, moved by `semitones`.
    Edited transposeAtCursor(int semitones);

signals:
    void changed();
    // The width, strings and tempo were set from outside the fields that show them (undo,
    // a load, an import): the fields show them again.
    void setupReplaced();
    // The user's hands changed the text and that locked the set-up.
    void setupLockedByHand();
    void headerChanged();
    // The tab is safe in its file (saved or loaded).
    void saved();
    void tabCursorMoved();

private:
    template <typename Action>
    void act(const char* label, Action&& action, engine::StepOptions options = {});
    // Runs `edit` on the columns as one step; it returns where the cursor goes and its result.
    // `atEndToo`: while appending, it runs with the index after the last column.
    // `placed`: the note the user put there, which the neck's "X" then marks.
    template <typename Edit>
    Edited editColumns(const char* label, Edit&& edit, bool atEndToo = false,
                       const engine::Drop* placed = nullptr);
    // The range the edit keys work on: the selection, or the cursor's column, triplets whole.
    std::optional<std::pair<std::size_t, std::size_t>> editedRange() const;
    std::unique_ptr<engine::OuterChange> pathChange(const QString& after);
    std::unique_ptr<engine::OuterChange> headerChange(const files::SongHeader& after);
    void putHeader(const files::SongHeader& header);
    void followHandEdits();

    QTextDocument& m_qtText;
    std::unique_ptr<QtTabText> m_text;
    std::unique_ptr<engine::Staff> m_staff;
    std::unique_ptr<engine::History> m_history;
    files::SongHeader m_header;
    std::function<std::vector<std::string>()> m_comments;
    QString m_path;
    bool m_followPending = false;
    std::optional<int> m_tabCursor;
    std::optional<int> m_selectionStart;
    std::uint64_t m_textChanges = 0;
    // The first line changed since the columns were read: they are read again from there.
    mutable int m_changedFrom = 0;
    struct ReadColumns {
        std::uint64_t revision = ~std::uint64_t{0};
        int strings = 0;
        int width = 0;
        bool readable = false;
        std::string problem;
        std::vector<engine::Column> columns;
    };
    mutable ReadColumns m_columns;
    // The first line changed since the song was read.
    mutable int m_songChangedFrom = 0;
    struct ReadSong {
        std::uint64_t revision = ~std::uint64_t{0};
        model::Song song;
        tabtext::Layout layout;
        std::vector<tabtext::Skip> skipped;
        std::uint64_t scoreRevision = ~std::uint64_t{0};
        int scoreTempo = 0;
        score::Score score;
    };
    mutable ReadSong m_song;
    void readSong() const;
};

} // namespace quorlin::document
