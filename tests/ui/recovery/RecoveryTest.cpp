// Recovery copies on disk, the offer of those a crash left and the pace of the automatic
// writes. A crash's copy is made for real, by a child process killed while it holds its copy;
// a run in a PID namespace or as another user is a child started through unshare or setpriv.

#include "ui/recovery/Recovery.h"
#include "platform/AutosaveTimer.h"
#include "platform/FileAccess.h"
#include "platform/RecoveryFolder.h"
#include "platform/RecoveryLock.h"
#include "tests/ui/QuietWindow.h"
#include "ui/recovery/RecoveryDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTreeWidget>

#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>

using namespace quorlin;
using platform::Orphan;
using platform::RecoveryFolder;
using platform::RecoveryLock;
using ui::testing::child;

namespace {

files::Recovered tabOf(const std::string& firstLine, const std::string& source = {})
{
    files::Recovered r;
    r.lines = {firstLine, "G --3", "D ---", "A ---", "E ---", ">    "};
    r.sourcePath = source;
    return r;
}

// The child's side: keep a copy and wait to be killed.
int holdCopy(const char* folder)
{
    platform::RecoveryFolder store{QString::fromLocal8Bit(folder)};
    QString problem;
    if (!store.write(tabOf("|   from the child"), problem))
        return 1;
    QTextStream(stdout) << "ready " << QCoreApplication::applicationPid() << Qt::endl;
    for (;;)
        QThread::sleep(60);
}

// The child's side: what a store started now offers, one line each.
int listOrphans(const char* folder)
{
    platform::RecoveryFolder store{QString::fromLocal8Bit(folder)};
    QString problem;
    const auto orphans = store.orphans(problem);
    if (!orphans) {
        QTextStream(stdout) << "no list: " << problem << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "pid " << QCoreApplication::applicationPid() << Qt::endl;
    for (const platform::Orphan& o : *orphans)
        QTextStream(stdout) << int(o.state) << ' ' << o.title() << ' ' << o.problem << Qt::endl;
    return 0;
}

std::vector<platform::Orphan> listed(platform::RecoveryFolder& store)
{
    QString problem;
    return store.orphans(problem).value_or(std::vector<platform::Orphan>{});
}

QStringList titles(platform::RecoveryFolder& store)
{
    QStringList out;
    for (const platform::Orphan& o : listed(store))
        out << o.title();
    return out;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

// A helper run of this test binary; its output, or nullopt when it could not run at all.
std::optional<QString> run(const QString& program, QStringList arguments)
{
    QProcess child;
    child.start(program, arguments);
    if (!child.waitForFinished(20000) || child.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return QString::fromLocal8Bit(child.readAllStandardOutput()) +
           QString::fromLocal8Bit(child.readAllStandardError());
}

// An flock taken by this process on its own handle: to the store, a live owner.
struct LiveOwner {
    explicit LiveOwner(const QString& path)
    {
        platform::RecoveryLock::Outcome outcome{};
        QString problem;
        lock = platform::RecoveryLock::take(path, true, outcome, problem);
        QVERIFY2(lock != nullptr, qPrintable(problem));
    }
    std::unique_ptr<platform::RecoveryLock> lock;
};

files::Recovered bigTab(std::size_t lineBytes)
{
    files::Recovered r = tabOf("|   q");
    r.lines.front() += std::string(lineBytes, 'q');
    return r;
}

platform::Orphan orphanAt(const QString& path)
{
    platform::Orphan o;
    o.path = path;
    return o;
}

// Without a lock beside it: its window is gone, as after a crash and a reboot.
void put(const QString& path, const std::string& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), qint64(bytes.size()));
}

files::Recovered readBack(const QString& path)
{
    std::string problem;
    return files::readRecoveryFile(platform::readRegularFile(path).bytes.toStdString(), problem)
        .value_or(files::Recovered{});
}

struct Counting {
    QElapsedTimer clock;
    QList<qint64> writes;
    int content = 0;

    platform::AutosaveTimer::Provider provider()
    {
        return [this] {
            writes << clock.elapsed();
            return tabOf("|   " + std::to_string(content));
        };
    }
};

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    // Each window has its own copy, which no other window may touch.
    void twoWindowsNeverSeeEachOther()
    {
        QTemporaryDir dir;
        {
            platform::RecoveryFolder a(dir.path()), b(dir.path());
            QVERIFY(a.problem().isEmpty() && a.copyPath() != b.copyPath());
            QString problem;
            QVERIFY(a.remove(problem)); // nothing written yet: nothing to remove
            QVERIFY(a.write(tabOf("|   a"), problem) && b.write(tabOf("|   b"), problem));
            QCOMPARE(titles(a) + titles(b), QStringList());
            QVERIFY(a.write(tabOf("|   a again"), problem));
            QCOMPARE(readBack(a.copyPath()).lines.front(), "|   a again");
            QCOMPARE(readBack(b.copyPath()).lines.front(), "|   b");
            const platform::Orphan notOffered = orphanAt(a.copyPath());
            QVERIFY(!b.take(notOffered, problem) && !b.discard(notOffered, problem) &&
                    !b.setAside(notOffered, problem));
            QVERIFY(problem.contains("not one Quorlin offered"));
            QVERIFY(a.remove(problem) && b.remove(problem));
            QVERIFY(!QFile::exists(a.copyPath()));
        }
        // A clean end leaves neither a copy nor a lock behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // The folder deleted under a running window: its next write brings back its lock too, so
    // that a window started then does not take the copy for a crash's.
    void aFolderDeletedUnderARunGetsItsLockBack()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("recovery");
        platform::RecoveryFolder running(folder);
        QString problem;
        QVERIFY(running.write(tabOf("|   a"), problem));
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(running.write(tabOf("|   b"), problem));
        platform::RecoveryFolder started(folder);
        QCOMPARE(titles(started), QStringList());
    }

    void aKilledWindowLeavesAnOrphan()
    {
        QTemporaryDir dir;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--hold-copy", dir.path()});
        QVERIFY(child.waitForReadyRead(10000) && child.readLine().startsWith("ready "));

        // Alive: its copy is its own, however long ago it took its lock.
        for (const QString& name : QDir(dir.path()).entryList({"*.lock"})) {
            QFile lock(dir.filePath(name));
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                     QFileDevice::FileModificationTime));
        }
        platform::RecoveryFolder store(dir.path());
        QCOMPARE(titles(store), QStringList());

