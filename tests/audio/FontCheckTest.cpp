#include "audio/FontCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quorlin::audio {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct FontDir {
    fs::path path = fs::temp_directory_path() / ("quorlin-fonts-" + std::to_string(::getpid()));
    FontDir() { fs::create_directories(path); }
    ~FontDir() { fs::remove_all(path); }

    // A font of make_font.py's, with its options.
    std::string made(const std::string& name, const std::string& options) const
    {
        const std::string file = (path / name).string();
        const std::string command =
            "/usr/bin/python3 '" QUORLIN_MAKE_FONT "' '" + file + "' " + options;
        return std::system(command.c_str()) == 0 ? file : std::string();
    }
};

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FontCheck, TheCheckerPlaysAGoodFontAndRefusesADamagedOneInOneLine)
{
    const std::vector<std::string> checker = fontCheckerCommand();
    ASSERT_FALSE(checker.empty()) << kFontCheckerFile << " is not beside the sound module";
    FontDir dir;
    const std::string sf3 = dir.made("good.sf3", "--sf3");
    ASSERT_FALSE(sf3.empty()) << "make_font.py failed";
    const std::string shortened = (dir.path / "short.sf3").string();
    std::ofstream(shortened, std::ios::binary) << bytesOf(sf3).substr(0, 3000);

    const std::tuple<const char*, std::string, bool> cases[] = {
        {"sf2", dir.made("good.sf2", ""), true},
        {"sf3", sf3, true},
        {"sf3 with a finger bass only", dir.made("finger.sf3", "--sf3 --finger-only"), true},
        {"sf2, its samples inverted", dir.made("flipped.sf2", "--flip"), true}, // noise, but sound
        {"sf3, its compressed samples inverted", dir.made("flipped.sf3", "--sf3 --flip"), false},
        {"sf3 cut short", shortened, false},
        {"no font at all", (dir.path / "missing.sf2").string(), false},
    };
    for (const auto& [name, font, good] : cases) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(font.empty());
        const FontCheck check = checkFontApart(checker, font, kFontCheckLimit);
        EXPECT_EQ(check.good, good) << check.error;
        EXPECT_EQ(check.error.empty(), good);
        EXPECT_EQ(check.error.find('\n'), std::string::npos) << check.error;
    }
}

TEST(FontCheck, ACheckerThatCrashesHangsOrFailsRefusesTheFontAndSaysHow)
{
    // Stand-ins for a synthesiser that dies of the font in the ways it can.
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"crashes", "kill -SEGV $$", "the synthesiser crashed on it (Segmentation fault)"},
        {"aborts", "kill -ABRT $$", "the synthesiser crashed on it (Aborted)"},
        {"hangs", "exec sleep 30", "the synthesiser took more than 1 s to load it"},
        {"hangs talking", "while :; do echo noise; done", "the synthesiser took more than 1 s"},
        {"says why", "echo 'Not a sound font: $0'; echo more; exit 1", "Not a sound font: "},
        {"fails silently", "exit 3", "the synthesiser failed on it (exit status 3)"},
        {"is fine", "exit 0", ""},
    };
    for (const auto& [name, script, error] : cases) {
        SCOPED_TRACE(name);
        const auto started = std::chrono::steady_clock::now();
        const FontCheck check = checkFontApart({"/bin/sh", "-c", script}, "font.sf2", 400ms);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_EQ(check.good, error.empty());
        EXPECT_EQ(check.error.substr(0, error.size()), error) << check.error;
        EXPECT_EQ(check.error.find('\n'), std::string::npos) << check.error;
    }
    const FontCheck missing = checkFontApart({"/nonexistent/checker"}, "font.sf2", 400ms);
    EXPECT_FALSE(missing.good);
    EXPECT_NE(missing.error.find("/nonexistent/checker"), std::string::npos) << missing.error;
}

TEST(FontCheck, AFontIsTriedAgainOnlyWhenItChanged)
{
    FontDir dir;
    const std::string font = dir.made("font.sf3", "--sf3");
    const std::string flipped = dir.made("flipped.sf3", "--sf3 --flip");
    ASSERT_FALSE(font.empty() || flipped.empty());
    EXPECT_TRUE(checkFontOnce(font).good);
    const std::string stamp = fontStamp(font);
    EXPECT_EQ(fontStamp(font), stamp);

    // Damaged in place, with a new size and time: tried again, and refused.
    std::ofstream(font, std::ios::binary | std::ios::trunc) << bytesOf(flipped);
    EXPECT_NE(fontStamp(font), stamp);
    EXPECT_FALSE(checkFontOnce(font).good);
    // A stamp from an earlier run is taken on trust: the font is not tried at all.
    trustFont(fontStamp(font));
    EXPECT_TRUE(checkFontOnce(font).good);
    EXPECT_EQ(fontStamp((dir.path / "none.sf2").string()), "");
}

} // namespace
} // namespace quorlin::audio
