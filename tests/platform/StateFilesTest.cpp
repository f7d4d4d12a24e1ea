// Quorlin's own files (settings, recent files, recovery copies): a failed write keeps the old
// file, a link never redirects a write, the folders and files are the user's alone, and
// without a home nothing is written at all.

#include "platform/FileAccess.h"
#include "platform/RecentFiles.h"
#include "platform/RecoveryFolder.h"
#include "platform/SettingsFileStore.h"
#include "storage/AtomicFile.h"
#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FakeAudio.h"
#include "tests/ui/FormTesting.h"
#include "ui/shell/BassU1/TBassForm.h"
#include "ui/shell/GuardedApplication.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <sys/stat.h>

using namespace quorlin;

namespace {

const QByteArray kVictim = "[General]\nowner=someone else\n";

QByteArray bytesOf(const QString& path)
{
    return platform::readRegularFile(path).bytes;
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

mode_t lmode(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

instrument::KeptSetup setup(bool keep, int strings)
{
    instrument::KeptSetup kept;
    kept.keepTuning = keep;
    kept.strings = instrument::StringCount(strings);
    return kept;
}

// Sets or clears environment variables for one scope.
class Environment {
public:
    void set(const char* name, const QByteArray& value)
    {
        m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~Environment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};

} // namespace

class StateFilesTest : public QObject {
    Q_OBJECT

private slots:
    // Exit on a full disk: the tuning kept from the last run is still there, and the window
    // is told the new one is not.
    void settingsSurviveAFailedWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("AmbrelApps/Quorlin.conf");
        platform::SettingsFileStore store(path);
        instrument::saveSetup(store, setup(true, 5));
        QCOMPARE(store.problem(), QString());
        const QByteArray before = bytesOf(path);
        QVERIFY(!before.isEmpty());

        storage::fault::failWrites(ENOSPC);
        instrument::saveSetup(store, setup(false, 4));
        storage::fault::failWrites(0);

        QVERIFY2(store.problem().contains("No space left on device"), qPrintable(store.problem()));
        QCOMPARE(bytesOf(path), before);
        const instrument::KeptSetup kept = instrument::loadSetup(store);
        QVERIFY(kept.keepTuning);
        QCOMPARE(kept.strings.value(), 5);
    }

    // A link standing where a state file goes is replaced by the file; what it pointed to is
    // left alone. The folders made are 0700, the files 0600.
    void stateFilesReplaceALinkAndAreTheUsersAlone_data()
    {
        QTest::addColumn<QString>("file"); // inside the folder below
        QTest::newRow("settings") << "config/AmbrelApps/Quorlin.conf";
        QTest::newRow("recent files") << "data/recent-files";
        QTest::newRow("recovery copy") << "recovery/copy";
    }

    void stateFilesReplaceALinkAndAreTheUsersAlone()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim");
        put(victim, kVictim);
        const QString folder = QFileInfo(dir.filePath(file)).path();
        QString problem;
        for (const bool linked : {false, true}) {
            platform::RecoveryFolder* recovery = nullptr;
            std::unique_ptr<platform::RecoveryFolder> owned;
            QString path = dir.filePath(file);
            if (file.startsWith("recovery")) {
                owned = std::make_unique<platform::RecoveryFolder>(folder);
                recovery = owned.get();
                path = recovery->copyPath();
            }
            QFile::remove(path);
            if (linked)
                QVERIFY(QFile::link(victim, path));
            if (recovery != nullptr) {
                files::Recovered copy;
                copy.lines = {"|   q"};
                QVERIFY2(recovery->write(copy, problem), qPrintable(problem));
            } else if (file.startsWith("data")) {
                platform::RecentFiles(path).add("/songs/a.tab");
            } else {
                platform::SettingsFileStore store(path);
                instrument::saveSetup(store, setup(true, 5));
                QCOMPARE(store.problem(), QString());
            }
            QCOMPARE(bytesOf(victim), kVictim);
            QCOMPARE(lmode(path), mode_t(S_IFREG | 0600));
            QVERIFY(!bytesOf(path).isEmpty());
        }
        for (QString made = folder; made != dir.path(); made = QFileInfo(made).path())
            QCOMPARE(lmode(made), mode_t(S_IFDIR | 0700));
    }

    // Unsaved work is never redirected to another folder.
    void aRecoveryFolderThatIsALinkIsRefused()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("elsewhere"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("recovery")));
        platform::RecoveryFolder store(dir.filePath("recovery"));
        QVERIFY2(store.problem().contains("It is a link to another folder"),
                 qPrintable(store.problem()));
        QString problem;
        QVERIFY(!store.write(files::Recovered{}, problem));
        QCOMPARE(QDir(dir.filePath("elsewhere"))
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    // A hand-edited list keeps only names a file could have: absolute, short enough for the
    // system, and without control characters.
    void recentFilesDropImplausibleEntries()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("recent-files");
        const QByteArray longest = '/' + QByteArray(PATH_MAX - 2, 'a'); // PATH_MAX with its NUL
        const QByteArray tooLong = longest + 'a';
        put(path, "/a.tab\n/" + QByteArray(1 << 20, 'x') +
                      "\nrelative.tab\n/b\x01.tab\n/c\t.tab\n" + tooLong + "\n" + longest +
                      "\n/d.tab\n/\xc3\xa9t\xc3\xa9.tab\n");
        QCOMPARE(platform::RecentFiles(path).paths(),
                 QStringList({"/a.tab", QString::fromLatin1(longest), "/d.tab", "/été.tab"}));
    }

    // With HOME and the XDG folders unset, Quorlin keeps its state for the run only and says
    // so; nothing lands at the root of the file system.
    void withoutAHomeNothingIsWritten()
    {
        Environment environment;
        environment.set("HOME", QByteArray());
        environment.set("XDG_CONFIG_HOME", QByteArray());
        environment.set("XDG_DATA_HOME", QByteArray());
        const bool configBefore = QFileInfo::exists("/.config"),
                   dataBefore = QFileInfo::exists("/.local");

        QCOMPARE(platform::SettingsFileStore::userFile(), QString());
        QCOMPARE(platform::RecentFiles::userFile(), QString());
        QCOMPARE(platform::RecoveryFolder::defaultFolder(), QString());

        platform::RecentFiles recent;
        recent.add("/songs/a.tab");
        recent.add("/songs/b.tab");
        QCOMPARE(recent.paths(), QStringList({"/songs/b.tab", "/songs/a.tab"}));
        platform::SettingsFileStore store;
        instrument::saveSetup(store, setup(true, 6));
        QCOMPARE(store.problem(), QString());
        QCOMPARE(instrument::loadSetup(store).strings.value(), 6);

        ui::testing::ScriptedPrompter prompter;
        ui::TBassForm form(&prompter, nullptr, nullptr, ui::testing::silentDevices());
        QVERIFY(form.statusBar()->currentMessage().startsWith("No home folder"));
        QVERIFY(ui::testing::child<QLabel>(form, "NoHomeStatus")->toolTip().startsWith("No home"));
        QCOMPARE(prompter.asked, QStringList());
        QCOMPARE(QFileInfo::exists("/.config"), configBefore);
        QCOMPARE(QFileInfo::exists("/.local"), dataBefore);
    }
};

int main(int argc, char** argv)
{
    ui::GuardedApplication app(argc, argv);
    StateFilesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StateFilesTest.moc"
