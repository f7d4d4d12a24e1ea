#pragma once

// Edit > Undo and Redo: the document's history moved one step, said in the status bar, and
// the menu items naming the step they would take.

#include <QObject>

class QMainWindow;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Commands;

class UndoCommands : public QObject {
    Q_OBJECT

public:
    UndoCommands(QMainWindow& window, document::Document& document, CommandRouter& router);

    // Menu texts change only when the step's kind does: a note after a note leaves them.
    void showSteps();

private:
    void moveInHistory(bool forward);

    QMainWindow& m_window;
    document::Document& m_document;
    const Commands& m_commands;
    const char* m_shownUndo = "";
    const char* m_shownRedo = "";
};

} // namespace quorlin::ui
