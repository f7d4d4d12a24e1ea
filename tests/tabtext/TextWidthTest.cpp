// Text measured and cut where the text area sees characters, whatever their UTF-8 bytes.

#include "tabtext/TextWidth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace quorlin::tabtext {
namespace {

struct WidthCase {
    const char* name;
    std::string text;
    std::vector<std::size_t> starts; // the byte each character starts at
    std::string narrow;              // one byte per character
    bool ascii = false;
};

TEST(TextWidth, CountsAndCutsCharactersNotBytes)
{
    const WidthCase cases[] = {
        {"empty", "", {}, "", true},
        {"plain ASCII", "| -5", {0, 1, 2, 3}, "| -5", true},
        {"two, three and four bytes",
         "e\u00e9\u20ac\U0001F3B8!",
         {0, 1, 3, 6, 10},
         "e\xc3\xe2\xf0!"},
        {"a rhythm mark typed over", "|   \u00e9  q", {0, 1, 2, 3, 4, 6, 7, 8}, "|   \xc3  q"},
        // Bytes no character started: they belong to none.
        {"stray continuation bytes first", "\x80\x80G", {2}, "G"},
        {"a first byte cut from the rest", "A\xc3", {0, 1}, "A\xc3"},
    };
    for (const WidthCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(characterCount(c.text), c.starts.size());
        EXPECT_EQ(isAscii(std::string_view(c.text)), c.ascii);
        for (std::size_t at = 0; at <= c.text.size(); ++at) {
            const bool starts = std::ranges::find(c.starts, at) != c.starts.end();
            EXPECT_EQ(splitsCharacter(c.text, at), !starts && at < c.text.size()) << at;
        }
        for (std::size_t k = 0; k < c.starts.size(); ++k) {
            const std::size_t next = k + 1 < c.starts.size() ? c.starts[k + 1] : c.text.size();
            EXPECT_EQ(nextCharacter(c.text, c.starts[k]), next) << k;
        }
        std::string buffer;
        const std::string_view narrow = narrowed(c.text, buffer);
        EXPECT_EQ(narrow, c.narrow);
        // Plain text is read where it lies.
        EXPECT_EQ(narrow.data() == c.text.data(), c.ascii);
    }
}

// The first line the text area would not take, counted in characters: 10,000 characters fit
// however many bytes they take.
TEST(TextWidth, FindsTheFirstLineLongerThanTheAreaTakes)
{
    const std::string e = "\u00e9";
    const std::string fits(10'000, 'q');
    std::string wide;
    for (int i = 0; i < 10'000; ++i)
        wide += e;
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::optional<std::size_t> index;
        std::size_t length;
    } cases[] = {
        {"no lines", {}, std::nullopt, 0},
        {"the longest that fits", {"| ", fits}, std::nullopt, 0},
        {"one more", {"| ", fits + "q"}, 1, 10'001},
        {"10,000 letters of two bytes", {wide}, std::nullopt, 0},
        {"and one more", {wide + e, fits + "qq"}, 0, 10'001},
        {"three million on the second line", {"| ", std::string(3'000'000, '-')}, 1, 3'000'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<OverlongLine> found = overlongLine(c.lines);
        ASSERT_EQ(found.has_value(), c.index.has_value());
        if (found) {
            EXPECT_EQ(found->index, *c.index);
            EXPECT_EQ(found->length, c.length);
        }
    }
}

} // namespace
} // namespace quorlin::tabtext
