#pragma once

// The tab as a file: the Save and Load dialogs, writing and reading through the tab file
// format, and whether the history has moved away from what was last saved.

#include "document/QtTabText.h"
#include "files/TabFile.h"

#include <QFileDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quorlin::engine {
class History;
class OuterChange;
class Staff;
} // namespace quorlin::engine

namespace quorlin::ui {

// The main window's caption, also the caption of its questions about the tab.
inline const QString kCaption = QStringLiteral("Quorlin v1.0");

class Prompter;
class TabFileDialog;

class THeaderForm;

class TabDocument {
public:
    TabDocument(QWidget& window, Prompter& prompter, document::QtTabText& text,
                const engine::Staff& staff, engine::History& history);

    void setHeaderForm(THeaderForm* header) { m_header = header; }

    // Asks for a name and writes the tab there; false when cancelled or failed (said so).
    bool save();
    // Writes to the file last loaded or saved; asks for a name when there is none yet.
    bool saveToCurrent();
    bool write(const QString& path);
    // Asks for a file and reads it; nothing when cancelled or unreadable (said so).
    std::optional<files::LoadedTab> chooseAndRead();
    // Reads the file at `path`; nothing when it cannot be read (said so, naming the file).
    std::optional<files::LoadedTab> read(const QString& path);
    // The file the tab was last loaded from or saved to; empty for a new tab.
    const QString& path() const { return m_path; }
    // Forgets the file: the tab is new again (Clear tab).
    void forgetPath() { m_path.clear(); }
    // The step that takes the tab from the file at `before` to the one at `after` puts the
    // name back with the tab on undo, so that Save never writes a tab into another's file.
    // Null when the name does not change.
    std::unique_ptr<engine::OuterChange> pathChange(const QString& before, const QString& after);
    // The file the last read came from, until the load is reported.
    const QString& reading() const { return m_reading; }
    // A tab brought back from a recovery copy belongs to the file it came from.
    void setPath(const QString& path) { m_path = path; }
    // Called whenever the tab has just been saved or loaded: it is safe in its file.
    void setSaved(std::function<void()> saved) { m_saved = std::move(saved); }
    // "song.tab" or "new tab", with a mark when there is unsaved work, for the status bar.
    QString title();
    // Called with each file read or written, newest last.
    void setFileUsed(std::function<void(const QString&)> used) { m_used = std::move(used); }
    // The warnings a loaded file deserves, once it is in the window.
    void reportLoaded(const files::LoadedTab& tab);

    // Asks before unsaved work is dropped; false when the user wants to stay.
    bool maybeSave();
    void markSaved();

private:
    // The chosen path, or nothing when the user cancelled.
    QString choose(TabFileDialog*& dialog, const char* name, const QString& title,
                   QFileDialog::AcceptMode mode);

    QWidget& m_window;
    Prompter& m_prompter;
    document::QtTabText& m_text;
    const engine::Staff& m_staff;
    engine::History& m_history;
    THeaderForm* m_header = nullptr;
    QString m_path;
    // The path chooseAndRead or read took, until the load is reported.
    QString m_reading;
    std::function<void(const QString&)> m_used;
    std::function<void()> m_saved;
    TabFileDialog* m_saveFile = nullptr;
    TabFileDialog* m_openFile = nullptr;
};

} // namespace quorlin::ui
