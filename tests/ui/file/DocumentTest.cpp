// The tab as a file of the desktop: Save and Save As, the recent files, a tab named at
// start-up and tabs dropped from a file manager.

#include "platform/RecentFiles.h"
#include "storage/AtomicFile.h"
#include "tests/storage/ScratchFolder.h"
#include "tests/ui/FormTesting.h"
#include "tests/ui/QuietWindow.h"
#include "ui/commands/Commands.h"
#include "ui/shell/BassU1/TBassForm.h"
#include "ui/shell/GuardedApplication.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace quorlin;
using ui::Command;
using ui::testing::child;

namespace {

const QByteArray kTab = "FTH80:G D A E ;\r\n====================\r\nFrom            : \r\n"
                        "Artist          : \r\nBass Performance: \r\nComments:       : \r\n"
                        "---\r\n====================\r\n\r\n|   q\r\nG ---\r\nD --5\r\nA ---\r\n"
                        "E ---\r\n>    \r\n\r\n";

struct Window : ui::testing::QuietWindow {
    Window()
    {
        platform::RecentFiles().clear();
        form.show();
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QString status() const { return child<QLabel>(form, "FileStatus")->text(); }
    void write(const char* name, const QByteArray& bytes = kTab) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // The next file dialog takes `name`; the dialogs asked for are counted.
    int dialogs = 0;
    void answer(const QString& name)
    {
        for (const char* dialog : {"SaveFile", "OpenFile"}) {
            ui::testing::whenVisible<QFileDialog>(form, dialog, [this, name](QFileDialog* d) {
                ++dialogs;
                d->setOption(QFileDialog::DontConfirmOverwrite);
                child<QLineEdit>(*d, "fileNameEdit")->setText(name);
                static_cast<QDialog*>(d)->accept();
            });
        }
    }
    void note() { child<QPlainTextEdit>(form, "Tab")->appendPlainText(QStringLiteral("x")); }
    QStringList recent()
    {
        QMenu& menu = form.commands().recentMenu();
        emit menu.aboutToShow();
        QStringList texts;
        for (QAction* item : menu.actions())
            texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        return texts;
    }
    void chooseRecent(int index)
    {
        QMenu& menu = form.commands().recentMenu();
        emit menu.aboutToShow();
        menu.actions().at(index)->trigger();
    }
    void dropOn(QWidget* target, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        ui::testing::dragAndDrop(target, QPoint(20, 20), data);
        QCoreApplication::processEvents();
    }
};

} // namespace

class DocumentTest : public QObject {
    Q_OBJECT

private slots:
    void saveWritesToTheCurrentFileAndSaveAsAlwaysAsks()
    {
        Window w;
        QCOMPARE(w.status(), QStringLiteral("new tab"));
        w.note();
        QTRY_COMPARE(w.status(), QStringLiteral("new tab, unsaved"));
        // The command, the name a dialog would take, the file written and the status after.
        const std::tuple<Command, const char*, bool> steps[] = {
            {Command::Save, "first.tab", true},
            {Command::Save, "first.tab", false},
            {Command::SaveAs, "second.tab", true},
            {Command::Save, "second.tab", false}};
        int dialogs = 0;
        for (const auto& [command, name, asks] : steps) {
            w.note();
            if (asks)
                w.answer(w.path(name));
            dialogs += int(asks);
            w.form.commands()[command]->trigger();
            QTRY_COMPARE(w.dialogs, dialogs);
            QCOMPARE(w.status(), QLatin1String(name));
            QFile file(w.path(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            // Every line typed so far, the newest included.
            QCOMPARE(file.readAll().count("x\r\n"), w.tab().count(QLatin1Char('x')));
        }
        QCOMPARE(w.form.commands().keyText(Command::SaveAs), QStringLiteral("Ctrl+Shift+S"));
    }

    void recentFilesNewestFirstGoneOnesDroppedAndClearable()
    {
        Window w;
        for (const char* name : {"a.tab", "b.tab", "c.tab"})
            w.write(name);
        for (const char* name : {"a.tab", "b.tab", "c.tab", "a.tab"}) {
            w.answer(w.path(name));
            w.prompter.answers = {true}; // clear the tab before loading
            w.form.commands()[Command::Open]->trigger();
            QTRY_COMPARE(w.status(), QLatin1String(name));
        }
        // Undo takes a load back with its file's name: Save must not write one tab into
        // another's file.
        for (const char* name : {"c.tab", "b.tab"}) {
            w.form.commands()[Command::Undo]->trigger();
            QVERIFY2(w.status().startsWith(QLatin1String(name)), qPrintable(w.status()));
        }
        w.form.commands()[Command::Redo]->trigger();
        w.form.commands()[Command::Redo]->trigger();
        QCOMPARE(w.status(), QStringLiteral("a.tab"));
        QCOMPARE(w.recent(), (QStringList{"&1 " + w.path("a.tab"), "&2 " + w.path("c.tab"),
                                          "&3 " + w.path("b.tab"), "-", "&Clear list"}));
        // A file that has gone is taken off the list, with a word.
        QFile::remove(w.path("c.tab"));
        w.prompter.asked.clear();
        w.chooseRecent(1);
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY(w.prompter.asked.first().contains(w.path("c.tab") + " is no longer there"));
        QCOMPARE(w.recent().size(), 4);
        // Choosing one opens it; with unsaved work, Cancel keeps the tab.
        w.note();
        w.prompter.choices = {ui::Prompter::Answer::Cancel};
        w.chooseRecent(1);
        QVERIFY(w.tab().endsWith(QLatin1Char('x')));
        w.prompter.choices = {ui::Prompter::Answer::No};
        w.chooseRecent(1);
        QCOMPARE(w.status(), QStringLiteral("b.tab"));
        QVERIFY(w.tab().startsWith(QStringLiteral("|   q\nG ---\nD --5")));
        w.chooseRecent(w.recent().size() - 1);
        QCOMPARE(w.recent(), (QStringList{"No recent files", "-", "&Clear list"}));

        // Only eight are kept.
        for (int i = 0; i < 10; ++i)
            platform::RecentFiles().add(w.path("many") + QString::number(i));
        QCOMPARE(platform::RecentFiles().paths().size(), 8);
        QCOMPARE(platform::RecentFiles().paths().first(), w.path("many9"));
    }

    void aTabNamedAtStartUpOpensAsLoadWouldWithoutTheClearQuestion()
    {
        // The file, then the tab's first line and the box said, if any.
        const std::tuple<const char*, QString, QString> cases[] = {
            {"song.tab", "|   q", ""},
            {"missing.tab", "", "(error) Load Tab|The tab could not be read from "}};
        for (const auto& [name, first, box] : cases) {
            Window w;
            w.write("song.tab");
            w.form.openAtStart(w.path(name));
            QCOMPARE(w.tab().section(QLatin1Char('\n'), 0, 0), first);
            QCOMPARE(w.prompter.asked.size(), box.isEmpty() ? 0 : 1);
            QVERIFY(box.isEmpty() ||
                    w.prompter.asked.first().startsWith(box + w.path(name) + ":\rNo such file"));
        }
    }

    void theRecoveryCopyFollowsChangesAndGoesOnceTheTabIsSafe()
    {
        Window w;
        // What happens, then whether a copy is kept a moment later.
        const std::pair<QString, int> steps[] = {{"note", 1}, {"save", 0}, {"note", 1},
                                                 {"new", 0},  {"note", 1}, {"close", 0}};
        for (const auto& [step, kept] : steps) {
            w.prompter.answers = {true};                     // to clear the tab for "new"
            w.prompter.choices = {ui::Prompter::Answer::No}; // to leave without saving
            if (step == "note") {
                w.note();
            } else if (step == "save") {
                w.answer(w.path("kept.tab"));
                w.form.commands()[Command::Save]->trigger();
            } else if (step == "new") {
                w.form.commands()[Command::New]->trigger();
            } else {
                w.form.close();
            }
            QTRY_COMPARE_WITH_TIMEOUT(
                QDir(w.path("recovery")).entryList({QStringLiteral("*.qrec")}).size(), kept, 4000);
        }
    }

    // A save that fails on a full disk says so and changes nothing: the file keeps what it
    // held, the tab stays unsaved with its recovery copy, and leaving still asks.
    void aFailedSaveLeavesTheTabUnsaved_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("name");  // what the dialog takes; empty: none asked
        QTest::addColumn<bool>("fullDisk"); // a real full file system, else an injected failure
        for (const bool full : {false, true}) {
            const char* how = full ? "full disk" : "failing write";
            QTest::addRow("Save, %s", how) << Command::Save << QString() << full;
            QTest::addRow("Save As the same, %s", how) << Command::SaveAs << "kept.tab" << full;
            QTest::addRow("Save As another, %s", how) << Command::SaveAs << "other.tab" << full;
        }
    }

    void aFailedSaveLeavesTheTabUnsaved()
    {
        QFETCH(Command, command);
        QFETCH(QString, name);
        QFETCH(bool, fullDisk);
        tests::ScratchFolder scratch;
        if (fullDisk && !scratch.mountSmall())
            QSKIP("no tmpfs can be mounted here; the injected failure rows cover this");
        const QDir folder(QString::fromStdString(scratch.path()));
        Window w;
        w.note();
        w.answer(folder.filePath("kept.tab"));
        w.form.commands()[Command::Save]->trigger();
        QTRY_COMPARE(w.status(), QStringLiteral("kept.tab"));
        QFile kept(folder.filePath("kept.tab"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QByteArray saved = kept.readAll();
        kept.close();
        w.note();
        const auto copies = [&w] {
            return QDir(w.path("recovery")).entryList({QStringLiteral("*.qrec")}).size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(copies(), 1, 4000);

        if (fullDisk) {
            QFile filler(folder.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (filler.write("x", 1) == 1) {
            }
        } else {
            storage::fault::failWrites(ENOSPC);
        }
        if (!name.isEmpty())
            w.answer(folder.filePath(name));
        w.prompter.asked.clear();
        w.form.commands()[command]->trigger();
        QTRY_VERIFY(!w.prompter.asked.isEmpty());
        storage::fault::failWrites(0);

        QVERIFY2(w.prompter.asked.constFirst().startsWith("(error) Save Tab|") &&
                     w.prompter.asked.constFirst().contains("No space left on device"),
                 qPrintable(w.prompter.asked.join('\n')));
        QCOMPARE(w.status(), QStringLiteral("kept.tab, unsaved"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), saved);
        QVERIFY(!QFile::exists(folder.filePath("other.tab")));
        QCOMPARE(folder.entryList({QStringLiteral(".*part-*")}, QDir::Hidden | QDir::Files),
                 QStringList());
        QTest::qWait(1500); // past the pause of the next recovery write
        QCOMPARE(copies(), 1);

        w.prompter.asked.clear();
        w.prompter.choices = {ui::Prompter::Answer::Cancel};
        w.form.close();
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY(w.prompter.asked.constFirst().contains("Save changes to the tab?"));
    }

    void aTabDroppedFromAFileManagerOpensOtherDropsStayAsTheyWere()
    {
        Window w;
        w.write("song.tab");
        QWidget* text = child<QPlainTextEdit>(w.form, "Tab")->viewport();
        const QUrl local = QUrl::fromLocalFile(w.path("song.tab"));
        // The target, the URLs, and whether the tab opened: a link from the web is text.
        const std::tuple<QWidget*, QList<QUrl>, bool> cases[] = {
            {text, {QUrl(QStringLiteral("https://example.org/song.tab"))}, false},
            {text, {local, local}, false},
            {text, {local}, true},
            {&w.form, {local}, true}};
        for (const auto& [target, urls, opens] : cases) {
            child<QPlainTextEdit>(w.form, "Tab")->clear();
            w.dropOn(target, urls);
            QTRY_COMPARE(w.tab().startsWith(QStringLiteral("|   q")), opens);
        }
    }
};

int main(int argc, char** argv)
{
    ui::GuardedApplication app(argc, argv);
    DocumentTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DocumentTest.moc"
