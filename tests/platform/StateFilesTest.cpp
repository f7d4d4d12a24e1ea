// Quorlin's own files (settings, recent files, recovery copies): a failed write keeps the old
// file, a link never redirects a write, the folders and files are the user's alone, and
// without a home nothing is written at all.

#include "platform/FileAccess.h"
#include "platform/RecentFiles.h"
#include "platform/RecoveryFolder.h"
#include "platform/SettingsFileStore.h"
#include "storage/AtomicFile.h"
#include "tests/platform/WithoutHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

    // Through the user's own homes, as the window makes them: every folder of Quorlin's is
    // 0700 and every file 0600, whatever the umask, whether the run made the folders or found
    // them left open by an earlier version. The homes themselves are the user's and keep
    // their mode.
    void theStateHomesHoldOnlyPrivateFolders_data()
    {
        QTest::addColumn<mode_t>("umask");
        QTest::addColumn<bool>("leftOpen");
        QTest::newRow("made, umask 022") << mode_t(022) << false;
        QTest::newRow("made, umask 0") << mode_t(0) << false;
        QTest::newRow("found 0755") << mode_t(022) << true;
    }

    void theStateHomesHoldOnlyPrivateFolders()
    {
        QFETCH(mode_t, umask);
        QFETCH(bool, leftOpen);
        QTemporaryDir dir;
        const QString data = dir.filePath("data"), config = dir.filePath("config");
        const QString names[] = {QCoreApplication::organizationName(),
                                 QCoreApplication::applicationName()};
        QCoreApplication::setOrganizationName(platform::kOrganisation);
        QCoreApplication::setApplicationName("Quorlin");
        const QByteArray saved[] = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_CONFIG_HOME")};
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        const mode_t before = ::umask(umask);
        const QStringList folders = {data + "/AmbrelApps", data + "/AmbrelApps/Quorlin",
                                     data + "/AmbrelApps/Quorlin/recovery", config + "/AmbrelApps"};
        QVERIFY(QDir().mkpath(data) && QDir().mkpath(config));
        ::chmod(QFile::encodeName(data).constData(), 0755);
        for (const QString& folder : folders) {
            if (leftOpen) {
                QVERIFY(QDir().mkpath(folder));
                ::chmod(QFile::encodeName(folder).constData(), 0755);
            }
        }

        platform::RecentFiles(platform::RecentFiles::userFile()).add("/songs/a.tab");
        platform::SettingsFileStore store;
        instrument::saveSetup(store, setup(true, 5));
        QString problem;
        {
            platform::RecoveryFolder recovery;
            files::Recovered copy;
            copy.lines = {"|   q"};
            QVERIFY2(recovery.write(copy, problem), qPrintable(problem));
            const QStringList made =
                QDir(folders[2]).entryList(QDir::Files | QDir::Hidden | QDir::System);
            QCOMPARE(made.size(), 2); // the copy and its lock
            for (const QString& file : made)
                QCOMPARE(lmode(folders[2] + '/' + file), mode_t(S_IFREG | 0600));
        }
        ::umask(before);
        qputenv("XDG_DATA_HOME", saved[0]);
        qputenv("XDG_CONFIG_HOME", saved[1]);
        QCoreApplication::setOrganizationName(names[0]);
        QCoreApplication::setApplicationName(names[1]);

        QCOMPARE(store.problem(), QString());
        for (const QString& folder : folders)
            QCOMPARE(lmode(folder), mode_t(S_IFDIR | 0700));
        for (const QString& file : {folders[1] + "/recent-files", folders[3] + "/Quorlin.conf"})
            QCOMPARE(lmode(file), mode_t(S_IFREG | 0600));
        QCOMPARE(lmode(data), mode_t(S_IFDIR | 0755));
    }

    // A hand-edited list keeps only names a file could have: absolute, short enough for the
    // system, and without control characters. Eight at the most are kept, the newest first.
    void recentFilesKeepEightPlausibleEntries()
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
        for (int i = 0; i < 10; ++i)
            platform::RecentFiles(path).add(QStringLiteral("/many%1").arg(i));
        const QStringList kept = platform::RecentFiles(path).paths();
        QCOMPARE(std::pair(kept.size(), kept.first()), std::pair(qsizetype(8), QString("/many9")));
    }

    // With HOME and the XDG folders unset, Quorlin keeps its state for the run only; nothing
    // lands at the root of the file system. The window's word on it is tested with the window.
    void withoutAHomeNothingIsWritten()
    {
        const platform::testing::WithoutHome noHome;
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
        QString problem;
        QVERIFY(!platform::RecoveryFolder().write(files::Recovered{}, problem));
        QCOMPARE(QFileInfo::exists("/.config"), configBefore);
        QCOMPARE(QFileInfo::exists("/.local"), dataBefore);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StateFilesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StateFilesTest.moc"
