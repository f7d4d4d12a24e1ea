// Bytes to lines, and where editing goes on in the lines read.

#include "files/Position.h"
#include "files/TextEncoding.h"

#include <gtest/gtest.h>

#include <climits>

namespace quorlin::files {
namespace {

using Lines = std::vector<std::string>;

TEST(ToUtf8, KeepsUtf8AndReadsEverythingElseAsWindows1252)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"G --5", "G --5"},
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8"},
        {"Caf\xE9", "Caf\xC3\xA9"},
        {"\x80\x9F\xFF", "\xE2\x82\xAC\xC5\xB8\xC3\xBF"},
        {"\x81\x8D\x8F\x90\x9D", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // a surrogate
        {"\xC3", "\xC3\x83"},                             // cut short
    };
    for (const auto& [bytes, utf8] : cases) {
        EXPECT_EQ(toUtf8(bytes), utf8) << bytes;
        EXPECT_TRUE(isValidUtf8(toUtf8(bytes)));
    }
}

TEST(SplitLines, EndsLinesAtCrLfLfOrCrAndStopsAtCtrlZ)
{
    const std::pair<std::string_view, std::vector<std::string_view>> cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb\n\n", {"a", "", "b", ""}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"a\r\nb\x1A\r\nc", {"a", "b"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(splitLines(text), lines) << text;
}

TEST(ImpliedPosition, FindsTheLastBlockAndItsRightMostNote)
{
    struct Case {
        Lines lines;
        int strings, blockStart, lastString, lastFret;
    };
    const Case cases[] = {
        {{}, 4, 0, 0, 0},
        {{"| ", "G ", "D ", "A ", "E ", "> "}, 4, 0, 0, 0},
        {{"|   q", "G ---", "D --5"}, 4, 0, 2, 5}, // a short block: missing lines are empty
        {{"|", "G", "D -", "A --", "E", ">"}, 4, 0, 0, 0},
        {{"x", "y", "|  q", "G ---", "D H12", "A ---", "E ---", ">  "}, 4, 2, 2, 12},
        {{"|", "A --5H-7\\12", "D --5~~5~~5", "E --3-----", "B", ">"}, 4, 0, 1, 12},
        {{"|", "G ------", "D --5~~5~~5", "A ---", "E --3-----", ">"}, 4, 0, 2, 5},
        {{"|", "G --3-----", "D ---", "A ---", "E --3-----", ">"}, 4, 0, 1, 3},
        {{"|", "G ------", "D --5---", "A ------", "E ------", "B ------", "C ---P10", ">"},
         6,
         0,
         6,
         10},
        {{"|", "G --x", "D ---", "A ---", "E ---", ">"}, 4, 0, 1, 0},
        {{"|", "12---", "D ---", "A ---", "E ---", ">"}, 4, 0, 0, 0}, // a head, not a fret
        {{"|", "G -99999999999", "D", "A", "E", ">"}, 4, 0, 1, INT_MAX},
    };
    for (const auto& c : cases) {
        const EditingPosition p = impliedPosition(c.lines, c.strings);
        EXPECT_EQ((std::tuple{p.blockStart, p.lastString, p.lastFret}),
                  (std::tuple{c.blockStart, c.lastString, c.lastFret}))
            << testing::PrintToString(c.lines);
    }
}

} // namespace
} // namespace quorlin::files
