// Tabs as MusicXML, read back with XPath: every measure full on both staves, the file well formed.

#include "files/MusicXml.h"
#include "tests/files/PeerRun.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <fstream>

namespace quorlin::files {
namespace {

struct Case {
    const char* name;
    std::string_view tab;    // lines parted by '\n'
    std::string_view checks; // "xpath => the values it selects; ..."
    SongHeader header = {};
    MusicXmlOptions options = {};
};

// F A C Eb, Bb D F Ab, and F held: an F7 and a Bb7 walked up.
constexpr std::string_view kBluesInF = "|   q  q  q  q  q  q  q  q  w\n"
                                       "G -----------------------1---\n"
                                       "D -----------1-----0--3------\n"
                                       "A -----0--3-----1------------\n"
                                       "E --1-----------------------1\n"
                                       ">";

const std::vector<Case>& cases()
{
    static const std::vector<Case> all = {
        {"pitch, value and place of each note; the measure filled with rest",
         "|   q  e  s s.\nG --3---------\nD -----5------\nA ------------\nE --------0--1\n>",
         "/score-partwise/@version => 3.1; //note[staff=1]/pitch => B-12 G2 E1 F1; "
         "//key/fifths => -2; //key/mode => major; "
         "//note[staff=1][pitch]/type => quarter eighth 16th 16th; "
         "//note[staff=1][pitch]/duration => 480 240 120 180; //note[staff=1][rest]/duration => "
         "720 180; //note[staff=2]//technical/string => 1 2 4 4; //note[staff=2]//technical/fret "
         "=> 3 5 0 1; count(//note[staff=1]//technical) => 0; //note/voice => 1 1 1 1 1 1 5 5 5 "
         "5 5 5"},
        {"a triplet of chords and a triplet of dotted sixteenths, each with its bracket",
         "|   e  e  e s. s. s.\nG --5~~5~~7---------\nD --3~~3~~3-12~12~12\nA "
         "------------------\nE ------------------\n>",
         "//note[staff=1][not(chord)][time-modification]/duration => 160 160 160 120 120 120; "
         "//note[staff=1][chord]/time-modification => 32 32 32; "
         "//note[staff=1][time-modification]/dot/../type => 16th 16th 16th; //tuplet/@type => "
         "start stop start stop start stop start stop; //note[staff=2][chord]//string => 2 2 2"},
        {"rests: no note, r, and an unreadable column, which parts a slide from the note before",
         "|   q  q  q  q  q\nG --5X-7\\-9------\nD ---------------\nA ---------------\nE "
         "---------------\n>               r",
         "//note[staff=1][rest]/type => quarter quarter; //measure[2]/note/rest/@measure => yes "
         "yes; count(//slide) => 0; //note[staff=1][.//scoop]/pitch => E3"},
        {"a triplet cut by the bar line, and two triplet notes before a whole one",
         "|  h.  e  q  q  q  e  e  w\nG --5--5--7~~7~~7--5~~5--7\nD ------------------------\nA "
         "------------------------\nE ------------------------\n>",
         "//measure[1]/note[staff=1][last()]/type => eighth; "
         "count(//measure[1]/note[staff=1][last()]/time-modification) => 0; "
         "//measure[2]/note[staff=1][1]/type => 16th; "
         "//measure[2]/note[staff=1][1]/time-modification => 32"},
        {"a slapped note across the bar line is tied and slapped once",
         "|  h.  h  q\nG --5--7---\nD --------7\nA ---------\nE ---------\n>      +  .",
         "count(//pluck) => 2; //note[staff=1]//pluck => T; "
         "//note[staff=1][.//snap-pizzicato]/pitch => A2; //measure[1]/note[staff=1]/dot/../type "
         "=> half; //measure[1]/note[staff=1]/type => half quarter; //tie/@type => start start "
         "stop stop; //measure[2]/note[staff=1]/type => quarter quarter half"},
        {"hammer-on, pull-off and slides take the note before on their string",
         "|   q  q  q  q  q  q\nG --5H-7P-5\\-9/-5---\nD ------------------\nA "
         "------------------\nE ---------------/-3\n>",
         "//note[staff=1]//slur/@number => 1 1 1 1; //note[staff=1]//hammer-on/@type => start "
         "stop; //note[staff=1]//pull-off/@type => start stop; //note[staff=2]//slide/@type => "
         "start stop start stop; //note[staff=1][.//slide/@type='stop']/pitch => E3 C3; "
         "//note[staff=1][.//plop]/pitch => G1; count(//scoop) => 0"},
        {"a slur over the bar line: the tab staff numbers its own while the first is open",
         "|   w  q  q\nG --5H-7---\nD ---------\nA ---------\nE ------\\-3\n>",
         "//slur/@number => 1 2 1 2; //note[staff=1][.//scoop]/pitch => G1"},
        {"six strings, the lowest tuned to A; the tempo, and three four",
         "|   q\nC -10\nG ---\nD ---\nA ---\nE ---\nA --0\n>",
         "//staff-lines => 6; //staff-tuning => A0 E1 A1 D2 G2 C3; //note[staff=1]/pitch => B-13 "
         "A0; //key => -5minor; //note[staff=2]//string => 1 6; //sound/@tempo => 137; //time => "
         "34",
         {},
         {.beats = 3, .beatType = 4, .key = {}}},
        // Keys and spellings worked out by hand from the rules of signatures and of Krumhansl
        // and Schmuckler's key finding.
        {"a blues in F: one flat, and B flat, E flat and A flat, never a sharp", kBluesInF,
         "//key/fifths => -1; //key/mode => major; //note[staff=1]/pitch => F1 A1 C2 E-12 B-11 D2 "
         "F2 A-12 F1; //note[staff=2]/pitch => F1 A1 C2 E-12 B-11 D2 F2 A-12 F1; "
         "count(//alter[. > 0]) => 0"},
        {"the same notes in the key asked for: A, three sharps",
         kBluesInF,
         "//key/fifths => 3; //key/mode => major; //note[staff=1]/pitch => F1 A1 C2 D12 A11 D2 F2 "
         "G12 F1; //note[staff=2]//fret => 1 0 3 1 1 0 3 1 1",
         {},
         {.key = score::Key{3, false}}},
        {"header: the title from the comments, names whatever their characters",
         "|   q\nG --5\nD ---\nA ---\nE ---\n>",
         "//work/work-title => First title; //credit[credit-type='title']/credit-words => First "
         "title; //creator[@type='arranger'] => Tab <writer>; "
         "//credit[credit-type='composer'][credit-type='arranger']/credit-words => A & B\nTab by "
         "Tab <writer>; //credit[credit-type='bass']/credit-words => Bass: Ba\xEF\xBF\xBDss",
         {"Tab <writer>", " A & B ", "Ba\xFF\x01ss", {"", "  First title  ", "second"}},
         {.titleFromComments = true, .key = {}}},
        {"nothing to play is one measure of rest; a header without the title or the artist",
         "",
         "count(//measure) => 1; //note/rest/@measure => yes yes; count(//work) => 0; "
         "count(//credit) => 2; //credit[credit-type='arranger']/credit-words => Tab by Me",
         {"Me", "", "Someone", {"Not a title"}}},
    };
    return all;
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find(separator, from), text.size());
        parts.push_back(text.substr(from, end - from));
        from = end + separator.size();
    }
    return parts;
}

