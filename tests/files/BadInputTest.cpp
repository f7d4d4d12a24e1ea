// Files nobody should feed the reader, and what it makes of them: never a crash or a hang,
// always a set-up within bounds and text that is valid UTF-8.

#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "files/TextEncoding.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace quorlin::files {
namespace {

std::string binary(std::size_t size)
{
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string header(const std::string& names)
{
    return "FTH80:" + names +
           "; x\r\n====\r\nFrom            : a\r\nArtist          : b\r\n"
           "Bass Performance: c\r\nComments:       : d\r\n---\r\n====================\r\n";
}

TEST(BadInput, EveryFileReadsIntoBoundsWithoutLosingText)
{
    std::string manyNames;
    for (int i = 0; i < 100; ++i)
        manyNames += "A#";
    std::string fiftyMegabytes;
    while (fiftyMegabytes.size() < 50'000'000)
        fiftyMegabytes +=
            "| --5--7--12--0-------------------------------------------------------\r\n";

    struct Case {
        const char* name;
        std::string bytes;
        bool header;
        std::size_t lines; // 0: not checked
        std::size_t longest;
    };
    const Case cases[] = {
        {"binary", binary(100'000), false, 0, 0},
        {"fifty megabytes", fiftyMegabytes, false, fiftyMegabytes.size() / 72, 70},
        {"one line of a megabyte", "| " + std::string(1'000'000, '-'), false, 1, 1'000'002},
        {"a hundred names", header(manyNames) + "| \r\n", true, 1, 2},
        {"NUL bytes", std::string("| q\0q\r\nG --5\0\r\n", 15), false, 2, 6},
        {"invalid UTF-8", "| \xC3\x28 \xFF\xFE \xE2\x82\r\n", false, 1, 0},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.bytes);
        const LoadedTab tab = readTabFile(in, instrument::StringCount(4), instrument::Tuning());

        EXPECT_EQ(tab.hasHeader, c.header) << c.name;
        const int strings = tab.state.stringCount.value();
        EXPECT_TRUE(strings >= 4 && strings <= 6) << c.name;
        for (int s = 1; s <= strings; ++s)
            EXPECT_EQ(tab.state.tuning.at(s).size(), 2u) << c.name;
        EXPECT_LE(tab.state.blockStart, static_cast<int>(tab.lines.size())) << c.name;
        EXPECT_TRUE(tab.state.lastString >= 0 && tab.state.lastString <= strings) << c.name;
        if (c.lines != 0) {
            EXPECT_EQ(tab.lines.size(), c.lines) << c.name;
        }
        std::size_t longest = 0;
        for (const std::string& line : tab.lines) {
            EXPECT_TRUE(isValidUtf8(line)) << c.name;
            longest = std::max(longest, line.size());
        }
        if (c.longest != 0) {
            EXPECT_EQ(longest, c.longest) << c.name << ": lines are read whole";
        }
    }
}

TEST(BadInput, AHundredNamesKeepSixAndSaySo)
{
    std::string names;
    for (int i = 0; i < 100; ++i)
        names += "G ";
    std::istringstream in(header(names));
    const LoadedTab tab = readTabFile(in, instrument::StringCount(4), instrument::Tuning());
    EXPECT_EQ(tab.state.stringCount.value(), 6);
    ASSERT_EQ(tab.problems.size(), 1u);
    EXPECT_NE(tab.problems[0].find("100 strings"), std::string::npos) << tab.problems[0];
}

TEST(BadInput, APastedCtrlZNeverEndsTheSavedFileEarly)
{
    const engine::VectorTabText tab({"|   q\x1A", "G --5", "D ---", "A ---", "E ---", ">    "});
    std::ostringstream out;
    writeTabFile(out, tab, engine::EditingState(), {"\x1A", "", "", {"a\x1A"}});
    std::istringstream in(out.str());
    const LoadedTab back = readTabFile(in, instrument::StringCount(4), instrument::Tuning());
    EXPECT_EQ(back.lines.size(), 6u);
    EXPECT_EQ(back.lines[0], "|   q\u241A");
    EXPECT_EQ(back.header->from, "\u241A");
    EXPECT_EQ(back.header->comments, std::vector<std::string>{"a\u241A"});
}

} // namespace
} // namespace quorlin::files
