// The offer of the copies a crash left: one message for those that cannot be restored, the list
// of the others, and a restore into the window. The folder itself is tested in tests/platform.

#include "ui/recovery/Recovery.h"
#include "tabtext/TextWidth.h"
#include "tests/ui/QuietWindow.h"
#include "ui/recovery/RecoveryDialog.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

using namespace quorlin;
using ui::testing::child;

namespace {

files::Recovered tabOf(const std::string& firstLine, const std::string& source = {})
{
    files::Recovered r;
    r.lines = {firstLine, "G --3", "D ---", "A ---", "E ---", ">    "};
    r.sourcePath = source;
    return r;
}

// Without a lock beside it: its window is gone, as after a crash and a reboot.
void put(const QString& path, const std::string& bytes)
{
    ui::testing::writeFile(path, QByteArray::fromStdString(bytes));
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    // The offer reads no further than the first bytes: a changed byte behind them shows only when
    // the chosen copy is restored, which then sets it aside as the offer would have.
    void damageFoundByTheRestoreSetsTheCopyAside()
    {
        QTemporaryDir dir;
        std::string text = files::recoveryFileText(tabOf("|   q"));
        text[text.find("G --3") + 4] = '4';
        put(dir.filePath("rot.qrec"), text);
        ui::testing::ScriptedPrompter prompter;
        ui::Recovery recovery(
            prompter, [] { return files::Recovered{}; }, dir.path());
        std::size_t offered = 0;
        recovery.setChooser([&](const std::vector<platform::Orphan>& sound) {
            offered = sound.size();
            ui::RecoveryDialog::Decision d;
            d.restore = 0;
            return d;
        });
        QVERIFY(!recovery.offer());
        QCOMPARE(offered, std::size_t(1));
        QCOMPARE(prompter.asked.size(), 1);
        QVERIFY2(prompter.asked.front().contains("check sum"), qPrintable(prompter.asked.front()));
        QCOMPARE(QDir(dir.path()).entryList({"rot*"}), QStringList{"rot.qrec.damaged"});
    }

    // A damaged copy is set aside and a pipe under a copy's name left where it is; both are told
    // in one message, and the sound copy beside them is still offered.
    void copiesThatCannotBeRestoredAreToldOnce()
    {
        QTemporaryDir dir;
        put(dir.filePath("sound.qrec"), files::recoveryFileText(tabOf("|   sound")));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.qrec")).constData(), 0666), 0);
        put(dir.filePath("cut.qrec"), files::recoveryFileText(tabOf("|   cut")).substr(0, 90));
        ui::testing::ScriptedPrompter prompter;
        ui::Recovery recovery(
            prompter, [] { return files::Recovered{}; }, dir.path());
        std::size_t offered = 0;
        recovery.setChooser([&](const std::vector<platform::Orphan>& sound) {
            offered += sound.size();
            return ui::RecoveryDialog::Decision{};
        });
        QVERIFY(!recovery.offer());
        QCOMPARE(offered, std::size_t(1));
        QCOMPARE(prompter.asked.size(), 1);
        const QString told = prompter.asked.front();
        QVERIFY2(told.contains("A recovery copy is damaged") && told.contains("cut.qrec") &&
                     told.contains("A recovery copy cannot be read") &&
                     told.contains("pipe.qrec") && told.contains("not a regular file"),
                 qPrintable(told));
        QVERIFY(QFileInfo::exists(dir.filePath("pipe.qrec")) &&
                QFileInfo::exists(dir.filePath("cut.qrec.damaged")) &&
                !QFileInfo::exists(dir.filePath("cut.qrec")));
    }

    // Three hundred orphans and as many damaged copies: one message, one list, newest first.
    void manyCopiesMakeOneMessageAndOneList()
    {
        constexpr int kCopies = 300;
        QTemporaryDir dir;
        const QDateTime start = QDateTime::currentDateTime().addDays(-1);
        for (int i = 0; i < kCopies; ++i) {
            const QString sound = dir.filePath(QStringLiteral("s%1.qrec").arg(i));
            put(sound, files::recoveryFileText(tabOf("|   " + std::to_string(i))));
            QFile file(sound);
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(start.addSecs(i * 7 % kCopies * 60),
                                     QFileDevice::FileModificationTime));
            put(dir.filePath(QStringLiteral("d%1.qrec").arg(i)), "Quorlin recovery copy 1\n");
        }
        ui::testing::ScriptedPrompter prompter;
        ui::Recovery recovery(
            prompter, [] { return files::Recovered{}; }, dir.path());
        QStringList offered;
        recovery.setChooser([&](const std::vector<platform::Orphan>& sound) {
            for (const platform::Orphan& o : sound)
                offered << o.firstWords;
            ui::RecoveryDialog::Decision d;
            d.discard = {0, 1, 2};
            d.restore = 3;
            return d;
        });
        const std::optional<files::Recovered> restored = recovery.offer();
        QCOMPARE(prompter.asked.size(), 1);
        QVERIFY2(prompter.asked.front().contains("300 recovery copies are damaged") &&
                     prompter.asked.front().contains("and 292 more."),
                 qPrintable(prompter.asked.front().left(400)));
        // Copy i was saved at minute i * 7 mod 300: the newest is the one at minute 299.
        QStringList newestFirst;
        for (int minute = kCopies - 1; minute >= 0; --minute) {
            for (int i = 0; i < kCopies; ++i)
                if (i * 7 % kCopies == minute)
                    newestFirst << QStringLiteral("|   %1").arg(i);
        }
        QCOMPARE(offered, newestFirst);
        QVERIFY(restored && restored->lines.front() == offered[3].toStdString());
        QCOMPARE(QDir(dir.path()).entryList({"*.damaged"}).size(), kCopies);
        // Three discarded, one taken into the window's own copy.
        QCOMPARE(QDir(dir.path()).entryList({"*.qrec"}).size(), kCopies - 3);
        for (int k = 0; k < 3; ++k)
            QVERIFY(!QDir(dir.path())
                         .entryList({"*.qrec"})
                         .contains("s" + offered[k].mid(4) + ".qrec"));
    }

