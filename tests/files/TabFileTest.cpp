// The tab file written and read back, its bytes taken as UTF-8 or else as Windows-1252.

#include "files/TabFile.h"
#include "engine/VectorTabText.h"
#include "files/TextEncoding.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

namespace quorlin::files {

void PrintTo(const SongHeader& h, std::ostream* out)
{
    *out << ::testing::PrintToString(std::tuple(h.from, h.artist, h.bassPerf, h.comments));
}

namespace {

std::string dataFile(const std::string& name)
{
    return testing::slurp(std::string(QUORLIN_FILES_DATA) + "/" + name);
}

// Names unlike any the file gives, so a string it leaves unnamed shows.
LoadedTab read(const std::string& bytes, int strings = 4)
{
    instrument::Tuning before;
    for (int s = 1; s <= 6; ++s)
        before.set(s, std::string("C#D#F#G#A#B ").substr(2 * s - 2, 2));
    return readTabFile(bytes, instrument::StringCount(strings), before);
}

// What a save writes after the header line, with no song header.
constexpr const char* kRestOfHeader =
    "====================\r\nFrom            : \r\nArtist          : \r\n"
    "Bass Performance: \r\nComments:       : \r\n---\r\n====================\r\n\r\n";

// "80 4 [G D A E A#B ] 0 2 5": width, strings, the six names, then the block start and the
// last note the engine takes from the loaded lines.
std::string stateOf(const LoadedTab& tab)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    staff.adoptLoaded(tab.lines, tab.state);
    const engine::EditingState& s = staff.state();
    std::ostringstream out;
    out << tab.state.tabWidth << ' ' << tab.state.stringCount.value() << " [";
    for (int k = 1; k <= 6; ++k)
        out << tab.state.tuning.at(k);
    out << "] " << s.blockStart << ' ' << s.lastString << ' ' << s.lastFret;
    return out.str();
}

std::string joined(const std::vector<std::string>& lines, const char* between = "\n")
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : between) + lines[i];
    return text;
}

std::string headerOf(const std::optional<SongHeader>& h)
{
    return h ? h->from + "|" + h->artist + "|" + h->bassPerf + "|" + joined(h->comments, "/")
             : "none";
}

TEST(TabFile, WritesTheExampleAndReadsBackWhatItSavedEvenAPastedCtrlZ)
{
    const engine::VectorTabText text({"|   q", "G ---", "D --5", "A ---", "E ---", ">    "});
    const SongHeader header{
        "Tab writer", "Some band", "Bass player", {"Intro only", "Play softly"}};
    std::ostringstream file;
    writeTabFile(file, text, {}, header);
    EXPECT_EQ(file.str(), dataFile("example.tab"));
    const LoadedTab loaded = read(file.str(), 6); // the file's four strings must win
    EXPECT_EQ(std::tuple(loaded.header, loaded.lines, stateOf(loaded), joined(loaded.problems)),
              std::tuple(header, text.lines(), "80 4 [G D A E A#B ] 0 2 5", ""));

    // A Ctrl-Z would end the file for every reader and take the lines after it along.
    const engine::EditingState state{
        .tabWidth = 20, .tuning = {}, .stringCount = instrument::StringCount(5)};
    const std::string_view tab[] = {"|   q\x1A", "G ---", "D ---", "A ---", "E ---", "B --5", ">"};
    const LoadedTab back = read(tabFileText(tab, state, {"\x1A", "", "", {}}));
    EXPECT_EQ(joined(back.lines), "|   q\u241A\nG ---\nD ---\nA ---\nE ---\nB --5\n>");
    EXPECT_EQ(headerOf(back.header), "\u241A|||"); // the label's own line is the first comment
    EXPECT_EQ(stateOf(back), "20 5 [G D A E B B ] 0 0 0");
}

