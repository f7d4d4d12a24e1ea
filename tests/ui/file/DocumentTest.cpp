// The tab as a file of the desktop: Save and Save As, the recent files, a tab named at
// start-up and tabs dropped from a file manager.

#include "platform/RecentFiles.h"
#include "storage/AtomicFile.h"
#include "tests/ui/QuietWindow.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
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
    QString status() const { return child<QLabel>(form, "FileStatus")->text(); }
    void write(const char* name) const { ui::testing::writeFile(path(name), kTab); }
    void note() { area().appendPlainText(QStringLiteral("x")); }
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
                w.answer("SaveFile", w.path(name));
            dialogs += int(asks);
            w.run(command);
            QTRY_COMPARE(w.dialogs, dialogs);
            QCOMPARE(w.status(), QLatin1String(name));
            // Every line typed so far, the newest included.
            QCOMPARE(ui::testing::readFile(w.path(name)).count("x\r\n"),
                     w.tab().count(QLatin1Char('x')));
        }
        QCOMPARE(w.form.commands().keyText(Command::SaveAs), QStringLiteral("Ctrl+Shift+S"));
    }

    void recentFilesNewestFirstGoneOnesDroppedAndClearable()
    {
        Window w;
        for (const char* name : {"a.tab", "b.tab", "c.tab"})
            w.write(name);
        for (const char* name : {"a.tab", "b.tab", "c.tab", "a.tab"}) {
            w.answer("OpenFile", w.path(name));
            w.prompter.answers = {true}; // clear the tab before loading
            w.run(Command::Open);
            QTRY_COMPARE(w.status(), QLatin1String(name));
        }
        // Undo takes a load back with its file's name: Save must not write one tab into
        // another's file.
        for (const char* name : {"c.tab", "b.tab"}) {
            w.run(Command::Undo);
            QVERIFY2(w.status().startsWith(QLatin1String(name)), qPrintable(w.status()));
        }
        w.run(Command::Redo);
        w.run(Command::Redo);
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
    }

    // A tab named at start-up that is not there is said so, as Load says it, over an empty tab;
    // one that is there opens without a question in the end-to-end "open" script.
    void aTabNamedAtStartUpThatIsNotThereIsSaidSo()
    {
        Window w;
        w.form.openAtStart(w.path("missing.tab"));
        QCOMPARE(w.tab(), QString());
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY(
            w.prompter.asked.first().startsWith("(error) Load Tab|The tab could not be read from " +
                                                w.path("missing.tab") + ":\rNo such file"));
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
                w.answer("SaveFile", w.path("kept.tab"));
                w.run(Command::Save);
            } else if (step == "new") {
                w.run(Command::New);
            } else {
                w.form.close();
            }
            QTRY_COMPARE_WITH_TIMEOUT(
                QDir(w.path("recovery")).entryList({QStringLiteral("*.qrec")}).size(), kept, 4000);
        }
    }

    // A save that fails on a full disk says so and changes nothing: the file keeps what it
    // held, the tab stays unsaved with its recovery copy, and leaving still asks. The disk fills
    // for real in storage's own test; here the write is made to fail as it would.
    void aFailedSaveLeavesTheTabUnsaved_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("name"); // what the dialog takes; empty: none asked
        QTest::newRow("Save") << Command::Save << QString();
        QTest::newRow("Save As the same") << Command::SaveAs << "kept.tab";
        QTest::newRow("Save As another") << Command::SaveAs << "other.tab";
    }

    void aFailedSaveLeavesTheTabUnsaved()
    {
        QFETCH(Command, command);
        QFETCH(QString, name);
        Window w;
        w.note();
        w.answer("SaveFile", w.path("kept.tab"));
        w.run(Command::Save);
        QTRY_COMPARE(w.status(), QStringLiteral("kept.tab"));
        const QByteArray saved = ui::testing::readFile(w.path("kept.tab"));
        w.note();
        const auto copies = [&w] {
            return QDir(w.path("recovery")).entryList({QStringLiteral("*.qrec")}).size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(copies(), 1, 4000);

        storage::fault::failWrites(ENOSPC);
        if (!name.isEmpty())
            w.answer("SaveFile", w.dir.filePath(name));
        w.prompter.asked.clear();
        w.run(command);
        QTRY_VERIFY(!w.prompter.asked.isEmpty());
        storage::fault::failWrites(0);

        QVERIFY2(w.prompter.asked.constFirst().startsWith("(error) Save Tab|") &&
                     w.prompter.asked.constFirst().contains("No space left on device"),
                 qPrintable(w.prompter.asked.join('\n')));
        QCOMPARE(w.status(), QStringLiteral("kept.tab, unsaved"));
        QCOMPARE(ui::testing::readFile(w.path("kept.tab")), saved);
        QVERIFY(!QFile::exists(w.path("other.tab")));
        QCOMPARE(
            QDir(w.dir.path()).entryList({QStringLiteral(".*part-*")}, QDir::Hidden | QDir::Files),
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
        QWidget* text = w.area().viewport();
        const QUrl local = QUrl::fromLocalFile(w.path("song.tab"));
        // The target, the URLs, and whether the tab opened: a link from the web is text.
        const std::tuple<QWidget*, QList<QUrl>, bool> cases[] = {
            {text, {QUrl(QStringLiteral("https://example.org/song.tab"))}, false},
            {text, {local, local}, false},
            {text, {local}, true},
            {&w.form, {local}, true}};
        for (const auto& [target, urls, opens] : cases) {
            w.area().clear();
            w.dropOn(target, urls);
            QTRY_COMPARE(w.tab().startsWith(QStringLiteral("|   q")), opens);
        }
    }
};

QUORLIN_GUARDED_TEST_MAIN(DocumentTest)

#include "DocumentTest.moc"
