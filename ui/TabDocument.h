#pragma once

// The tab as a file: the Save and Load dialogs, writing and reading through the tab file
// format, and whether the history has moved away from what was last saved.

#include "files/TabFile.h"

#include <QFileDialog>
#include <QString>

#include <optional>

class QWidget;

namespace quorlin::engine {
class History;
class Staff;
} // namespace quorlin::engine

namespace quorlin::ui {

// The main window's caption, also the caption of its questions about the tab.
inline const QString kCaption = QStringLiteral("Quorlin v1.0");

class Prompter;
class TabFileDialog;
class TextAreaTabText;
class THeaderForm;

class TabDocument {
public:
    TabDocument(QWidget& window, Prompter& prompter, TextAreaTabText& text,
                const engine::Staff& staff, engine::History& history);

    void setHeaderForm(THeaderForm* header) { m_header = header; }

    // Asks for a name and writes the tab there; false when cancelled or failed (said so).
    bool save();
    bool write(const QString& path);
    // Asks for a file and reads it; nothing when cancelled or unreadable (said so).
    std::optional<files::LoadedTab> chooseAndRead();
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
    TextAreaTabText& m_text;
    const engine::Staff& m_staff;
    engine::History& m_history;
    THeaderForm* m_header = nullptr;
    TabFileDialog* m_saveFile = nullptr;
    TabFileDialog* m_openFile = nullptr;
};

} // namespace quorlin::ui