// Every time signature and the tempo's ends come back. Only a tempo other than 100 and a time
// signature other than 4/4 have their lines, after the strings' line, so a tab of neither is
// saved byte for byte as before: the example file. Odd tempo and time lines.
TEST(TabFile, WritesATempoAndTimeSignatureOtherThanTheDefaultsAndReadsThemBack)
{
    const engine::VectorTabText text({"|   q", "G ---", "D --5", "A ---", "E ---", ">    "});
    const SongHeader header{
        "Tab writer", "Some band", "Bass player", {"Intro only", "Play softly"}};
    const std::string example = dataFile("example.tab");
    const std::string strings = "Strings: E ,A ,D ,G \r\n";
    const auto saved = [&](engine::EditingState state) {
        std::ostringstream file;
        writeTabFile(file, text, state, header);
        return file.str();
    };
    const auto withLines = [&](const std::string& lines) {
        std::string bytes = example;
        return bytes.insert(bytes.find(strings) + strings.size(), lines);
    };
    for (int beats = 1; beats <= 32; ++beats) {
        for (const int beatType : {1, 2, 4, 8, 16, 32}) {
            engine::EditingState state;
            state.time = {beats, beatType};
            const std::string line =
                "Time: " + std::to_string(beats) + "/" + std::to_string(beatType) + "\r\n";
            const std::string bytes = saved(state);
            EXPECT_EQ(bytes, beats == 4 && beatType == 4 ? example : withLines(line)) << line;
            const LoadedTab loaded = read(bytes);
            EXPECT_EQ(std::tuple(loaded.state.time, loaded.lines, joined(loaded.problems)),
                      std::tuple(state.time, text.lines(), ""))
                << line;
        }
    }
    for (const int tempo : {20, 137, 400}) {
        engine::EditingState state;
        state.tempo = tempo;
        const std::string line = "Tempo: " + std::to_string(tempo) + "\r\n";
        const std::string bytes = saved(state);
        EXPECT_EQ(bytes, withLines(line)) << line;
        const LoadedTab loaded = read(bytes);
        EXPECT_EQ(std::tuple(loaded.state.tempo, loaded.lines, joined(loaded.problems)),
                  std::tuple(tempo, text.lines(), ""))
            << line;
    }
    engine::EditingState both;
    both.tempo = 90;
    both.time = {6, 8};
    EXPECT_EQ(saved(both), withLines("Tempo: 90\r\nTime: 6/8\r\n"));

    // A tempo or time line is taken only between the comments and the rule; nonsense gives 100
    // or 4/4 and says so.
    const std::string noTempo =
        "The tempo line gives no tempo from 20 to 400: Quorlin assumed 100.";
    const std::string noTime = "The time signature line gives no time signature of 1 to 32 "
                               "beats of a 1, 2, 4, 8, 16 or 32: Quorlin assumed 4/4.";
    const std::tuple<std::string, int, const char*, std::string> lines[] = {
        {"Tempo: 19", 100, "4/4", noTempo},    {"Tempo: 401", 100, "4/4", noTempo},
        {"Tempo: fast", 100, "4/4", noTempo},  {"Tempo:  60 bpm", 60, "4/4", ""},
        {"tempo: 60", 100, "4/4", ""},         {"Time: 3/5", 100, "4/4", noTime},
        {"Time: 0/4", 100, "4/4", noTime},     {"Time: 33/4", 100, "4/4", noTime},
        {"Time: 4/64", 100, "4/4", noTime},    {"Time: -3/4", 100, "4/4", noTime},
        {"Time: 3", 100, "4/4", noTime},       {"Time: waltz", 100, "4/4", noTime},
        {"Time:  6 / 8 feel", 100, "6/8", ""}, {"time: 3/4", 100, "4/4", ""}};
    for (const auto& [line, tempo, time, problem] : lines) {
        const LoadedTab loaded = read(withLines(line + "\r\n"));
        EXPECT_EQ(std::tuple(loaded.state.tempo, model::timeSignatureText(loaded.state.time),
                             joined(loaded.problems)),
                  std::tuple(tempo, time, problem))
            << line;
    }
    // Not among the comments, nor in the tab.
    std::string comment = example;
    comment.insert(comment.find("---"), "Time: 3/4\r\n");
    EXPECT_EQ(read(comment).state.time, model::TimeSignature());
    const LoadedTab inTab =
        read(std::string("FTH80:G D A E ;\r\n") + kRestOfHeader + "Tempo: 60\r\nTime: 3/4\r\n");
    EXPECT_EQ(std::tuple(inTab.state.tempo, inTab.state.time),
              std::tuple(100, model::TimeSignature()));
}

