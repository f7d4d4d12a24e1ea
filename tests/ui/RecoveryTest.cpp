// Recovery copies on disk and the pace of the automatic writes. A crash's copy is made for
// real, by a child process killed while it holds its copy.

#include "ui/Autosave.h"
#include "ui/FileAccess.h"
#include "ui/RecoveryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <cstring>

using namespace quorlin;
using ui::Orphan;
using ui::RecoveryStore;

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
    RecoveryStore store{QString::fromLocal8Bit(folder)};
    QString problem;
    if (!store.write(tabOf("|   from the child"), problem))
        return 1;
    QTextStream(stdout) << "ready" << Qt::endl;
    for (;;)
        QThread::sleep(60);
}

std::vector<Orphan> listed(RecoveryStore& store)
{
    QString problem;
    return store.orphans(problem).value_or(std::vector<Orphan>{});
}

QStringList titles(RecoveryStore& store)
{
    QStringList out;
    for (const Orphan& o : listed(store))
        out << o.title;
    return out;
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
    return files::readRecoveryFile(ui::readRegularFile(path).bytes.toStdString(), problem)
        .value_or(files::Recovered{});
}

struct Counting {
    QElapsedTimer clock;
    QList<qint64> writes;
    int content = 0;

    ui::Autosave::Provider provider()
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
            RecoveryStore a(dir.path()), b(dir.path());
            QVERIFY(a.problem().isEmpty() && a.copyPath() != b.copyPath());
            QString problem;
            QVERIFY(a.remove(problem)); // nothing written yet: nothing to remove
            QVERIFY(a.write(tabOf("|   a"), problem) && b.write(tabOf("|   b"), problem));
            QCOMPARE(titles(a) + titles(b), QStringList());
            QVERIFY(a.write(tabOf("|   a again"), problem));
            QCOMPARE(readBack(a.copyPath()).lines.front(), "|   a again");
            QCOMPARE(readBack(b.copyPath()).lines.front(), "|   b");
            const Orphan notOffered{a.copyPath(), {}, {}, {}};
            QVERIFY(!b.take(notOffered, problem) && !b.discard(notOffered, problem) &&
                    !b.setAside(notOffered, problem));
            QVERIFY(problem.contains("not one Quorlin offered"));
            QVERIFY(a.remove(problem) && b.remove(problem));
            QVERIFY(!QFile::exists(a.copyPath()));
        }
        // A clean end leaves neither a copy nor a lock behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void aKilledWindowLeavesAnOrphan()
    {
        QTemporaryDir dir;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--hold-copy", dir.path()});
        QVERIFY(child.waitForReadyRead(10000) && child.readLine() == "ready\n");

        // Alive: its copy is its own, however long ago it took its lock.
        for (const QString& name : QDir(dir.path()).entryList({"*.lock"})) {
            QFile lock(dir.filePath(name));
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                     QFileDevice::FileModificationTime));
        }
        RecoveryStore store(dir.path());
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
                RecoveryStore store(dir.path()), second(dir.path());
                QCOMPARE(titles(store),
                         QStringList{QString::fromUtf8("/songs/\xc3\xa9t\xc3\xa9.tab")});
                QCOMPARE(titles(second), QStringList());           // offered by one window only
                const std::vector<Orphan> orphans = listed(store); // and again to the same one
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
            RecoveryStore next(dir.path());
            QCOMPARE(titles(next).size(), remains ? 1 : 0);
        }
    }

    void aDamagedCopyIsListedAndSetAside()
    {
        QTemporaryDir dir;
        const std::string text = files::recoveryFileText(tabOf("|   q")).substr(0, 100);
        put(dir.filePath("cut.qrec"), text);
        RecoveryStore store(dir.path());
        const std::vector<Orphan> orphans = listed(store);
        QCOMPARE(orphans.size(), std::size_t(1));
        QVERIFY(orphans.front().problem.contains("damaged"));
        QString problem;
        QVERIFY(!store.take(orphans.front(), problem) && problem.contains("damaged"));
        QVERIFY(store.setAside(orphans.front(), problem));
        QCOMPARE(ui::readRegularFile(dir.filePath("cut.qrec.damaged")).bytes.toStdString(), text);
        RecoveryStore later(dir.path());
        QCOMPARE(titles(store) + titles(later), QStringList());
    }

    void anUnusableFolderFailsEveryCall()
    {
        // Tests run as root, whom no permission stops: a folder inside a file can never exist.
        QTemporaryFile file;
        QVERIFY(file.open());
        RecoveryStore store(file.fileName() + "/recovery");
        QVERIFY(store.problem().contains("cannot make its recovery folder"));
        QString a, b, c, problem;
        QVERIFY(!store.orphans(a) && !store.write(tabOf("|   q"), b) && !store.remove(c));
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        const Orphan any{file.fileName(), {}, {}, {}};
        QVERIFY(!store.take(any, problem) && !store.discard(any, problem) &&
                !store.setAside(any, problem));
    }

    // One change is written after a pause; a burst at most once a second and never more than
    // two seconds behind; a save cancels the write to come and removes the copy.
    void paceOfTheWrites()
    {
        QTemporaryDir dir;
        RecoveryStore store(dir.path());
        Counting count;
        ui::Autosave autosave(store, count.provider());
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
        RecoveryStore store(dir.path());
        Counting count;
        ui::Autosave autosave(store, count.provider());
        QSignalSpy failures(&autosave, &ui::Autosave::failed);
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
    QCoreApplication app(argc, argv);
    RecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecoveryTest.moc"
