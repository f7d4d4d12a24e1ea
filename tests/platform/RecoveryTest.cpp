// Recovery copies on disk and the pace of their writes. A crash's copy is made for real, by a
// child process killed while it holds its copy; a run in a PID namespace or as another user is
// a child started through unshare or setpriv.

#include "platform/AutosaveTimer.h"
#include "platform/FileAccess.h"
#include "platform/RecoveryFolder.h"
#include "platform/RecoveryLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <cstring>

using namespace quorlin;
using platform::Orphan;
using platform::RecoveryFolder;

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
    RecoveryFolder store{QString::fromLocal8Bit(folder)};
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
    RecoveryFolder store{QString::fromLocal8Bit(folder)};
    QString problem;
    const auto orphans = store.orphans(problem);
    if (!orphans) {
        QTextStream(stdout) << "no list: " << problem << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "pid " << QCoreApplication::applicationPid() << Qt::endl;
    for (const Orphan& o : *orphans)
        QTextStream(stdout) << int(o.state) << ' ' << o.title() << ' ' << o.problem << Qt::endl;
    return 0;
}

std::vector<Orphan> listed(RecoveryFolder& store)
{
    QString problem;
    return store.orphans(problem).value_or(std::vector<Orphan>{});
}

QStringList titles(RecoveryFolder& store)
{
    QStringList out;
    for (const Orphan& o : listed(store))
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

Orphan orphanAt(const QString& path)
{
    Orphan o;
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

// A clock that moves only when the test says, waking the timer as a steady clock would.
class HandClock : public platform::AutosaveTimer::Clock {
public:
    qint64 now() const override { return m_now; }
    void wakeAt(qint64 at, std::function<void()> wake) override
    {
        m_at = at;
        m_wake = std::move(wake);
    }
    void stop() override { m_wake = nullptr; }
    void advance(qint64 ms)
    {
        const qint64 end = m_now + ms;
        while (m_wake && m_at <= end) {
            m_now = std::max(m_now, m_at);
            std::exchange(m_wake, nullptr)();
        }
        m_now = end;
    }

private:
    qint64 m_now = 0, m_at = 0;
    std::function<void()> m_wake;
};

// The timer on a hand clock, noting the time of every write it asks for.
struct Autosave {
    explicit Autosave(RecoveryFolder& store) :
        timer(
            store, [this] { return written(); }, std::unique_ptr<HandClock>(clock))
    {
    }
    files::Recovered written()
    {
        writes << clock->now();
        return tabOf("|   " + std::to_string(content));
    }

    HandClock* clock = new HandClock;
    QList<qint64> writes;
    int content = 0;
    platform::AutosaveTimer timer;
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
            RecoveryFolder a(dir.path()), b(dir.path());
            QVERIFY(a.problem().isEmpty() && a.copyPath() != b.copyPath());
            QString problem;
            QVERIFY(a.remove(problem)); // nothing written yet: nothing to remove
            QVERIFY(a.write(tabOf("|   a"), problem) && b.write(tabOf("|   b"), problem));
            QCOMPARE(titles(a) + titles(b), QStringList());
            QVERIFY(a.write(tabOf("|   a again"), problem));
            QCOMPARE(readBack(a.copyPath()).lines.front(), "|   a again");
            QCOMPARE(readBack(b.copyPath()).lines.front(), "|   b");
            const Orphan notOffered = orphanAt(a.copyPath());
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
        RecoveryFolder running(folder);
        QString problem;
        QVERIFY(running.write(tabOf("|   a"), problem));
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(running.write(tabOf("|   b"), problem));
        RecoveryFolder started(folder);
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
        RecoveryFolder store(dir.path());
        QCOMPARE(titles(store), QStringList());

        child.kill(); // SIGKILL: no destructor runs, the lock stays behind
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(titles(store), QStringList{"|   from the child"}); // no file: its first line
        const std::vector<Orphan> orphans = listed(store);
        QVERIFY(orphans.front().modified.isValid());
        QString problem;
        QVERIFY(store.take(orphans.front(), problem) == tabOf("|   from the child"));
    }

    // The choice, then whether the orphan is offered at the next start and whether the window's
    // own copy now holds it. The copy holds five megabytes: the offer reads its start, the
    // restore all of it.
    void orphanChoices()
    {
        const std::tuple<QString, bool, bool> choices[] = {
            {"take", false, true}, {"discard", false, false}, {"later", true, false}};
        for (const auto& [choice, remains, taken] : choices) {
            QTemporaryDir dir;
            files::Recovered left = tabOf("|   q", "/songs/\xc3\xa9t\xc3\xa9.tab");
            left.lines.resize(500, std::string(10'000, 'q'));
            const std::string bytes = files::recoveryFileText(left);
            put(dir.filePath("gone.qrec"), bytes);
            {
                RecoveryFolder store(dir.path()), second(dir.path());
                QCOMPARE(titles(store),
                         QStringList{QString::fromUtf8("/songs/\xc3\xa9t\xc3\xa9.tab")});
                QCOMPARE(titles(second), QStringList());           // offered by one window only
                const std::vector<Orphan> orphans = listed(store); // and again to the same one
                QCOMPARE(orphans.size(), std::size_t(1));
                QCOMPARE(orphans.front().size, qint64(bytes.size()));
                QString problem;
                if (choice == "take")
                    QVERIFY(store.take(orphans.front(), problem) == left);
                else if (choice == "discard")
                    QVERIFY(store.discard(orphans.front(), problem));
                QCOMPARE(QFile::exists(orphans.front().path), remains);
                QCOMPARE(readBack(store.copyPath()) == left, taken);
                QVERIFY(store.remove(problem));
            }
            RecoveryFolder next(dir.path());
            QCOMPARE(titles(next).size(), remains ? 1 : 0);
        }
    }

    void aDamagedCopyIsListedAndSetAside()
    {
        QTemporaryDir dir;
        const std::string text = files::recoveryFileText(tabOf("|   q")).substr(0, 100);
        put(dir.filePath("cut.qrec"), text);
        RecoveryFolder store(dir.path());
        const std::vector<Orphan> orphans = listed(store);
        QCOMPARE(orphans.size(), std::size_t(1));
        QVERIFY(orphans.front().problem.contains("damaged"));
        QCOMPARE(orphans.front().state, Orphan::State::Damaged);
        QString problem;
        QVERIFY(!store.take(orphans.front(), problem) && problem.contains("damaged"));
        QVERIFY(store.setAside(orphans.front(), problem));
        QCOMPARE(platform::readRegularFile(dir.filePath("cut.qrec.damaged")).bytes.toStdString(),
                 text);
        RecoveryFolder later(dir.path());
        QCOMPARE(titles(store) + titles(later), QStringList());
    }

    // A folder that cannot be made (inside a file, where even root cannot) or that is a link
    // (unsaved work is never redirected elsewhere): every call fails, and nothing is written.
    void aFolderThatCannotBeMadeFailsEveryCall_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("said");
        QTest::newRow("inside a file") << false << "Not a directory";
        QTest::newRow("a link") << true << "It is a link to another folder";
    }
    void aFolderThatCannotBeMadeFailsEveryCall()
    {
        QFETCH(bool, link);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString elsewhere = dir.filePath("elsewhere");
        put(dir.filePath("file"), "");
        QVERIFY(QDir(dir.path()).mkdir("elsewhere"));
        QVERIFY(!link || QFile::link(elsewhere, dir.filePath("recovery")));
        RecoveryFolder store(dir.filePath(link ? "recovery" : "file/recovery"));
        QVERIFY2(store.problem().contains("cannot make its recovery folder") &&
                     store.problem().contains(said),
                 qPrintable(store.problem()));
        QString a, b, c, problem;
        QVERIFY(!store.orphans(a) && !store.write(tabOf("|   q"), b) && !store.remove(c));
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        const Orphan any = orphanAt(dir.filePath("file"));
        QVERIFY(!store.take(any, problem) && !store.discard(any, problem) &&
                !store.setAside(any, problem));
        QCOMPARE(QDir(elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList());
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
                RecoveryFolder store(dir.path());
                const std::vector<Orphan> orphans = listed(store);
                QVERIFY2(int(orphans.size()) == c.offered, c.name);
                for (const Orphan& o : orphans)
                    QVERIFY2(o.state == Orphan::State::Sound && o.firstWords == "|   left", c.name);
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

    // A copy this user may not read is no damaged copy: it is listed as one that cannot be read,
    // with why. A pipe under a copy's name is the offer's test in tests/ui/recovery.
    void aCopyThisUserMayNotReadIsListedWithWhy()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
        const QString locked = dir.filePath("locked.qrec");
        put(locked, files::recoveryFileText(tabOf("|   locked")));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        // As another user, who meets the permissions root would pass.
        const std::optional<QString> other =
            run("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(), "--list", dir.path()});
        if (!other || !other->startsWith("pid "))
            QSKIP("setpriv cannot run the test as another user");
        QVERIFY2(other->contains("2  The recovery copy cannot be read: Permission denied."),
                 qPrintable(*other));
    }

    // One change is written after a pause of a second; a burst every two seconds, and a second
    // after its last change; a save cancels the write to come and removes the copy.
    void paceOfTheWrites()
    {
        QTemporaryDir dir;
        RecoveryFolder store(dir.path());
        Autosave autosave(store);
        autosave.timer.changed();
        autosave.clock->advance(999);
        QVERIFY(autosave.timer.pending() && autosave.writes.isEmpty());
        autosave.clock->advance(1);
        QCOMPARE(autosave.writes, QList<qint64>{1000});
        QVERIFY(!autosave.timer.pending() && QFile::exists(store.copyPath()));

        // A change every 200 ms from 5000 to 7800.
        autosave.clock->advance(4000);
        for (int i = 0; i < 15; ++i) {
            ++autosave.content;
            autosave.timer.changed();
            autosave.clock->advance(200);
        }
        autosave.clock->advance(3000);
        QCOMPARE(autosave.writes, (QList<qint64>{1000, 7000, 8800}));
        QCOMPARE(readBack(store.copyPath()).lines.front(), "|   15");

        autosave.timer.changed();
        QVERIFY(autosave.timer.saved());
        autosave.clock->advance(3000);
        QCOMPARE(autosave.writes.size(), 3);
        QVERIFY(!QFile::exists(store.copyPath()));
    }

    void failureIsReportedOnceUntilAWriteSucceeds()
    {
        QTemporaryDir dir;
        RecoveryFolder store(dir.path());
        Autosave autosave(store);
        QSignalSpy failures(&autosave.timer, &platform::AutosaveTimer::failed);
        // A folder where the copy goes refuses every write, even root's.
        const auto breakFolder = [&] {
            QFile::remove(store.copyPath());
            QVERIFY(QDir().mkdir(store.copyPath()));
        };
        const auto writeOnce = [&] {
            autosave.timer.changed();
            autosave.clock->advance(1000);
        };

        breakFolder();
        for (int i = 0; i < 3; ++i)
            writeOnce();
        QCOMPARE(autosave.writes.size(), 3); // each change tried again
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
    QCoreApplication app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecoveryTest.moc"