TEST(TabFile, ReadsOddHeaderLinesAndSaysWhatItAssumed)
{
    // The header line, the set-up read from it, and the complaint after "The header line ".
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"FTH", "80 4 [C#D#F#G#A#B ] 0 0 0",
         "has no \":\" before the string names: Quorlin assumed 4 strings, tuned as before."},
        {"FTH64:G D A E B", "64 5 [G D A E B B ] 0 0 0",
         "has no \";\" after the string names: Quorlin read them up to the end of the line."},
        {"FTH80:G D A;E ;", "80 4 [G D A G#A#B ] 0 0 0",
         "names 3 strings: Quorlin assumed 4, the others tuned as before."},
        {"FTH80:C G D A E B F ;", "80 6 [C G D A E B ] 0 0 0",
         "names 7 strings: Quorlin took the first 6."},
        {"FTH:G D A E ;", "80 4 [G D A E A#B ] 0 0 0", "gives no tab width: Quorlin assumed 80."},
        {"FTH +72x:  #G##  D A E; x", "72 4 [G#D A E A#B ] 0 0 0", ""},
        {"FTH-5:G D A E \xC3\x89;", "-5 5 [G D A E ? B ] 0 0 0", ""},
        {"FTH99999999999:G D A E ;", "2147483647 4 [G D A E A#B ] 0 0 0", ""},
        {"FTH-99999999999:G D A E ;", "-2147483648 4 [G D A E A#B ] 0 0 0", ""}};
    for (const auto& [line, state, problem] : cases) {
        const LoadedTab loaded = read(std::string(line) + "\r\n" + kRestOfHeader + "|   q\r\n", 6);
        EXPECT_EQ(stateOf(loaded), state) << line;
        EXPECT_EQ(joined(loaded.problems), problem.empty() ? "" : "The header line " + problem)
            << line;
    }
}

TEST(TabFile, ReadsFilesOfEveryShapeWithoutHidingALineAndSaysWhatWasOdd)
{
    const std::string p = "\u2029", l = "\u2028", b = "\xEF\xB7\x90", e = "\xEF\xB7\x91";
    const std::string r = "\uFFFD", fth = "FTH80:G D A E ;\r\n", gdae = "80 4 [G D A E A#B ] ";
    const std::string lost = "The header has no \"---\" line to end the comments: Quorlin read "
                             "the tab from line ";
    // The bytes; the song header, the tab and the set-up read from them; what the reader said.
    const std::tuple<std::string, std::string, std::string, std::string, std::string> cases[] = {
        {"", "none", "", "80 4 [C#D#F#G#A#B ] 0 0 0", ""},
        // Line ends CR LF, LF (after a byte order mark) and CR; what follows Ctrl-Z is not text.
        {"\xEF\xBB\xBF"
         "FTH60:E A D G ;\n====================\nFrom            : J\xC3\xA9r\n\n\n"
         "Comments:       : \n---\n====================\n\n|   q\nE ---\nA --2\n\x1A\xFF junk\n",
         "J\xC3\xA9r|||", "|   q\nE ---\nA --2", "60 4 [E A D G A#B ] 0 0 0", ""},
        {dataFile("windows1252.tab"),
         "Andr\xC3\xA9|Caf\xC3\xA9 \xE2\x82\xAC||\xE2\x80\x9CSlow\xE2\x80\x9D/\xEF\xBF\xBD",
         "|   h\nD ---\nA ---\nE \\-7\nB ---\n>    ", "40 4 [D A E B A#B ] 0 3 7", ""},
        {dataFile("bare.txt"), "none",
         "|   q  e\nG ------\nD --5---\nA ---H12\n        \nE ------\n>       ",
         "80 4 [C#D#F#G#A#B ] 1 0 0", ""},
        {"|\nG -99999999999", "none", "|\nG -99999999999", "80 4 [C#D#F#G#A#B ] 0 0 0", ""},
        {"|\n12---", "none", "|\n12---", "80 4 [C#D#F#G#A#B ] 0 0 0", ""}, // "12" names a string
        {std::string("| q\0q\r\nG --5\0\r\n", 15), "none", std::string("| q\0q\nG --5\0", 12),
         "80 4 [C#D#F#G#A#B ] 0 0 0", ""},
        // A header that never closes keeps the lines it can tell are its own; a label is known
        // without the blank an editor may strip.
        {fth + "|   q\r\nG ---\r\nD --5\r\nA ---\r\nE ---\r\n>", "|||",
         "|   q\nG ---\nD --5\nA ---\nE ---\n>", gdae + "0 2 5", lost + "2."},
        {fth + "====================\r\nFrom            : Me\r\n\r\n\r\n"
               "Comments:       : one\r\ntwo",
         "Me|||", "Comments:       : one\ntwo", gdae + "0 0 0", lost + "4."},
        {fth + "====================\r\nFrom            :\r\nArtist          : A\r\n"
               "Bass Performance: B\r\nComments:       : one\r\ntwo\r\n|   q",
         "|A|B|one", "two\n|   q", gdae + "0 0 0", lost + "7."},
        {fth + "\r\nF\r\nA\r\nB\r\nComments:       : one\r\ntwo\r\n---\r\n|   q", "|||one/two",
         "|   q", gdae + "0 0 0",
         "The header has no \"====================\" line to end it: Quorlin read the tab from "
         "line 9."},
        // What the text area would take for a line break is replaced, also at the very end.
        {"|   q\r\nG --5" + p, "none", "|   q\nG --5" + r, "80 4 [C#D#F#G#A#B ] 0 0 0",
         "1 character that would have split a line in two was replaced by \uFFFD."},
        {fth + "====================\r\nFrom            : " + l + "\r\n\r\n\r\nComments:       : " +
             b + "\r\n" + e + "\r\n---\r\n====================\r\n|   q" + l + b + "\r\nG -" + p +
             "-5\r\nD --7\r\nA -" + e + "\r\n>",
         r + "|||" + r + "/" + r, "|   q" + r + r + "\nG -" + r + "-5\nD --7\nA -" + r + "\n>",
         gdae + "0 0 0",
         "7 characters that would have split a line in two were replaced by \uFFFD."},
        // Not UTF-8, so read as Windows-1252: the same bytes are three harmless characters.
        {"|   q\xE9\r\nG --5" + l, "none", "|   q\u00E9\nG --5\u00E2\u20AC\u00A8",
         "80 4 [C#D#F#G#A#B ] 0 0 0", ""},
    };
    for (const auto& [bytes, header, lines, state, problems] : cases) {
        const LoadedTab loaded = read(bytes);
        EXPECT_EQ(std::tuple(headerOf(loaded.header), loaded.hasHeader, joined(loaded.lines),
                             stateOf(loaded), joined(loaded.problems)),
                  std::tuple(header, loaded.header.has_value(), lines, state, problems))
            << bytes;
    }
}

