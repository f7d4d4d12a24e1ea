// The tab file: written from what the engine holds, read back into lines and set-up.

#include "files/TabFile.h"
#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "tests/instrument/TableGrid.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quorlin::files {
namespace {

using enum engine::Technique;

struct Engine {
    engine::VectorTabText text;
    instrument::testing::TableGrid neck;
    engine::Staff staff{text, neck};
};

// "q5@2" drops a quarter on string 2, fret 5; a letter after it picks the technique
// (h hammer-on, c chord, t triplet). "|" presses "New line".
void play(engine::Staff& staff, const std::string& script)
{
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        if (word == "|") {
            staff.JumpLine();
            continue;
        }
        engine::Drop drop;
        char mark = ' ';
        ASSERT_GE(
            std::sscanf(word.c_str(), "%c%d@%d%c", &drop.symbol, &drop.column, &drop.row, &mark), 3)
            << word;
        drop.technique = mark == 'h'   ? HammerOn
                         : mark == 'c' ? Chord
                         : mark == 't' ? Triplet
                                       : Default;
        ASSERT_EQ(staff.Dropped(drop), engine::DropOutcome::Written) << word;
    }
}

std::string dataFile(const std::string& name)
{
    std::ifstream in(std::string(QUORLIN_FILES_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string written(const engine::TabText& tab, const engine::EditingState& state,
                    const SongHeader& header)
{
    std::ostringstream out;
    writeTabFile(out, tab, state, header);
    return out.str();
}

// What the user had before the load; strings a header line leaves unnamed keep it.
LoadedTab read(const std::string& bytes, int strings = 4)
{
    instrument::Tuning before;
    for (int s = 1; s <= 6; ++s)
        before.set(s, std::string("C#D#F#G#A#B ").substr(2 * (s - 1), 2));
    std::istringstream in(bytes);
    return readTabFile(in, instrument::StringCount(strings), before);
}

// "80 4 [G D A E A#B ] 0 2 5": width, strings, the six names, block start, last note.
std::string stateOf(const engine::LoadedState& s)
{
    std::ostringstream out;
    out << s.tabWidth << ' ' << s.stringCount.value() << " [";
    for (int k = 1; k <= 6; ++k)
        out << s.tuning.at(k);
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

TEST(TabFile, WritesAndReadsTheExampleByteForByte)
{
    Engine e;
    play(e.staff, "q5@2");
    const SongHeader header{
        "Tab writer", "Some band", "Bass player", {"Intro only", "Play softly"}};
    const std::string file = dataFile("example.tab");
    EXPECT_EQ(written(e.text, e.staff.state(), header), file);

    const LoadedTab loaded = read(file, 6);
    EXPECT_EQ(loaded.header, header);
    EXPECT_EQ(loaded.lines, e.text.lines());
    EXPECT_EQ(stateOf(loaded.state), "80 4 [G D A E A#B ] 0 2 5");
    EXPECT_TRUE(loaded.problems.empty());
}

TEST(TabFile, GivesBackWhatTheEngineWroteAndWritesItAgainUnchanged)
{
    struct Case {
        int strings, width;
        const char* names; // strings 1.. renamed, two characters each; "  " skips one
        const char* script;
        const char* state; // read back; names past the count are those from before the load
    };
    const Case cases[] = {
        {4, 80, "", "", "80 4 [G D A E A#B ] 0 0 0"},
        {4, 80, "", "e7@4 q3@3 q5@1c q0@4c", "80 4 [G D A E A#B ] 0 1 5"},
        {5, 120, "F#C#", "q2@1h e12@4t", "120 5 [F#C#A E B B ] 0 4 12"},
        {6, 20, "  G#", "e0@1 e2@2 e4@3 e5@4 e7@5 e9@6 e10@2h q3@6 |", "20 6 [C G#D A E B ] 8 6 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Engine e;
        e.staff.setStringCount(c.strings);
        e.staff.setTabWidth(c.width);
        const std::string names = c.names;
        for (std::size_t k = 0; k + 2 <= names.size(); k += 2)
            if (names.compare(k, 2, "  ") != 0)
                e.staff.retune(static_cast<int>(k / 2) + 1, names.substr(k, 2));
        play(e.staff, c.script);
        SongHeader header{"Me", "Band", "", {}};
        if (c.strings != 4)
            header.comments = {"first", "", "last"};
        const std::string file = written(e.text, e.staff.state(), header);

        const LoadedTab loaded = read(file);
        EXPECT_EQ(loaded.lines, e.text.lines());
        EXPECT_EQ(stateOf(loaded.state), c.state);
        if (header.comments.empty())
            header.comments = {""}; // the label's own line is the first comment
        EXPECT_EQ(loaded.header, header);
        EXPECT_TRUE(loaded.problems.empty());

        engine::EditingState again;
        again.tabWidth = loaded.state.tabWidth;
        again.stringCount = loaded.state.stringCount;
        again.tuning = loaded.state.tuning;
        EXPECT_EQ(written(engine::VectorTabText(loaded.lines), again, *loaded.header), file);
    }
}

TEST(TabFile, ReadsOddHeaderLinesAndSaysWhatItAssumed)
{
    const char* const noColon = "The header line has no \":\" before the string names: Quorlin "
                                "assumed 4 strings, tuned as before.";
    const char* const noWidth = "The header line gives no tab width: Quorlin assumed 80.";
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"FTH", "80 4 [C#D#F#G#A#B ] 0 0 0", noColon},
        {"FTH64G D A E ; x", "64 4 [C#D#F#G#A#B ] 0 0 0", noColon},
        {"FTH64:G D A E B", "64 5 [G D A E B B ] 0 0 0",
         "The header line has no \";\" after the string names: Quorlin read them up to the end "
         "of the line."},
        {"FTH80:G D A;", "80 4 [G D A G#A#B ] 0 0 0",
         "The header line names 3 strings: Quorlin assumed 4, the others tuned as before."},
        {"FTH80:G;D A E ;", "80 4 [G D#F#G#A#B ] 0 0 0",
         "The header line names 1 string: Quorlin assumed 4, the others tuned as before."},
        {"FTH80:;", "80 4 [C#D#F#G#A#B ] 0 0 0",
         "The header line names no strings: Quorlin assumed 4, the others tuned as before."},
        {"FTH80:C G D A E B F ;", "80 6 [C G D A E B ] 0 0 0",
         "The header line names 7 strings: Quorlin took the first 6."},
        {"FTHabc:G D A E ;", "80 4 [G D A E A#B ] 0 0 0", noWidth},
        {"FTH:G D A E ;", "80 4 [G D A E A#B ] 0 0 0", noWidth},
        {"FTH 120:G D A E B ; x", "120 5 [G D A E B B ] 0 0 0", nullptr},
        {"FTH+72x:  #G##  D A E;", "72 4 [G#D A E A#B ] 0 0 0", nullptr},
        {"FTH-5:G D A E \xC3\x89;", "-5 5 [G D A E ? B ] 0 0 0", nullptr},
        {"FTH99999999999:G D A E ;", "2147483647 4 [G D A E A#B ] 0 0 0", nullptr},
        {"FTH-99999999999:G D A E ;", "-2147483648 4 [G D A E A#B ] 0 0 0", nullptr},
    };
    for (const auto& [line, state, problem] : cases) {
        const LoadedTab loaded = read(std::string(line) + "\r\n|   q\r\n", 6);
        EXPECT_EQ(stateOf(loaded.state), state) << line;
        EXPECT_EQ(joined(loaded.problems), problem ? problem : "") << line;
    }
}

TEST(TabFile, ReadsFilesOfEveryShape)
{
    const std::string labels = "From            : \r\nArtist          : \r\n"
                               "Bass Performance: \r\nComments:       : a\r\n";
    struct Case {
        std::string bytes;
        const char *header, *lines, *state;
    };
    const Case cases[] = {
        {"", "none", "", "80 4 [C#D#F#G#A#B ] 0 0 0"},
        {"FTH80:G D A E ; Generated by Quorlin, do not erase", "|||", "",
         "80 4 [G D A E A#B ] 0 0 0"},
        {"FTH80:G D A E ;\r\n====================\r\nFrom            : Me\r\n\r\n\r\n"
         "Comments:       : one\r\ntwo",
         "Me|||one/two", "", "80 4 [G D A E A#B ] 0 0 0"},
        {"FTH80:G D A E ;\r\n====================\r\n" + labels +
             "---\r\nb\r\n---\r\n====================\r\n\r\n|   q\r\nG --1\r\n\r\nD ---\r\n",
         "|||a", "|   q\nG --1\nD ---", "80 4 [G D A E A#B ] 0 1 1"},
        {"\xEF\xBB\xBF"
         "FTH60:E A D G ;\n====================\nFrom            : J\xC3\xA9r\n\n\n"
         "Comments:       : \n---\n====================\n\n|   q\nE ---\nA --2\n\x1A\xFF junk\n",
         "J\xC3\xA9r|||", "|   q\nE ---\nA --2", "60 4 [E A D G A#B ] 0 2 2"},
        {dataFile("windows1252.tab"),
         "Andr\xC3\xA9|Caf\xC3\xA9 \xE2\x82\xAC||\xE2\x80\x9CSlow\xE2\x80\x9D/\xEF\xBF\xBD",
         "|   h\nD ---\nA ---\nE \\-7\nB ---\n>    ", "40 4 [D A E B A#B ] 0 3 7"},
        {dataFile("bare.txt"), "none",
         "|   q  e\nG ------\nD --5---\nA ---H12\n        \nE ------\n>       ",
         "80 4 [C#D#F#G#A#B ] 1 2 12"},
    };
    for (const auto& c : cases) {
        const LoadedTab loaded = read(c.bytes);
        EXPECT_EQ(headerOf(loaded.header), c.header) << c.bytes;
        EXPECT_EQ(loaded.hasHeader, loaded.header.has_value());
        EXPECT_EQ(joined(loaded.lines), c.lines) << c.bytes;
        EXPECT_EQ(stateOf(loaded.state), c.state) << c.bytes;
        EXPECT_TRUE(loaded.problems.empty()) << c.bytes;
    }
}

} // namespace
} // namespace quorlin::files