// The case's tab at 137 beats a minute, in the usual tuning of its string count.
std::string exported(const Case& c)
{
    const std::vector<std::string_view> lines = split(c.tab, "\n");
    const int strings = lines.empty() ? 4 : static_cast<int>(lines.size()) - 2;
    instrument::Tuning tuning;
    tuning.followStringCount(instrument::kMinStrings, strings);
    const score::Score score =
        score::readScore(lines, instrument::StringCount(strings), tuning, 137);
    return musicXmlText(score, tuning, c.header, c.options);
}

// The nodes the query selects, their values one after the other.
std::string ask(const pugi::xml_document& doc, const std::string& xpath)
{
    const pugi::xpath_query query(xpath.c_str());
    if (query.return_type() != pugi::xpath_type_node_set)
        return query.evaluate_string(doc);
    const pugi::xpath_query value("string(.)");
    std::string out;
    for (const pugi::xpath_node& n : query.evaluate_node_set(doc)) {
        out += out.empty() ? "" : " ";
        out += n.attribute() ? n.attribute().value() : value.evaluate_string(n);
    }
    return out;
}

// Both staves fill every measure exactly, and each slur and slide that starts stops.
void expectWholeMeasures(const pugi::xml_document& doc, const MusicXmlOptions& options)
{
    const std::string length = std::to_string(options.beats * 1920 / options.beatType);
    const int measures = std::stoi(ask(doc, "count(//measure)"));
    for (int m = 1; m <= measures; ++m) {
        const std::string at = "//measure[" + std::to_string(m) + "]";
        EXPECT_EQ(ask(doc, at + "/@number"), std::to_string(m));
        EXPECT_EQ(ask(doc, at + "/backup/duration"), length) << at;
        for (const char* staff : {"1", "2"})
            EXPECT_EQ(ask(doc, "sum(" + at + "/note[staff=" + staff + "][not(chord)]/duration)"),
                      length)
                << at << " staff " << staff;
    }
    // Every note and rest has a written value, but a whole measure's rest.
    EXPECT_EQ(ask(doc, "count(//note[not(type) and not(rest/@measure)])"), "0");
    for (const std::string marks : {"//note[staff=1]//slur", "//note[staff=2]//slur",
                                    "//note[staff=1]//slide", "//note[staff=2]//slide"})
        EXPECT_EQ(ask(doc, "count(" + marks + "[@type='start'])"),
                  ask(doc, "count(" + marks + "[@type='stop'])"))
            << marks;
}