// Comment lines of every shape, first and later, and the file line a later one is written as.
TEST(TabFile, WritesEveryCommentLineSoThatItReadsBackTheSame)
{
    const std::pair<const char*, const char*> shapes[] = {
        {"---", R"(\---)"},
        {"====================", R"(\====================)"},
        {R"(\---)", R"(\\---)"},
        {R"(\\====================)", R"(\\\====================)"},
        {"", ""},
        {R"(\)", R"(\)"},
        {"--- ", "--- "},
        {R"(\---\)", R"(\---\)"}};
    const std::string_view tab[] = {"|   q", "G ---", "D --5", "A ---", "E ---", ">"};
    for (const auto& [shape, written] : shapes) {
        const SongHeader header{"F", "A", "B", {shape, "", shape}};
        const std::string file = tabFileText(tab, {}, header);
        const LoadedTab loaded = read(file);
        EXPECT_EQ(std::tuple(loaded.header, joined(loaded.lines), joined(loaded.problems)),
                  std::tuple(header, joined({tab, tab + 6}), ""))
            << shape;
        EXPECT_NE(file.find("\r\n\r\n" + std::string(written) + "\r\n---\r\n"), std::string::npos)
            << shape;
    }
}

TEST(TabFile, WritesEveryHeaderValueOnOneLineOfUtf8)
{
    // A value, and what it reads back as in each of the five places it can stand.
    const std::pair<std::string, std::string> cases[] = {
        {"Line1\nLine2\rLine3", "Line1 Line2 Line3"},
        {"a\r\nb\v\fc\xC2\x85"
         "d",
         "a  b  c d"},
        {"\u2028|\u2029|\xEF\xB7\x90|\xEF\xB7\x91|\xEF\xB7\x92", " | | | |\xEF\xB7\x92"},
        {"end\x1A", "end\u241A"},
        {"Caf\xE9 \x80", "Caf\u00E9 \u20AC"}, // not UTF-8: taken as Windows-1252
        {"\nFTH80:G D A E ;\r\n---", " FTH80:G D A E ;  ---"},
    };
    // Each place gets its own mark, so a value that lands in the wrong one shows.
    const auto inEveryPlace = [](const std::string& v) {
        return SongHeader{v + "1", v + "2", v + "3", {v + "4", v + "5"}};
    };
    const std::string_view tab[] = {"|   q", "G --5"};
    for (const auto& [given, back] : cases) {
        const LoadedTab loaded = read(tabFileText(tab, {}, inEveryPlace(given)));
        EXPECT_EQ(std::tuple(loaded.header, joined(loaded.lines), joined(loaded.problems)),
                  std::tuple(inEveryPlace(back), "|   q\nG --5", ""))
            << given;
        EXPECT_EQ(headerAsSaved(inEveryPlace(given)), inEveryPlace(back)) << given;
    }
}

