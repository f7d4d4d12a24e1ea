// The exports and the import without a window: what they leave on disk when the output cannot
// be written, is the input itself, or has a name that is not text.

#include "app/CommandLine.h"
#include "audio/Synth.h"
#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"

#include "tests/storage/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorlin::app {
namespace {

const std::string kTab = std::string(QUORLIN_FILES_DATA) + "/example.tab";
const std::string kWebTab = "G|--5--7--|\nD|---------|\nA|---------|\nE|---------|\n";

std::string slurp(const std::string& path)
{
    const storage::FileContent content = storage::readRegularFile(path);
    return content.ok ? content.bytes : "<" + content.problem + ">";
}

void put(const std::string& path, const std::string& bytes)
{
    std::string problem;
    ASSERT_TRUE(storage::writeFile(path, bytes, {}, problem)) << problem;
}

using Folder = quorlin::tests::ScratchFolder;

int run(CommandLine::Mode mode, const std::string& input, const std::string& output)
{
    CommandLine line;
    line.mode = mode;
    line.input = input;
    line.output = output;
    return mode == CommandLine::Mode::ImportTab ? runImport(line) : runExport(line);
}

// An output that names the input is refused and the input kept. Every export and the import
// ask storage::sameFile first, whose test walks the roads; one road each here.
TEST(HeadlessOntoInput, IsRefusedAndTheInputKept)
{
    for (const auto mode : {CommandLine::Mode::ExportMidi, CommandLine::Mode::ImportTab}) {
        Folder folder;
        const bool import = mode == CommandLine::Mode::ImportTab;
        const std::string input = folder / "song.tab", output = folder / "other.out";
        const std::string bytes = import ? kWebTab : slurp(kTab);
        put(input, bytes);
        ASSERT_EQ(import ? ::symlink(input.c_str(), output.c_str())
                         : ::link(input.c_str(), output.c_str()),
                  0);
        EXPECT_EQ(run(mode, input, output), 1) << import;
        EXPECT_EQ(slurp(input), bytes) << import;
    }
}

// A write that fails leaves the old output whole and says so in the exit status: the import's
// own write and the one the MIDI and MusicXML exports share. (WAV: the /dev/full row below.)
TEST(HeadlessFailedWrite, KeepsTheOldOutputAndFails)
{
    for (const auto mode : {CommandLine::Mode::ImportTab, CommandLine::Mode::ExportMidi}) {
        const bool import = mode == CommandLine::Mode::ImportTab;
        Folder input, output;
        const std::string source = input / "in.txt";
        put(source, import ? kWebTab : slurp(kTab));
        const bool full = output.mountSmall();
        const std::string old = "a tab kept for years\n";
        put(output / "song.out", old);
        if (full) {
            const int fd = ::open((output / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
            while (::write(fd, "x", 1) > 0) {
            }
            ::close(fd);
        } else {
            storage::fault::failWrites(ENOSPC);
        }
        const int status = run(mode, source, output / "song.out");
        storage::fault::failWrites(0);

        EXPECT_EQ(status, 1) << import;
        EXPECT_EQ(slurp(output / "song.out"), old) << import;
    }
}

// Linux names are bytes, and every writer writes the file a link leads to and keeps the link:
// the input and the link are read under their exact names, the file behind is replaced.
TEST(HeadlessWriters, TakeNamesAsBytesAndFollowLinks)
{
    struct Row {
        CommandLine::Mode mode;
        std::string input, output;
        const char* starts; // what the output begins with
    };
    const bool sound = !audio::installedSoundFonts().empty();
    for (const Row& row :
         {Row{CommandLine::Mode::ExportMidi, "in\xff.tab", "caf\xe9.mid", "MThd"},
          Row{CommandLine::Mode::ExportMusicXml, "\xc3(.tab", "\x80.xml", "<?xml"},
          Row{CommandLine::Mode::ExportWav, "\xe9.tab", "\xfe.wav", "RIFF"},
          Row{CommandLine::Mode::ImportTab, "w\xfe\xfe.txt", "t\xe9.tab", "FTH"}}) {
        if (row.mode == CommandLine::Mode::ExportWav && !sound)
            continue;
        Folder folder;
        const bool import = row.mode == CommandLine::Mode::ImportTab;
        put(folder / row.input, import ? kWebTab : slurp(kTab));
        ::mkdir((folder / "real").c_str(), 0755);
        put(folder / ("real/" + row.output), "old");
        ASSERT_EQ(::symlink(("real/" + row.output).c_str(), (folder / row.output).c_str()), 0);
        EXPECT_EQ(run(row.mode, folder / row.input, folder / row.output), 0) << row.starts;
        struct stat info {};
        ASSERT_EQ(::lstat((folder / row.output).c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << row.starts;
        EXPECT_TRUE(slurp(folder / ("real/" + row.output)).starts_with(row.starts)) << row.starts;
    }
    // The sound font's name is a name like the others.
    if (!sound)
        return;
    Folder folder;
    ASSERT_EQ(
        ::symlink(audio::installedSoundFonts().front().c_str(), (folder / "f\xe9.sf2").c_str()), 0);
    CommandLine line;
    line.mode = CommandLine::Mode::ExportWav;
    line.input = kTab;
    line.output = folder / "out.wav";
    line.soundFont = folder / "f\xe9.sf2";
    EXPECT_EQ(runExport(line), 0);
}

// The MusicXML score's measures are the tab's own unless the command line gives others.
TEST(HeadlessMusicXml, TakesTheTabsTimeSignatureUnlessGiven)
{
    Folder folder;
    std::string tab = slurp(kTab);
    tab.insert(tab.find("Symbols"), "Time: 6/8\r\n");
    put(folder / "song.tab", tab);
    for (const auto& [given, written] :
         {std::pair<std::optional<model::TimeSignature>, const char*>{
              std::nullopt, "<beats>6</beats><beat-type>8</beat-type>"},
          {model::TimeSignature{3, 4}, "<beats>3</beats><beat-type>4</beat-type>"}}) {
        CommandLine line;
        line.mode = CommandLine::Mode::ExportMusicXml;
        line.input = folder / "song.tab";
        line.output = folder / "song.musicxml";
        line.time = given;
        ASSERT_EQ(runExport(line), 0);
        std::string xml = slurp(line.output);
        std::erase_if(xml, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
        EXPECT_NE(xml.find(written), std::string::npos) << written;
    }
}

// A device takes the export in place, its errors counted. The sound file is written through a
// handle of its own; the other writers' devices are storage::writeFile's, tested there.
TEST(HeadlessDevices, TakeTheSoundInPlace)
{
    if (audio::installedSoundFonts().empty())
        GTEST_SKIP() << "no sound font for the WAV export";
    for (const auto& [device, status] : {std::pair("/dev/null", 0), std::pair("/dev/full", 1)}) {
        EXPECT_EQ(run(CommandLine::Mode::ExportWav, kTab, device), status) << device;
        struct stat info {};
        ASSERT_EQ(::stat(device, &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << device;
    }
}

// An export stopped by Ctrl+C removes what it wrote and exits with 128 + the signal. Each
// signal the handler takes has its row in the storage test.
TEST(InterruptedExport, LeavesNothingBehind)
{
    if (audio::installedSoundFonts().empty())
        GTEST_SKIP() << "no sound font for the WAV export";
    Folder folder;
    std::string web;
    for (const char* string : {"G|", "D|", "A|", "E|"}) {
        web += string;
        for (int bar = 0; bar < 200; ++bar)
            web += string[0] == 'G' ? "--5--7--3--5--|" : "--------------|";
        web += '\n';
    }
    put(folder / "long.txt", web);
    CommandLine import;
    import.mode = CommandLine::Mode::ImportTab;
    import.input = folder / "long.txt";
    import.output = folder / "long.tab";
    import.tempo = 20; // about half an hour of sound
    ASSERT_EQ(runImport(import), 0);
    ::unlink((folder / "long.txt").c_str());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(run(CommandLine::Mode::ExportWav, folder / "long.tab", folder / "long.wav"));
    // Signalled once the partial file is there, so that there is something to remove.
    const auto partial = [&folder] {
        bool found = false;
        if (DIR* dir = ::opendir((folder / "").c_str())) {
            while (const dirent* entry = ::readdir(dir))
                found = found || std::string(entry->d_name).starts_with(".long.wav.part-");
            ::closedir(dir);
        }
        return found;
    };
    for (int wait = 0; wait < 2000 && !partial(); ++wait)
        ::usleep(5000);
    ASSERT_TRUE(partial());
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    EXPECT_FALSE(partial());
    EXPECT_EQ(slurp(folder / "long.wav"), "<No such file or directory>");
}

} // namespace
} // namespace quorlin::app