        child.kill(); // SIGKILL: no destructor runs, the lock stays behind
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(titles(store), QStringList{"|   from the child"}); // no file: its first line
        const std::vector<platform::Orphan> orphans = listed(store);
        QVERIFY(orphans.front().modified.isValid());
        QString problem;
        QVERIFY(store.take(orphans.front(), problem) == tabOf("|   from the child"));
    }

    // The choice, then whether the orphan is offered at the next start and whether the window's
    // own copy now holds it.
    void orphanChoices()
    {
        const std::tuple<QString, bool, bool> choices[] = {
            {"take", false, true}, {"discard", false, false}, {"later", true, false}};
        for (const auto& [choice, remains, taken] : choices) {
            QTemporaryDir dir;
            const files::Recovered left = tabOf("|   q", "/songs/\xc3\xa9t\xc3\xa9.tab");
            put(dir.filePath("gone.qrec"), files::recoveryFileText(left));
            {
                platform::RecoveryFolder store(dir.path()), second(dir.path());
                QCOMPARE(titles(store),
                         QStringList{QString::fromUtf8("/songs/\xc3\xa9t\xc3\xa9.tab")});
                QCOMPARE(titles(second), QStringList()); // offered by one window only
                const std::vector<platform::Orphan> orphans =
                    listed(store); // and again to the same one
                QCOMPARE(orphans.size(), std::size_t(1));
                QString problem;
                if (choice == "take")
                    QVERIFY(store.take(orphans.front(), problem) == left);
                else if (choice == "discard")
                    QVERIFY(store.discard(orphans.front(), problem));
                QCOMPARE(QFile::exists(orphans.front().path), remains);
                QCOMPARE(readBack(store.copyPath()) == left, taken);
                QVERIFY(store.remove(problem));
            }
            platform::RecoveryFolder next(dir.path());
            QCOMPARE(titles(next).size(), remains ? 1 : 0);
        }
    }

    void aDamagedCopyIsListedAndSetAside()
    {
        QTemporaryDir dir;
        const std::string text = files::recoveryFileText(tabOf("|   q")).substr(0, 100);
        put(dir.filePath("cut.qrec"), text);
        platform::RecoveryFolder store(dir.path());
        const std::vector<platform::Orphan> orphans = listed(store);
        QCOMPARE(orphans.size(), std::size_t(1));
        QVERIFY(orphans.front().problem.contains("damaged"));
        QCOMPARE(orphans.front().state, platform::Orphan::State::Damaged);
        QString problem;
        QVERIFY(!store.take(orphans.front(), problem) && problem.contains("damaged"));
        QVERIFY(store.setAside(orphans.front(), problem));
        QCOMPARE(platform::readRegularFile(dir.filePath("cut.qrec.damaged")).bytes.toStdString(),
                 text);
        platform::RecoveryFolder later(dir.path());
        QCOMPARE(titles(store) + titles(later), QStringList());
    }

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
        QCOMPARE(filesIn(dir.path()).filter("rot"), QStringList{"rot.qrec.damaged"});
    }

    void anUnusableFolderFailsEveryCall()
    {
        // Tests run as root, whom no permission stops: a folder inside a file can never exist.
        QTemporaryFile file;
        QVERIFY(file.open());
        platform::RecoveryFolder store(file.fileName() + "/recovery");
        QVERIFY(store.problem().contains("cannot make its recovery folder"));
        QString a, b, c, problem;
        QVERIFY(!store.orphans(a) && !store.write(tabOf("|   q"), b) && !store.remove(c));
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        const platform::Orphan any = orphanAt(file.fileName());
        QVERIFY(!store.take(any, problem) && !store.discard(any, problem) &&
                !store.setAside(any, problem));
    }

    // What the folder holds before a start; what that start offers; what is left once it is
    // over. Live owners are flocks this test holds itself.
    void locksAtStart()
    {
        const std::string copy = files::recoveryFileText(tabOf("|   left"));
        const QString junk = QStringLiteral("%1\nquorlin\n%2\n")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QSysInfo::machineHostName());
        struct Case {
            const char* name;
            // name -> content; "live" a lock held now, "link" a link to nowhere.
            std::vector<std::pair<QString, std::string>> files;
            int offered;
            QStringList left;
        };
        const Case cases[] = {
            {"a lock beside nothing, its owner gone", {{"gone.lock", ""}}, 0, {}},
            {"a lock beside nothing, its owner alive", {{"alive.lock", "live"}}, 0, {"alive.lock"}},
            {"an empty lock beside a copy",
             {{"cut.lock", ""}, {"cut.qrec", copy}},
             1,
             {"cut.qrec"}},
            {"a lock naming this very process",
             {{"pid.lock", junk.toStdString()}, {"pid.qrec", copy}},
             1,
             {"pid.qrec"}},
            {"junk in the lock",
             {{"junk.lock", "\xff\x01garbage"}, {"junk.qrec", copy}},
             1,
             {"junk.qrec"}},
            {"a lock that is a link to nowhere",
             {{"link.lock", "link"}, {"link.qrec", copy}},
             1,
             {"link.lock", "link.qrec"}},
            {"a copy whose owner lives",
             {{"busy.lock", "live"}, {"busy.qrec", copy}},
             0,
             {"busy.lock", "busy.qrec"}},
            {"a copy without a lock", {{"bare.qrec", copy}}, 1, {"bare.qrec"}},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            std::vector<std::unique_ptr<LiveOwner>> owners;
            for (const auto& [name, content] : c.files) {
                const QString path = dir.filePath(name);
                if (content == "live")
                    owners.push_back(std::make_unique<LiveOwner>(path));
                else if (content == "link")
                    QVERIFY(QFile::link(dir.filePath("nowhere"), path));
                else
                    put(path, content);
            }
            {
                platform::RecoveryFolder store(dir.path());
                const std::vector<platform::Orphan> orphans = listed(store);
                QVERIFY2(int(orphans.size()) == c.offered, c.name);
                for (const platform::Orphan& o : orphans)
                    QVERIFY2(o.state == platform::Orphan::State::Sound &&
                                 o.firstWords == "|   left",
                             c.name);
            }
            QVERIFY2(filesIn(dir.path()) == c.left, qPrintable(QString::fromLatin1(c.name) + ": " +
                                                               filesIn(dir.path()).join(' ')));
        }
    }

    // In a container every run may get the same process id: the crashed run's copy must still be
    // told from a live one's.
    void aCrashInAPidNamespaceIsOfferedAtTheNextStart()
    {
        const QStringList ns{"--pid", "--fork", "--mount-proc", "--kill-child"};
        QProcess probe;
        probe.start("unshare", ns + QStringList{"true"});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            QSKIP("unshare may not make a PID namespace here");
        QTemporaryDir dir;
        const QString self = QCoreApplication::applicationFilePath();
        QProcess child;
        child.start("unshare", ns + QStringList{self, "--hold-copy", dir.path()});
        QVERIFY(child.waitForReadyRead(10000));
        const QString ready = QString::fromLatin1(child.readLine()).trimmed();
        QVERIFY(ready.startsWith("ready "));
        const QString holderPid = ready.mid(6);

        const auto listInNamespace = [&] {
            return run("unshare", ns + QStringList{self, "--list", dir.path()}).value_or("failed");
        };
        // The same process id as the live holder's, and still its copy is not offered.
        QCOMPARE(listInNamespace(), "pid " + holderPid + "\n");
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QTRY_COMPARE_WITH_TIMEOUT(listInNamespace(),
                                  "pid " + holderPid + "\n0 |   from the child \n", 10000);
    }

    // A copy this user may not read is no damaged copy: it stays where it is, under its name,
    // and the reason is told; so is a pipe under a copy's name.
    void aCopyThatCannotBeReadIsLeftAndTold()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
        const QString locked = dir.filePath("locked.qrec");
        put(locked, files::recoveryFileText(tabOf("|   locked")));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.qrec")).constData(), 0666), 0);
        QVERIFY(QFile::setPermissions(dir.filePath("pipe.qrec"), QFileDevice::Permissions(0x6666)));

        // As another user, who meets the permissions root would pass.
        const std::optional<QString> other =
            run("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(), "--list", dir.path()});
        if (other && other->startsWith("pid ")) {
            QVERIFY2(other->contains("2  The recovery copy cannot be read: Permission denied."),
                     qPrintable(*other));
            QVERIFY2(other->contains("2  The recovery copy cannot be read: It is not a regular "
                                     "file."),
                     qPrintable(*other));
        } else {
            qWarning("setpriv cannot run the test as another user; the pipe alone is checked");
        }

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
        QCOMPARE(offered, std::size_t(1)); // the locked copy, which root can read
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

    // The offer shows the start of a five-megabyte line; the restore gives back all of it.
    void aCopyOfAnySizeIsOfferedByItsStart()
    {
        QTemporaryDir dir;
        const files::Recovered big = bigTab(5'000'000);
        const std::string bytes = files::recoveryFileText(big);
        put(dir.filePath("big.qrec"), bytes);
        platform::RecoveryFolder store(dir.path());
        const std::vector<platform::Orphan> orphans = listed(store);
        QCOMPARE(orphans.size(), std::size_t(1));
        QCOMPARE(orphans.front().firstWords, "|   " + QString(56, 'q'));
        QCOMPARE(orphans.front().size, qint64(bytes.size()));
        QString problem;
        QVERIFY(store.take(orphans.front(), problem) == big);
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

    // A line of megabytes would take Qt minutes to wrap: its tab comes back unwrapped, with a
    // box up while the text area lays it out. A line of the longest length still wrapped comes
    // back as any other, without the box. Either way the line comes back whole.
    void aLineTooLongToWrapComesBackUnwrapped_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("unwrapped");
        const int longest = int(ui::RestoreProgress::kLongestWrapped);
        QTest::newRow("longest wrapped") << longest << false;
        QTest::newRow("one more") << longest + 1 << true;
    }

    void aLineTooLongToWrapComesBackUnwrapped()
    {
        QFETCH(int, length);
        QFETCH(bool, unwrapped);
        ui::testing::QuietWindow w;
        const files::Recovered big = bigTab(std::size_t(length) - tabOf("|   q").lines[0].size());
        put(w.dir.filePath("recovery/big.qrec"), files::recoveryFileText(big));
        bool boxShown = false;
        ui::testing::whenVisible<ui::RecoveryDialog>(
            w.form, "RecoveryDialog", [&w, &boxShown](ui::RecoveryDialog* d) {
                ui::testing::whenVisible<QWidget>(w.form, "RestoreProgress",
                                                  [&boxShown](QWidget*) { boxShown = true; });
                QTest::keyClick(d, Qt::Key_Return);
            });
        QVERIFY(w.form.offerRecovery());
        auto* area = child<QPlainTextEdit>(w.form, "Tab");
        QCOMPARE(area->lineWrapMode(),
                 unwrapped ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        if (unwrapped)
            QCOMPARE(area->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(boxShown, unwrapped);
        QCOMPARE(w.tab().section('\n', 0, 0).size(), qsizetype(length));
    }

    // One change is written after a pause; a burst at most once a second and never more than
    // two seconds behind; a save cancels the write to come and removes the copy.
    void paceOfTheWrites()
    {
        QTemporaryDir dir;
        platform::RecoveryFolder store(dir.path());
        Counting count;
        platform::AutosaveTimer autosave(store, count.provider());
        count.clock.start();
        autosave.changed();
        QVERIFY(autosave.pending());
        QTest::qWait(2100);
        QCOMPARE(count.writes.size(), 1);
        QVERIFY(count.writes.front() >= 1000 && count.writes.front() <= 2000);
        QVERIFY(!autosave.pending() && QFile::exists(store.copyPath()));

        const qint64 burst = count.clock.elapsed();
        qint64 lastChange = 0;
        while (count.clock.elapsed() < burst + 3000) {
            ++count.content;
            autosave.changed();
            lastChange = count.clock.elapsed();
            QTest::qWait(200);
        }
        QTest::qWait(2500);
        QVERIFY(count.writes.size() >= 3);
        for (int i = 1; i < count.writes.size(); ++i)
            QVERIFY2(count.writes[i] - count.writes[i - 1] >= 990,
                     qPrintable(QString::number(count.writes[i] - count.writes[i - 1])));
        QVERIFY(count.writes[1] <= burst + 2100);
        QVERIFY2(count.writes.back() >= lastChange && count.writes.back() - lastChange <= 2000,
                 qPrintable(QString::number(count.writes.back() - lastChange)));
        QCOMPARE(readBack(store.copyPath()).lines.front(), "|   " + std::to_string(count.content));

        const qsizetype written = count.writes.size();
        autosave.changed();
        QVERIFY(autosave.saved());
        QTest::qWait(2500);
        QCOMPARE(count.writes.size(), written);
        QVERIFY(!QFile::exists(store.copyPath()));
    }

    void failureIsReportedOnceUntilAWriteSucceeds()
    {
        QTemporaryDir dir;
        platform::RecoveryFolder store(dir.path());
        Counting count;
        platform::AutosaveTimer autosave(store, count.provider());
        QSignalSpy failures(&autosave, &platform::AutosaveTimer::failed);
        // A folder where the copy goes refuses every write, even root's.
        const auto breakFolder = [&] {
            QFile::remove(store.copyPath());
            QVERIFY(QDir().mkdir(store.copyPath()));
        };
        const auto writeOnce = [&] {
            autosave.changed();
            QTest::qWait(1200);
        };

        breakFolder();
        for (int i = 0; i < 3; ++i)
            writeOnce();
        QCOMPARE(count.writes.size(), 3); // each change tried again
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures.front().front().toString().contains("cannot write its recovery copy"));
        QVERIFY(QDir().rmdir(store.copyPath()));
        writeOnce();
        QVERIFY(QFileInfo(store.copyPath()).isFile());
        breakFolder();
        writeOnce();
        writeOnce();
        QCOMPARE(failures.size(), 2);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--hold-copy") == 0)
        return holdCopy(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0)
        return listOrphans(argv[2]);
    QApplication app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecoveryTest.moc"
