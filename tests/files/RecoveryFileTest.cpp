// The recovery copy gives back exactly what was written, or nothing and why.

#include "files/RecoveryFile.h"
#include "engine/VectorTabText.h"
#include "tests/files/RecoveryCheckSum.h"

#include <gtest/gtest.h>

#include <cctype>

namespace quorlin::files {
namespace {

using namespace std::string_literals;
using testing::crc32Hex;

Recovered fiveStringTab()
{
    Recovered r;
    r.lines = {"|   q  e", "G --3---", "D ------", "A ----5-", "E ------", "B ------", ">       "};
    engine::EditingState& s = r.snapshot.state;
    s.stringCount = instrument::StringCount(5);
    s.lastString = 3;
    s.lastFret = 5;
    s.setupUnlocked = false;
    s.chordAvailable = true;
    r.sourcePath = "/home/bassist/songs/groove.tab";
    return r;
}

Recovered everythingChanged()
{
    Recovered r;
    r.lines = {"|   w", "C --1", "G ---", "D ---", "A ---", "E ---", "B ---", "  ",
               "|",     "C",     "G",     "D",     "A",     "E",     "B",     ">"};
    engine::EditingState& s = r.snapshot.state;
    s.stringCount = instrument::StringCount(6);
    s.blockStart = 8;
    s.lastString = 6;
    s.lastFret = 24;
    s.tabWidth = -2147483647 - 1;
    s.tempo = 400;
    s.markCol = 24;
    s.markRow = 6;
    s.setupUnlocked = false;
    s.chordAvailable = true;
    for (int k = 1; k <= 6; ++k)
        s.tuning.set(k, std::string{static_cast<char>('a' + k), '#'});
    r.snapshot.needsBlock = true;
    r.snapshot.strippedBlanks = true;
    r.header = {"from", "artist", "bass", {"one", "", "three"}};
    r.sourcePath = "C:\\tabs\\x.tab";
    return r;
}

// Bytes a line-based format would lose: line ends, NUL, invalid UTF-8, what looks like a
// field or the end mark, and a count where a value should be.
Recovered oddBytes()
{
    Recovered r;
    r.lines = {"a\r\nb", "\0\0"s, "\xff\xfe\x80", "", "end 00000000", "12:", "\n", " "};
    r.snapshot.state.tuning.set(1, "\t\0"s);
    r.snapshot.state.tuning.set(6, "\xc3\xa9");
    r.header = {"\r", "lines 3\n", "\x1a\0x"s, {"\n\n", "", "\xe2\x80\xa8"}};
    r.sourcePath = "/tmp/\xe9t\xe9.tab";
    r.snapshot.state.blockStart = 7;
    return r;
}

TEST(RecoveryFile, readsBackExactly)
{
    for (const Recovered& written :
         {Recovered{}, fiveStringTab(), everythingChanged(), oddBytes()}) {
        const std::string text = recoveryFileText(written);
        std::string problem;
        const std::optional<Recovered> read = readRecoveryFile(text, problem);
        ASSERT_TRUE(read.has_value()) << problem;
        EXPECT_TRUE(problem.empty() && *read == written) << written.lines.size();
    }
}

// Only a time signature other than 4/4 has its line, so that copies of 4/4 tabs are the
// copies earlier versions wrote and read.
TEST(RecoveryFile, readsBackEveryTimeSignature)
{
    for (int beats = 1; beats <= 32; ++beats) {
        for (const int beatType : {1, 2, 4, 8, 16, 32}) {
            Recovered written = fiveStringTab();
            written.snapshot.state.time = {beats, beatType};
            const std::string text = recoveryFileText(written);
            const bool fourFour = beats == 4 && beatType == 4;
            EXPECT_EQ(text.find("\ntime "),
                      fourFour ? std::string::npos : text.find("\ntempo 100\n") + 10)
                << beats << "/" << beatType;
            std::string problem;
            EXPECT_EQ(readRecoveryFile(text, problem), written) << problem;
        }
    }
}

// The copy of `r` with `from` (the first occurrence) replaced and the check sum made right
// again, as a writer with a fault would leave it.
std::string rewritten(const Recovered& r, const std::string& from, const std::string& to)
{
    std::string body = recoveryFileText(r);
    body.erase(body.rfind("end "));
    const std::size_t at = body.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    body.replace(at, from.size(), to);
    return body + "end " + crc32Hex(body) + "\n";
}

struct Damage {
    const char* name;
    std::string bytes;
    const char* problemHas;
};

std::string withState(void (*change)(Recovered&))
{
    Recovered r = fiveStringTab();
    change(r);
    return recoveryFileText(r);
}

std::vector<Damage> damages()
{
    const std::string good = recoveryFileText(fiveStringTab());
    const auto changed = [&good](const char* near, std::size_t offset, char to) {
        std::string text = good;
        text[good.find(near) + offset] = to;
        return text;
    };
    Recovered waltz = fiveStringTab();
    waltz.snapshot.state.time = {3, 4};
    std::string upperSum = good;
    for (std::size_t i = upperSum.rfind("end ") + 4; i < upperSum.size(); ++i)
        upperSum[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upperSum[i])));
    return {
        {"other_file", "FTH80:G D A E\r\n", "no Quorlin recovery copy"},
        {"missing_end_mark", good.substr(0, good.rfind("end ")), "end mark"},
        {"trailing_bytes", good + "x", "end mark"},
        {"a_line_byte_changed", changed("G --3", 3, '4'), "check sum"},
        {"a_count_changed", changed("lines 7", 6, '8'), "check sum"},
        {"sum_in_capitals", upperSum, "check sum"},
        {"later_version", changed(" 1\n", 1, '2'), "format 2"},
        {"three_strings", rewritten(fiveStringTab(), "strings 5", "strings 3"), "string count"},
        {"seven_strings", rewritten(fiveStringTab(), "strings 5", "strings 7"), "string count"},
        {"tempo_low", rewritten(fiveStringTab(), "tempo 100", "tempo 19"), "tempo 19"},
        {"tempo_high", rewritten(fiveStringTab(), "tempo 100", "tempo 401"), "tempo 401"},
        {"time_signature_odd", rewritten(waltz, "time 3 4", "time 3 5"), "time signature 3/5"},
        {"time_signature_as_text", rewritten(waltz, "time 3 4", "time 3/4"), "\"time\""},
        {"too_wide",
         rewritten(fiveStringTab(), "width 80",
                   "width " + std::to_string(engine::kMaxTabWidth + 1)),
         "tab width"},
        {"tuning_name_long", withState([](Recovered& r) { r.snapshot.state.tuning.set(6, "Eb "); }),
         "string 6"},
        {"tuning_name_empty", withState([](Recovered& r) { r.snapshot.state.tuning.set(1, ""); }),
         "string 1"},
        {"tuning_name_a_line_break",
         withState([](Recovered& r) { r.snapshot.state.tuning.set(2, "\nG"); }), "string 2 is no"},
        {"tuning_name_no_utf8",
         withState([](Recovered& r) { r.snapshot.state.tuning.set(3, "\xff "); }),
         "string 3 is no"},
        {"block_past_lines", rewritten(fiveStringTab(), "block 0", "block 7"), "block start"},
        {"block_negative", rewritten(fiveStringTab(), "block 0", "block -1"), "block start"},
        {"block_in_empty_tab", withState([](Recovered& r) {
             r.lines.clear();
             r.snapshot.state.blockStart = 1;
         }),
         "block start"},
        {"last_string_off_neck", rewritten(fiveStringTab(), "last 3 5", "last 6 5"), "last string"},
        {"last_fret_negative", rewritten(fiveStringTab(), "last 3 5", "last 3 -3"), "last fret"},
        {"marker_past_frets", rewritten(fiveStringTab(), "mark 0 0", "mark 25 0"), "marker column"},
        {"marker_below_strings", rewritten(fiveStringTab(), "mark 0 0", "mark 0 7"),
         "marker string"},
        {"flag_two", rewritten(fiveStringTab(), "chord 1", "chord 2"), "\"chord\""},
        {"leading_zero", rewritten(fiveStringTab(), "tempo 100", "tempo 0100"), "\"tempo\""},
        {"minus_zero", rewritten(fiveStringTab(), "mark 0 0", "mark -0 0"), "\"mark\""},
        {"huge_number", rewritten(fiveStringTab(), "tempo 100", "tempo 99999999999"), "\"tempo\""},
        {"length_past_end", rewritten(fiveStringTab(), "8:>       \n", "99:>       \n"),
         "\"lines\""},
        {"fewer_lines_than_count", rewritten(fiveStringTab(), "lines 7", "lines 8"), "\"lines\""},
        {"more_lines_than_count", rewritten(fiveStringTab(), "lines 7", "lines 6"), "\"end\""},
        {"fields_swapped", rewritten(fiveStringTab(), "width 80\ntempo 100", "tempo 100\nwidth 80"),
         "\"width\""},
    };
}

