#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"

#include "tests/storage/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorlin::storage;

const std::string kOld = "old tab\n";
const std::string kNew = "FTH80:G D A E ;\r\nG|--5--|\r\n";

std::string slurp(const std::string& path)
{
    const FileContent content = readRegularFile(path);
    return content.ok ? content.bytes : "<" + content.problem + ">";
}

void put(const std::string& path, const std::string& bytes, mode_t mode = 0644)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::fchmod(fd, mode);
    ::close(fd);
}

mode_t lmode(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

std::set<std::string> entries(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

using Folder = quorlin::tests::ScratchFolder;

// Fills the file system holding `folder` to its last byte.
void fill(const Folder& folder)
{
    const int fd = ::open((folder / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    // The last partial block, byte by byte.
    while (::write(fd, "x", 1) > 0) {
    }
    ::close(fd);
}

struct Target {
    const char* name;
    // Makes the target in `folder`; returns its name, or "" to skip with a reason in `skip`.
    std::function<std::string(Folder& folder, std::string& skip)> make;
    bool privateFile;
    const char* problem; // empty: written
    // What the node at the name is afterwards: a link stays a link only when followed.
    mode_t kindAfter;
    // Where the new bytes must be read afterwards (a link's file), else at the name itself.
    const char* readAt;
};

class AtomicWrite : public testing::TestWithParam<Target> {};

TEST_P(AtomicWrite, WritesWholeOrLeavesTheTargetAsItWas)
{
    const Target& target = GetParam();
    Folder folder;
    std::string skip;
    const std::string path = target.make(folder, skip);
    if (path.empty())
        GTEST_SKIP() << skip;
    const bool device = path.starts_with("/dev/");
    const std::string before = device ? "" : slurp(path);

    std::string problem;
    const bool written = writeFile(path, kNew, {target.privateFile}, problem);
    fault::failWrites(0);

    EXPECT_EQ(written ? "" : problem, target.problem);
    EXPECT_EQ(lmode(path) & S_IFMT, target.kindAfter);
    // Never a partial file left beside the target or the file its link leads to.
    for (const std::string& inside : {folder.path(), folder / "real"}) {
        for (const std::string& name : entries(inside))
            EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
    }
    if (device)
        return;
    const std::string readAt = *target.readAt ? folder / target.readAt : path;
    EXPECT_EQ(slurp(readAt), written ? kNew : before);
    // A link's file takes the new bytes only when the link is followed.
    if (const std::string linked = folder / "real/song.tab"; readAt != linked && lmode(linked)) {
        EXPECT_EQ(slurp(linked), kOld);
    }
}

std::string plain(Folder& folder, std::string&)
{
    put(folder / "song.tab", kOld);
    return folder / "song.tab";
}

// A file system of its own filled up, or where none can be mounted, writes failing as if.
std::string onFullDisk(Folder& folder, std::string&)
{
    const bool mounted = folder.mountSmall();
    put(folder / "song.tab", kOld);
    if (mounted)
        fill(folder);
    else
        fault::failWrites(ENOSPC);
    return folder / "song.tab";
}

std::string linkToFile(Folder& folder, std::string&)
{
    ::mkdir((folder / "real").c_str(), 0755);
    put(folder / "real/song.tab", kOld);
    EXPECT_EQ(::symlink("real/song.tab", (folder / "song.tab").c_str()), 0);
    return folder / "song.tab";
}

std::string danglingLink(Folder& folder, std::string&)
{
    EXPECT_EQ(::symlink("new.tab", (folder / "song.tab").c_str()), 0);
    return folder / "song.tab";
}

std::string linkCircle(Folder& folder, std::string&)
{
    EXPECT_EQ(::symlink("other.tab", (folder / "song.tab").c_str()), 0);
    EXPECT_EQ(::symlink("song.tab", (folder / "other.tab").c_str()), 0);
    return folder / "song.tab";
}

std::string readOnlyFolder(Folder& folder, std::string& skip)
{
    // Permissions do not stop root, a read-only file system does; a plain user has the row
    // of its own below.
    if (::geteuid() != 0 || !folder.mountSmall()) {
        skip = "no tmpfs can be mounted to make read-only";
        return "";
    }
    put(folder / "song.tab", kOld);
    EXPECT_EQ(::mount("tmpfs", folder.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"),
              0);
    return folder / "song.tab";
}

std::string pipeNode(Folder& folder, std::string&)
{
    ::mkfifo((folder / "song.tab").c_str(), 0644);
    return folder / "song.tab";
}

std::string socketNode(Folder& folder, std::string&)
{
    ::mknod((folder / "song.tab").c_str(), S_IFSOCK | 0600, 0);
    return folder / "song.tab";
}

std::string folderNode(Folder& folder, std::string&)
{
    ::mkdir((folder / "song.tab").c_str(), 0755);
    return folder / "song.tab";
}

std::string newFile(Folder& folder, std::string&)
{
    return folder / "new.tab";
}

std::string devNull(Folder&, std::string&)
{
    return "/dev/null";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, AtomicWrite,
    testing::Values(
        Target{"NewFile", newFile, false, "", S_IFREG, ""},
        Target{"RegularFile", plain, false, "", S_IFREG, ""},
        Target{"LongestName",
               [](Folder& f, std::string&) {
                   put(f / std::string(255, 'n'), kOld);
                   return f / std::string(255, 'n');
               },
               false, "", S_IFREG, ""},
        Target{"FullDisk", onFullDisk, false, "No space left on device", S_IFREG, ""},
        Target{"LinkFollowed", linkToFile, false, "", S_IFLNK, "real/song.tab"},
        Target{"DanglingLinkFollowed", danglingLink, false, "", S_IFLNK, "new.tab"},
        Target{"LinkReplacedWhenPrivate", linkToFile, true, "", S_IFREG, ""},
        Target{"LinkCircle", linkCircle, false, "Too many levels of symbolic links", S_IFLNK, ""},
        Target{"ReadOnlyFolder", readOnlyFolder, false, "Read-only file system", S_IFREG, ""},
        Target{"Pipe", pipeNode, false, "It is a named pipe, not a file", S_IFIFO, ""},
        Target{"Socket", socketNode, false, "It is a socket, not a file", S_IFSOCK, ""},
        Target{"Folder", folderNode, false, "It is a folder, not a file", S_IFDIR, ""},
        Target{"DevNull", devNull, false, "", S_IFCHR, ""},
        Target{"DevFull", [](Folder&, std::string&) { return std::string("/dev/full"); }, false,
               "No space left on device", S_IFCHR, ""}),
    [](const testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// Only a regular file is read; nothing else is opened in a way that could wait, as a pipe
// would for a writer that never comes.
TEST(ReadRegularFile, ReadsARegularFileAloneAndWaitsOnNothing)
{
    const std::tuple<const char*, std::string (*)(Folder&, std::string&), std::string> rows[] = {
        {"missing", newFile, "No such file or directory"},
        {"file", plain, ""},
        {"pipe", pipeNode, "It is a named pipe, not a file"},
        {"socket", socketNode, "It is a socket, not a file"},
        {"folder", folderNode, "It is a folder, not a file"},
        {"device", devNull, "It is a device, not a file"}};
    ::alarm(60); // a read that blocks ends the run rather than hang it
    for (const auto& [name, make, problem] : rows) {
        Folder folder;
        std::string skip;
        const FileContent read = readRegularFile(make(folder, skip));
        EXPECT_EQ(read.ok ? "" : read.problem, problem) << name;
        EXPECT_EQ(read.bytes, read.ok ? kOld : "") << name;
        EXPECT_EQ(read.missing, std::string_view(name) == "missing") << name;
    }
    ::alarm(0);
}

// What a user may not write is refused as the system says, and left as it was: a folder the
// user may not write in, and a file made read-only to keep it. Root runs the rows as nobody.
TEST(AtomicWriteAsUser, RefusesWhatTheUserMayNotWrite)
{
    struct Row {
        const char* name;
        mode_t folderMode, fileMode;
    };
    for (const Row& row :
         {Row{"read-only folder", 0555, 0644}, Row{"read-only file", 0777, 0444}}) {
        Folder folder;
        const std::string path = folder / "song.tab";
        put(path, kOld, row.fileMode);
        ::chmod(folder.path().c_str(), row.folderMode);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && ::setuid(65534) != 0)
                ::_exit(2);
            std::string problem;
            ::_exit(!writeFile(path, kNew, {}, problem) && problem == "Permission denied" ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << row.name;
        EXPECT_EQ(slurp(path), kOld) << row.name;
        ::chmod(folder.path().c_str(), 0700);
    }
}

// Who may read a file: a replacement keeps the old file's mode exactly, a new file gets the
// umask's, and Quorlin's own files are the user's alone whatever stood there before.
TEST(AtomicWriteModes, FollowTheKindOfFile)
{
    struct Row {
        const char* name;
        mode_t before; // 0: no file yet
        bool privateFile;
        mode_t after;
    };
    const mode_t mask = ::umask(022);
    for (const Row& row : {Row{"kept 0640", 0640, false, 0640}, Row{"kept 0604", 0604, false, 0604},
                           Row{"new", 0, false, 0644}, Row{"private new", 0, true, 0600},
                           Row{"private over 0666", 0666, true, 0600}}) {
        Folder folder;
        const std::string path = folder / "file";
        if (row.before != 0)
            put(path, kOld, row.before);
        std::string problem;
        ASSERT_TRUE(writeFile(path, kNew, {row.privateFile}, problem)) << row.name << problem;
        EXPECT_EQ(lmode(path) & 07777, row.after) << row.name;
    }
    ::umask(mask);
}

TEST(SameFile, ComparesTheFileNotTheName)
{
    Folder folder;
    put(folder / "song.tab", kOld);
    put(folder / "copy.tab", kOld);
    ::link((folder / "song.tab").c_str(), (folder / "hard.tab").c_str());
    ::symlink("song.tab", (folder / "soft.tab").c_str());
    ::mkdir((folder / "sub").c_str(), 0755);
    struct Row {
        std::string other;
        bool same;
    };
    for (const Row& row : {Row{folder / "song.tab", true}, Row{folder / "hard.tab", true},
                           Row{folder / "soft.tab", true}, Row{folder / "sub/../song.tab", true},
                           Row{folder / "./song.tab", true}, Row{folder / "copy.tab", false},
                           Row{folder / "missing.tab", false}})
        EXPECT_EQ(sameFile(folder / "song.tab", row.other), row.same) << row.other;
}

TEST(PrivateFolder, NewFoldersAreTheUsersAloneAndLinksAreRefused)
{
    Folder folder;
    ::chmod(folder.path().c_str(), 0755);
    std::string problem;
    ASSERT_TRUE(makePrivateFolder(folder / "a/b/c", false, problem)) << problem;
    for (const char* made : {"a", "a/b", "a/b/c"})
        EXPECT_EQ(lmode(folder / made), S_IFDIR | 0700) << made;
    EXPECT_EQ(lmode(folder.path()) & 07777, 0755u);                   // the user's own, left alone
    EXPECT_TRUE(makePrivateFolder(folder / "a/b/c", false, problem)); // already there

    ::symlink("a", (folder / "elsewhere").c_str());
    EXPECT_FALSE(makePrivateFolder(folder / "elsewhere", false, problem));
    EXPECT_EQ(problem, "It is a link to another folder");
    EXPECT_TRUE(makePrivateFolder(folder / "elsewhere", true, problem));

    put(folder / "file", kOld);
    EXPECT_FALSE(makePrivateFolder(folder / "file/recovery", true, problem));
    EXPECT_EQ(problem, "Not a directory");
}

// A child writing a file is stopped by a signal: the partial file goes, and the exit status is
// 128 + the signal, as a shell reports it.
struct Stop {
    std::vector<int> signals; // sent in turn; the last one ends the child
    bool hangupIgnored;       // as nohup starts a program
};

class Interrupted : public testing::TestWithParam<Stop> {};

TEST_P(Interrupted, RemovesThePartialFileAndExitsWith128PlusTheSignal)
{
    const Stop& stop = GetParam();
    Folder folder;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (stop.hangupIgnored)
            ::signal(SIGHUP, SIG_IGN);
        removePartialFilesOnSignals();
        AtomicFile file;
        std::string problem;
        if (!file.open(folder / "long.wav", {}, problem) ||
            !file.write(std::string(1 << 20, 'x'), problem))
            ::_exit(99);
        ::write(ready[1], "r", 1);
        for (;;)
            ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(entries(folder.path()).size(), 1u); // the partial file, while writing
    for (const int signal : stop.signals)
        ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + stop.signals.back());
    EXPECT_EQ(entries(folder.path()), std::set<std::string>());
}

// The pages of one export, more than were ever written at once before: closed under their
// new names, half of them moved into place, then stopped. None is left, moved or not, and a
// file that was there stays only until one of them replaces it.
TEST(InterruptedSet, RemovesEveryFileMovedOrNot)
{
    Folder folder;
    put(folder / "page-19", kOld);
    put(folder / "other", kOld);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        removePartialFilesOnSignals();
        std::vector<std::unique_ptr<AtomicFile>> pages;
        std::string problem;
        for (int i = 0; i < 20; ++i) {
            auto& page = pages.emplace_back(std::make_unique<AtomicFile>());
            if (!page->open(folder / ("page-" + std::to_string(i)), {}, problem) ||
                !page->write(kNew, problem) || !page->close(problem))
                ::_exit(99);
        }
        for (int i = 0; i < 10; ++i) {
            if (!pages[static_cast<std::size_t>(i)]->moveIntoPlace(problem))
                ::_exit(98);
        }
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"other", "page-19"}));
    EXPECT_EQ(slurp(folder / "page-19"), kOld);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         testing::Values(Stop{{SIGINT}, false}, Stop{{SIGTERM}, false},
                                         Stop{{SIGHUP}, false}, Stop{{SIGHUP, SIGTERM}, true}),
                         [](const testing::TestParamInfo<Stop>& info) {
                             std::string name = info.param.hangupIgnored ? "IgnoredThen" : "";
                             for (const int signal : info.param.signals)
                                 name += sigabbrev_np(signal);
                             return name;
                         });

} // namespace