    // The list as the user works it: the keys and buttons pressed, and the choice that results
    // (indexes: 0 the oldest, 2 the newest).
    void theListOfCopies_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("restore");
        QTest::addColumn<QList<int>>("discard");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Return restores the newest")
            << QStringList{"Return"} << 2 << QList<int>{} << true;
        QTest::newRow("Escape leaves all for later")
            << QStringList{"Escape"} << -1 << QList<int>{} << false;
        QTest::newRow("two discarded, the one left restored")
            << QStringList{"choose 1 2", "Discard", "Restore"} << 0 << QList<int>{1, 2} << true;
        QTest::newRow("one for later, the others discarded")
            << QStringList{"choose 1", "Later", "DiscardAll"} << -1 << QList<int>{0, 2} << true;
        QTest::newRow("all chosen: nothing to restore, all discarded")
            << QStringList{"choose 0 1 2", "Restore", "Discard"} << -1 << QList<int>{0, 1, 2}
            << true;
        QTest::newRow("each for later, one by one")
            << QStringList{"Later", "Later", "Later"} << -1 << QList<int>{} << true;
    }
    void theListOfCopies()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, restore);
        QFETCH(QList<int>, discard);
        QFETCH(bool, accepted);
        const QDateTime t = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
        std::vector<platform::Orphan> orphans(3);
        for (int i = 0; i < 3; ++i) {
            orphans[i].path = QStringLiteral("/r/%1.qrec").arg(i);
            orphans[i].modified = t.addSecs(i * 60);
            orphans[i].size = 1000 * (i + 1);
        }
        orphans[0].source = "/songs/a.tab";
        orphans[1].firstWords = "|   q  e";
        ui::RecoveryDialog dialog(orphans);
        dialog.show();
        auto* list = dialog.findChild<QTreeWidget*>("Copies");
        const QLocale locale;
        // Newest first, each with its time, size and first words or file.
        const QStringList shown[] = {{locale.toString(t.addSecs(120), QLocale::ShortFormat),
                                      locale.formattedDataSize(3000), "(an empty tab)"},
                                     {locale.toString(t.addSecs(60), QLocale::ShortFormat),
                                      locale.formattedDataSize(2000), "|   q  e"},
                                     {locale.toString(t, QLocale::ShortFormat),
                                      locale.formattedDataSize(1000), "/songs/a.tab"}};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                QCOMPARE(list->topLevelItem(row)->text(column), shown[row][column]);

        for (const QString& step : steps) {
            if (step == "Return" || step == "Escape") {
                QTest::keyClick(list, step == "Return" ? Qt::Key_Return : Qt::Key_Escape);
            } else if (step.startsWith("choose ")) {
                list->clearSelection();
                // By the copy's index, wherever its row now is.
                for (const QString& index : step.mid(7).split(' '))
                    for (int row = 0; row < list->topLevelItemCount(); ++row)
                        if (list->topLevelItem(row)->text(2) == shown[2 - index.toInt()][2])
                            list->topLevelItem(row)->setSelected(true);
            } else {
                auto* button = dialog.findChild<QPushButton*>(step);
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QCOMPARE(dialog.isVisible(), false);
        QCOMPARE(dialog.result(), accepted ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(dialog.decision().restore.has_value(), restore >= 0);
        if (restore >= 0)
            QCOMPARE(int(*dialog.decision().restore), restore);
        QList<int> discarded;
        for (const std::size_t index : dialog.decision().discard)
            discarded << int(index);
        QCOMPARE(discarded, discard);
    }

    // The text area takes lines of kLongestLine characters: a copy with one comes back whole,
    // a copy with a longer one is set aside in one message and the tab stays empty. A copy of
    // megabytes in short lines comes back under a box that says why the window waits.
    void aCopyComesBackOnlyWithLinesTheAreaTakes_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("box");
        const int longest = int(tabtext::kLongestLine);
        QTest::newRow("the longest line") << longest << 1 << true << false;
        QTest::newRow("one more") << longest + 1 << 1 << false << false;
        QTest::newRow("a megabyte in lines") << 200 << 6000 << true << true;
    }

    void aCopyComesBackOnlyWithLinesTheAreaTakes()
    {
        QFETCH(int, length);
        QFETCH(int, lines);
        QFETCH(bool, restored);
        QFETCH(bool, box);
        ui::testing::QuietWindow w;
        files::Recovered big = tabOf("|   " + std::string(std::size_t(length) - 4, 'q'));
        big.lines.resize(std::size_t(lines), big.lines.front());
        put(w.dir.filePath("recovery/big.qrec"), files::recoveryFileText(big));
        bool boxShown = false;
        ui::testing::whenVisible<ui::RecoveryDialog>(
            w.form, "RecoveryDialog", [&w, &boxShown](ui::RecoveryDialog* d) {
                ui::testing::whenVisible<QWidget>(w.form, "RestoreProgress",
                                                  [&boxShown](QWidget*) { boxShown = true; });
                QTest::keyClick(d, Qt::Key_Return);
            });
        QCOMPARE(w.form.offerRecovery(), restored);
        QCOMPARE(boxShown, box);
        QCOMPARE(w.prompter.asked.size(), restored ? 0 : 1);
        if (restored) {
            QCOMPARE(w.tab().count('\n'), qsizetype(lines));
            QCOMPARE(w.tab().section('\n', 0, 0).size(), qsizetype(length));
        } else {
            QVERIFY2(w.prompter.asked.first().contains(
                         QStringLiteral("line 1 of the tab is %1 characters long").arg(length)),
                     qPrintable(w.prompter.asked.first()));
            QCOMPARE(w.tab(), QString());
            QVERIFY(QFile::exists(w.dir.filePath("recovery/big.qrec.damaged")));
        }
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecoveryTest.moc"