// Read back here with XPath, and by another XML reader, which takes no ill-formed byte.
TEST(MusicXml, EachTabReadsBackAsItsNotesInFullMeasures)
{
    const testing::TempFolder folder("quorlin-musicxml");
    const auto file = folder / "export.musicxml";
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const std::string text = exported(c);
        std::ofstream(file, std::ios::binary) << text;
        EXPECT_EQ(std::system(("xmllint --noout '" + file.string() + "'").c_str()), 0);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(text.c_str(), pugi::parse_default | pugi::parse_doctype));
        for (const std::string_view check : split(c.checks, "; ")) {
            const std::vector<std::string_view> sides = split(check, " => ");
            EXPECT_EQ(ask(doc, std::string(sides.at(0))), sides.at(1)) << check;
        }
        expectWholeMeasures(doc, c.options);
    }
}

TEST(MusicXml, TimeSignaturesAndTitles)
{
    for (const std::string text : {"3/4", "32/32", "1/1", "12/8"}) {
        const auto time = model::readTimeSignature(text);
        ASSERT_TRUE(time) << text;
        EXPECT_EQ(std::to_string(time->beats) + "/" + std::to_string(time->beatType), text);
    }
    for (const char* text : {"33/4", "0/4", "4/3", "4/64", "4/", "/4", "4-4", " 3/4", "3/4x", ""})
        EXPECT_FALSE(model::readTimeSignature(text)) << text;
    EXPECT_THROW(musicXmlText({}, {}, {}, {.beats = 5, .beatType = 6, .key = {}}),
                 std::out_of_range);
    EXPECT_THROW(musicXmlText({}, {}, {}, {.key = score::Key{-8, false}}), std::out_of_range);
    EXPECT_EQ(commentTitle({"", "", "", {"", " \t"}}), "");
}

} // namespace
} // namespace quorlin::files
