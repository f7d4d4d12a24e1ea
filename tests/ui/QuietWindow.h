#pragma once

#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FakeAudio.h"
#include "tests/ui/FormTesting.h"
#include "ui/commands/Commands.h"
#include "ui/shell/BassU1/TBassForm.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>

namespace quorlin::ui::testing {

// The main window with scripted questions, no sound unless a test hands in its own, and its
// settings and recovery copies in a folder of its own.
struct QuietWindow {
    explicit QuietWindow(AudioDevices devices = silentDevices()) :
        form(&prompter, &store, nullptr, std::move(devices),
             dir.filePath(QStringLiteral("recovery")))
    {
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    TBassForm form;
    int dialogs = 0;    // the file dialogs answered
    QString filterLeft; // the name filter of a file dialog that stayed open, filtering

    QPlainTextEdit& area() const { return *child<QPlainTextEdit>(form, "Tab"); }
    QString tab() const { return area().toPlainText(); }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    void run(Command command) { form.commands()[command]->trigger(); }
    QString undoText() const { return form.commands()[Command::Undo]->text(); }
    void click(const char* name) { QTest::mouseClick(child(form, name), Qt::LeftButton); }

    // Shown and active, so that keys reach the focus and its shortcuts.
    void activate()
    {
        form.show();
        QApplication::setActiveWindow(&form);
        if (!QTest::qWaitForWindowActive(&form))
            qFatal("the window never became active");
    }
    void press(const QString& key)
    {
        const QKeyCombination combination = QKeySequence(key)[0];
        QTest::keyClick(QApplication::focusWidget(), combination.key(),
                        combination.keyboardModifiers());
    }
    // Keys as "Down 5 Return Shift+H": each a key sequence, typed where the focus is.
    void type(const QString& keys)
    {
        for (const QString& key : keys.split(u' ', Qt::SkipEmptyParts))
            press(key);
    }
    // The marked ranges as "line:first+length", line by line: the tab cursor, the sounding
    // column and the selection.
    QStringList marks() const
    {
        QStringList ranges;
        for (const QTextEdit::ExtraSelection& mark : area().extraSelections()) {
            const QTextBlock line = mark.cursor.block();
            ranges << QStringLiteral("%1:%2+%3")
                          .arg(line.blockNumber())
                          .arg(mark.cursor.selectionStart() - line.position())
                          .arg(mark.cursor.selectionEnd() - mark.cursor.selectionStart());
        }
        return ranges;
    }

    // The next file dialog named `dialog` takes `name` as typed, in `folder` when one is given.
    void answer(const char* dialog, const QString& name, const QString& folder = {})
    {
        whenVisible<QFileDialog>(form, dialog, [this, name, folder](QFileDialog* d) {
            ++dialogs;
            d->setOption(QFileDialog::DontConfirmOverwrite);
            if (!folder.isEmpty())
                d->setDirectory(folder);
            // As typed: a dialog shown again keeps the focused name field's old text otherwise.
            child<QLineEdit>(*d, "fileNameEdit")->setText(name);
            static_cast<QDialog*>(d)->accept();
            if (d->isVisible()) {
                filterLeft = d->selectedNameFilter();
                d->reject();
            }
        });
    }
};

} // namespace quorlin::ui::testing
