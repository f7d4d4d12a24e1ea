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
#include <functional>
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

// An output that names the input, by any road, is refused and both stay as they were.
struct OntoInput {
    const char* name;
    CommandLine::Mode mode;
    // The output's name for the input at `input` in `folder`.
    std::function<std::string(const Folder& folder, const std::string& input)> output;
};

class ExportOntoInput : public testing::TestWithParam<OntoInput> {};

TEST_P(ExportOntoInput, IsRefusedAndTheInputKept)
{
    Folder folder;
    const bool import = GetParam().mode == CommandLine::Mode::ImportTab;
    const std::string input = folder / "song.tab";
    const std::string bytes = import ? kWebTab : slurp(kTab);
    put(input, bytes);
    const std::string output = GetParam().output(folder, input);

    EXPECT_EQ(run(GetParam().mode, input, output), 1);
    EXPECT_EQ(slurp(input), bytes);
}

std::string same(const Folder&, const std::string& input)
{
    return input;
}

std::string softLink(const Folder& folder, const std::string& input)
{
    ::symlink(input.c_str(), (folder / "link.mid").c_str());
    return folder / "link.mid";
}

std::string hardLink(const Folder& folder, const std::string& input)
{
    ::link(input.c_str(), (folder / "other.mid").c_str());
    return folder / "other.mid";
}

std::string roundabout(const Folder& folder, const std::string&)
{
    ::mkdir((folder / "sub").c_str(), 0755);
    return folder / "sub/.././song.tab";
}

INSTANTIATE_TEST_SUITE_P(
    Roads, ExportOntoInput,
    testing::Values(OntoInput{"MidiSameName", CommandLine::Mode::ExportMidi, same},
                    OntoInput{"MidiThroughLink", CommandLine::Mode::ExportMidi, softLink},
                    OntoInput{"MidiHardLink", CommandLine::Mode::ExportMidi, hardLink},
                    OntoInput{"MusicXmlRoundabout", CommandLine::Mode::ExportMusicXml, roundabout},
                    OntoInput{"WavSameName", CommandLine::Mode::ExportWav, same},
                    OntoInput{"ImportSameName", CommandLine::Mode::ImportTab, same},
                    OntoInput{"ImportThroughLink", CommandLine::Mode::ImportTab, softLink}),
    [](const testing::TestParamInfo<OntoInput>& info) { return std::string(info.param.name); });

// A write that fails leaves the old output whole and says so in the exit status.
class FailedWrite : public testing::TestWithParam<CommandLine::Mode> {};

TEST_P(FailedWrite, KeepsTheOldOutputAndFails)
{
    const CommandLine::Mode mode = GetParam();
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

    EXPECT_EQ(status, 1);
    EXPECT_EQ(slurp(output / "song.out"), old);
}

INSTANTIATE_TEST_SUITE_P(Writers, FailedWrite,
                         testing::Values(CommandLine::Mode::ImportTab,
                                         CommandLine::Mode::ExportMidi,
                                         CommandLine::Mode::ExportMusicXml),
                         [](const testing::TestParamInfo<CommandLine::Mode>& info) {
                             return info.param == CommandLine::Mode::ImportTab    ? "Import"
                                    : info.param == CommandLine::Mode::ExportMidi ? "Midi"
                                                                                  : "MusicXml";
                         });

// Linux names are bytes: every file can be read, and the output lands under the exact name.
TEST(HeadlessNames, AreBytesNotText)
{
    struct Row {
        CommandLine::Mode mode;
        std::string input, output;
        const char* starts; // what the output begins with
    };
    for (const Row& row :
         {Row{CommandLine::Mode::ExportMidi, "in\xff.tab", "caf\xe9.mid", "MThd"},
          Row{CommandLine::Mode::ExportMusicXml, "\xc3(.tab", "\x80.xml", "<?xml"},
          Row{CommandLine::Mode::ImportTab, "w\xfe\xfe.txt", "t\xe9.tab", "FTH"}}) {
        Folder folder;
        const bool import = row.mode == CommandLine::Mode::ImportTab;
        put(folder / row.input, import ? kWebTab : slurp(kTab));
        EXPECT_EQ(run(row.mode, folder / row.input, folder / row.output), 0) << row.output;
        EXPECT_TRUE(slurp(folder / row.output).starts_with(row.starts)) << row.output;
    }
    // The sound font's name is a name like the others.
    const std::vector<std::string> fonts = audio::installedSoundFonts();
    if (fonts.empty())
        return;
    Folder folder;
    ASSERT_EQ(::symlink(fonts.front().c_str(), (folder / "f\xe9.sf2").c_str()), 0);
    CommandLine line;
    line.mode = CommandLine::Mode::ExportWav;
    line.input = kTab;
    line.output = folder / "out.wav";
    line.soundFont = folder / "f\xe9.sf2";
    EXPECT_EQ(runExport(line), 0);
}

// Every writer writes the file a link leads to and keeps the link.
TEST(HeadlessLinks, AreFollowedAndKept)
{
    struct Row {
        CommandLine::Mode mode;
        const char* starts;
    };
    for (const Row& row :
         {Row{CommandLine::Mode::ExportMidi, "MThd"}, Row{CommandLine::Mode::ExportWav, "RIFF"},
          Row{CommandLine::Mode::ExportMusicXml, "<?xml"},
          Row{CommandLine::Mode::ImportTab, "FTH"}}) {
        if (row.mode == CommandLine::Mode::ExportWav && audio::installedSoundFonts().empty())
            continue;
        Folder folder;
        const bool import = row.mode == CommandLine::Mode::ImportTab;
        put(folder / "in", import ? kWebTab : slurp(kTab));
        ::mkdir((folder / "real").c_str(), 0755);
        put(folder / "real/out", "old");
        ASSERT_EQ(::symlink("real/out", (folder / "out").c_str()), 0);
        EXPECT_EQ(run(row.mode, folder / "in", folder / "out"), 0) << row.starts;
        struct stat info {};
        ASSERT_EQ(::lstat((folder / "out").c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << row.starts;
        EXPECT_TRUE(slurp(folder / "real/out").starts_with(row.starts)) << row.starts;
    }
}

// A device takes the export in place, whatever the format, its errors counted.
TEST(HeadlessDevices, AreWrittenInPlaceByEveryExport)
{
    if (audio::installedSoundFonts().empty())
        GTEST_SKIP() << "no sound font for the WAV rows";
    struct Row {
        CommandLine::Mode mode;
        const char* device;
        int status;
    };
    for (const Row& row : {Row{CommandLine::Mode::ExportWav, "/dev/null", 0},
                           Row{CommandLine::Mode::ExportMidi, "/dev/null", 0},
                           Row{CommandLine::Mode::ExportWav, "/dev/full", 1},
                           Row{CommandLine::Mode::ExportMidi, "/dev/full", 1}}) {
        EXPECT_EQ(run(row.mode, kTab, row.device), row.status) << row.device;
        struct stat info {};
        ASSERT_EQ(::stat(row.device, &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << row.device;
    }
}

// An export stopped by a signal removes what it wrote and exits with 128 + the signal.
class InterruptedExport : public testing::TestWithParam<int> {};

TEST_P(InterruptedExport, LeavesNothingBehind)
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
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + GetParam());
    EXPECT_FALSE(partial());
    EXPECT_EQ(slurp(folder / "long.wav"), "<No such file or directory>");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedExport, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

} // namespace
} // namespace quorlin::app
