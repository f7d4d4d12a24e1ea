#include "ui/shell/UndoCommands.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"

#include <QMainWindow>
#include <QStatusBar>

#include <cstring>

namespace quorlin::ui {

namespace {

// How long "Undo: note" and the like stay in the status bar.
constexpr int kMessageMs = 3000;

bool sameLabel(const char* a, const char* b)
{
    return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
}

} // namespace

UndoCommands::UndoCommands(QMainWindow& window, document::Document& document,
                           CommandRouter& router) :
    m_window(window),
    m_document(document), m_commands(router.commands())
{
    router.handle(Command::Undo, this, [this] { moveInHistory(false); });
    router.handle(Command::Redo, this, [this] { moveInHistory(true); });
}

void UndoCommands::moveInHistory(bool forward)
{
    const engine::History& history = m_document.history();
    const char* label = forward ? history.redoLabel() : history.undoLabel();
    if (!m_document.moveInHistory(forward))
        return;
    m_window.statusBar()->showMessage(
        (forward ? QStringLiteral("Redo: ") : QStringLiteral("Undo: ")) + QLatin1String(label),
        kMessageMs);
}

void UndoCommands::showSteps()
{
    const char* undoLabel = m_document.history().undoLabel();
    const char* redoLabel = m_document.history().redoLabel();
    if (sameLabel(undoLabel, m_shownUndo) && sameLabel(redoLabel, m_shownRedo))
        return;
    m_shownUndo = undoLabel;
    m_shownRedo = redoLabel;
    QAction* undo = m_commands[Command::Undo];
    QAction* redo = m_commands[Command::Redo];
    undo->setEnabled(undoLabel != nullptr);
    redo->setEnabled(redoLabel != nullptr);
    undo->setText(undoLabel ? QStringLiteral("&Undo ") + QLatin1String(undoLabel)
                            : QStringLiteral("&Undo"));
    redo->setText(redoLabel ? QStringLiteral("&Redo ") + QLatin1String(redoLabel)
                            : QStringLiteral("&Redo"));
}

} // namespace quorlin::ui