TEST(RecoveryFile, aDamagedCopyIsRefusedWhole)
{
    for (const Damage& damage : damages()) {
        std::string problem;
        EXPECT_FALSE(readRecoveryFile(damage.bytes, problem).has_value()) << damage.name;
        EXPECT_NE(problem.find(damage.problemHas), std::string::npos) << damage.name << problem;
    }
}

// Cut anywhere, even in the magic, the version or the end mark, or where a line inside looks
// like an end mark.
TEST(RecoveryFile, everyTruncationIsRefused)
{
    const std::string text = recoveryFileText(oddBytes());
    for (std::size_t keep = 0; keep < text.size(); ++keep) {
        std::string problem;
        EXPECT_FALSE(readRecoveryFile(text.substr(0, keep), problem)) << keep;
        EXPECT_TRUE(keep == 0 ? problem == "The recovery copy is empty."
                              : problem.find("end mark") != std::string::npos ||
                                    problem.find("check sum") != std::string::npos)
            << keep << problem;
    }
}

// Any tool can then check a copy by hand.
TEST(RecoveryFile, checkSumIsTheCommonCrc32)
{
    EXPECT_EQ(crc32Hex("123456789"), "cbf43926");
    EXPECT_EQ(rewritten(oddBytes(), "source", "source"), recoveryFileText(oddBytes()));
}

