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
#include "score/Score.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

class QTextDocument;

namespace quorlin::files {
struct LoadedTab;
struct Recovered;
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
};

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
    // The tab read as music.
    score::Score score() const;
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
    using Version = std::tuple<int, std::size_t, engine::Staff::Snapshot>;
    Version version() const;

    // The tab read as columns, read again only after the text or the set-up changed; empty
    // while the text holds what the engine never writes (a line typed by hand).
    const std::vector<engine::Column>& columns() const;
    // The column the tab cursor is on; none while the next note is appended. Not a step: it
    // moves nothing in the tab.
    std::optional<int> tabCursor() const { return m_tabCursor; }
    // Out of the columns' range means appending.
    void setTabCursor(std::optional<int> column);

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
    std::uint64_t m_textChanges = 0;
    struct ReadColumns {
        std::uint64_t revision = ~std::uint64_t{0};
        int strings = 0;
        int width = 0;
        std::vector<engine::Column> columns;
    };
    mutable ReadColumns m_columns;
};

} // namespace quorlin::document
