#pragma once

// What every export goes through: the file's name asked in Qt's own save dialog
// ("ExportFile"), never the tab's own file, and the outcome said the same way.

#include <QPointer>
#include <QString>

class QFileDialog;
class QWidget;

namespace quorlin::ui {

class Prompter;

class ExportName {
public:
    explicit ExportName(QWidget& window) : m_window(window) {}

    // Empty when the user cancels. The dialog is kept, so that it opens again in the folder
    // the last export went to.
    QString ask(const QString& title, const QString& filter, const QString& suffix,
                const QString& suggested);

private:
    QWidget& m_window;
    QPointer<QFileDialog> m_dialog;
};

// "song.SUFFIX" beside the tab "song.tab"; empty while the tab has no file.
QString besideTab(const QString& tab, const QString& suffix);

// True, with the reason said, when `path` is the tab's own file by any name: the export
// would replace the tab it comes from.
bool refuseTabsOwnFile(Prompter& prompter, const QString& tab, const QString& path);

// What the status bar says of an export that ended: "Exported WHAT", with the columns the
// score skipped when there are any, or that it was cancelled. Empty when it failed: the
// problem is then shown in a box.
QString exportOutcome(Prompter& prompter, bool written, const QString& what, const QString& skipped,
                      const QString& problem);

} // namespace quorlin::ui