TEST(ToUtf8, KeepsUtf8AndReadsEverythingElseAsWindows1252)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\xC3\xA9\xF0\x9F\x8E\xB8\xF4\x8F\xBF\xBF", "\xC3\xA9\xF0\x9F\x8E\xB8\xF4\x8F\xBF\xBF"},
        {"\x80\x9F\x81\x8D\x8F\x90\x9D", // both ends of the table and its holes
         "\xE2\x82\xAC\xC5\xB8\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                     // overlong "/"
        {"\xE0\x80\xAF", "\xC3\xA0\xE2\x82\xAC\xC2\xAF"},                     // and again
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                     // a surrogate
        {"\xC3", "\xC3\x83"},                                                 // cut short
        {"\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"}, // past U+10FFFF
    };
    for (const auto& [bytes, utf8] : cases)
        EXPECT_EQ(toUtf8(bytes), utf8) << bytes;
}

using testing::utf16Bytes;

TEST(Utf16ToUtf8, ReadsEitherByteOrderAndTellsOtherTextApart)
{
    struct Case {
        std::string bytes;
        std::optional<std::string> utf8;
    };
    const Case cases[] = {
        {utf16Bytes(u"G|-5-|", false, true), "G|-5-|"},
        {utf16Bytes(u"G|-5-|", true, true), "G|-5-|"},
        {utf16Bytes(u"G|-5-|\r\n", false, false), "G|-5-|\r\n"},
        {utf16Bytes(u"G|-5-|\r\n", true, false), "G|-5-|\r\n"},
        {utf16Bytes(u"Caf\u00E9 \u2013 \U0001F3B8", false, true),
         "Caf\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x8E\xB8"},
        // A lone surrogate, a NUL and an odd last byte are no characters.
        {utf16Bytes(u"A", false, true) + std::string("\x3C\xD8"
                                                     "B\0\0\0C",
                                                     7),
         "A\uFFFDB\uFFFD\uFFFD"},
        // Without a mark: one NUL in a hundred high bytes missing is still UTF-16.
        {utf16Bytes(std::u16string(99, u'-') + u"\u4E2D", false, false),
         std::string(99, '-') + "\xE4\xB8\xAD"},
        // Not UTF-16: ASCII, UTF-8, NULs on both sides, and, with no mark, text whose
        // characters have no NUL in them.
        {"G|-5-|", std::nullopt},
        {"\xC3\xA9t\xC3\xA9", std::nullopt},
        {std::string(4, '\0'), std::nullopt},
        {"", std::nullopt},
        {utf16Bytes(u"\u4E2D\u6587", false, false), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16ToUtf8(c.bytes), c.utf8) << c.bytes;
}

// A tab some Windows editor saved again as UTF-16 loads as it was saved, and says so.
TEST(TabFile, ReadsUtf16AndSaysSo)
{
    const std::string_view tab[] = {"|   q  e", "G ------", "D --5H-7",
                                    "A ------", "E ------", ">      "};
    engine::EditingState state;
    state.tempo = 90;
    const SongHeader header{"From", "Artist", "Bass", {"first", "second"}};
    const std::string file = tabFileText(tab, state, header);
    const LoadedTab utf8 = read(file);
    ASSERT_TRUE(utf8.problems.empty());
    for (const bool bigEndian : {false, true}) {
        for (const bool mark : {false, true}) {
            const LoadedTab loaded = read(utf16Bytes(file, bigEndian, mark));
            EXPECT_EQ(std::tuple(loaded.header, loaded.lines, stateOf(loaded)),
                      std::tuple(utf8.header, utf8.lines, stateOf(utf8)))
                << bigEndian << mark;
            EXPECT_EQ(joined(loaded.problems),
                      "The file is UTF-16 text; it was read as such and is saved as UTF-8.");
        }
    }
}

} // namespace
} // namespace quorlin::files