// What an offer shows, read as the store reads it: the head and the end line alone.
std::optional<RecoveryPreview> preview(const std::string& bytes, std::string& problem)
{
    const std::size_t tail = std::min(bytes.size(), kRecoveryTailBytes);
    return previewRecoveryFile(std::string_view(bytes).substr(0, kRecoveryHeadBytes),
                               std::string_view(bytes).substr(bytes.size() - tail), bytes.size(),
                               problem);
}

TEST(RecoveryFile, aPreviewShowsTheStartOfAnyCopy)
{
    Recovered longLine = fiveStringTab();
    // One line pasted into the text area, longer than the head; the cut falls inside "é".
    longLine.lines.front() = "| " + std::string(58, 'x') + "\xc3\xa9" + std::string(5'000'000, 'y');
    Recovered longComments = fiveStringTab();
    longComments.header.comments.assign(3, std::string(40'000, 'c'));
    const std::string good = recoveryFileText(fiveStringTab());
    struct Case {
        const char* name;
        std::string bytes;
        std::string source;
        std::string firstWords;
        long long lines;
        const char* problemHas; // empty: offered
    };
    const Case cases[] = {
        {"a small copy", good, "/home/bassist/songs/groove.tab", "|   q  e", 7, ""},
        {"a five megabyte line", recoveryFileText(longLine), "/home/bassist/songs/groove.tab",
         "| " + std::string(58, 'x'), 7, ""},
        {"comments past the head", recoveryFileText(longComments), "/home/bassist/songs/groove.tab",
         "", -1, ""},
        {"an empty tab", recoveryFileText(Recovered{}), "", "", 0, ""},
        {"cut short", good.substr(0, good.size() - 5), "", "", 0, "end mark"},
        {"cut inside the fields", good.substr(0, 60) + good.substr(good.size() - 13), "", "", 0,
         "cannot be read"},
        {"another file", "FTH80:G D A E\r\n" + good.substr(good.size() - 13), "", "", 0,
         "no Quorlin recovery copy"},
        {"a later format", "Quorlin recovery copy 2\nend 00000000\n", "", "", 0, "format 2"},
        {"empty", "", "", "", 0, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem;
        const std::optional<RecoveryPreview> shown = preview(c.bytes, problem);
        if (*c.problemHas != '\0') {
            EXPECT_FALSE(shown.has_value());
            EXPECT_NE(problem.find(c.problemHas), std::string::npos) << problem;
            continue;
        }
        ASSERT_TRUE(shown.has_value()) << problem;
        EXPECT_EQ(std::tuple(shown->sourcePath, shown->firstWords, shown->lineCount),
                  std::tuple(c.source, c.firstWords, c.lines));
    }
}

// A line holds no line break in the text area: one in a copy would move every line after it,
// and the block the state points at with them.
TEST(RecoveryFile, aRestoredLineStaysOneLine)
{
    Recovered r = fiveStringTab();
    // Each line as long as before in characters; line breaks of every kind inside.
    r.lines[1] = "G --3\r--";
    r.lines[2] = "D -\n----";
    r.lines[3] = "A ----5\xe2\x80\xa8";
    r.lines[4] = "E \xe2\x80\xa9-\r\n--";
    r.lines[5] = "B -----\xef\xb7\x90";
    engine::VectorTabText text;
    engine::Staff staff(text);
    EXPECT_EQ(restoreRecovered(r, text, staff), 7u);
    const std::string u = "\xef\xbf\xbd";
    EXPECT_EQ(text.lines(), (std::vector<std::string>{
                                r.lines[0], "G --3" + u + "--", "D -" + u + "----", "A ----5" + u,
                                "E " + u + "-" + u + u + "--", "B -----" + u, r.lines[6]}));
    // Still the block the state describes, so the state stands.
    EXPECT_EQ(std::pair(staff.state().lastString, staff.state().lastFret), std::pair(3, 5));
}

} // namespace
} // namespace quorlin::files
