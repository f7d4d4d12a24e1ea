// What the command line asks for, decided before any window exists.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace quorlin::app {
namespace {

// The line, then what it decides as "mode input output tempo font", with the time signature
// ("tab's" for the tab's own) and whether the title comes from the comments for MusicXML, or
// "error: ...".
std::string decided(std::vector<std::string_view> args)
{
    const CommandLine line = parseCommandLine(args);
    if (line.mode == CommandLine::Mode::Invalid)
        return "error: " + line.error;
    const char* modes[] = {"window", "midi", "wav",     "musicxml", "pdf",    "svg",
                           "import", "help", "version", "song",     "tracks", "transcribe"};
    std::ostringstream out;
    out << modes[static_cast<int>(line.mode)] << ' ' << line.input << ' ' << line.output << ' '
        << line.tempo.value_or(0) << ' ' << line.soundFont;
    if (line.mode == CommandLine::Mode::ExportPdf || line.mode == CommandLine::Mode::ExportSvg)
        out << ' ' << (line.time ? model::timeSignatureText(*line.time) : "tab's") << ' '
            << (!line.paper                           ? "locale's"
                : *line.paper == sheet::Paper::Letter ? "letter"
                                                      : "a4");
    if (line.mode == CommandLine::Mode::ExportMusicXml)
        out << ' ' << (line.time ? model::timeSignatureText(*line.time) : "tab's")
            << (line.musicXml.titleFromComments ? " title" : "")
            << (line.musicXml.key ? " in " + score::keyName(*line.musicXml.key) : "");
    if (line.mode == CommandLine::Mode::ImportTab)
        out << ' ' << line.smallest;
    if (line.mode == CommandLine::Mode::ImportSong)
        out << " track " << line.track.value_or(0) << (line.repeatsOnce ? " once" : "");
    if (line.mode == CommandLine::Mode::Transcribe)
        out << " from " << line.start.value_or(-1) << " to " << line.end.value_or(-1) << " on "
            << instrument::tuningText(line.strings, line.tuning);
    return out.str();
}

TEST(CommandLine, DecidesTheExportOrLeavesEverythingToTheWindow)
{
    const std::string badKey = "error: --key needs a key such as F, Bb, F#m or Dm: a letter from "
                               "A to G, # or b, m for minor, at most seven sharps or flats";
    const std::pair<std::vector<std::string_view>, std::string> cases[] = {
        {{}, "window   0 "},
        // The toolkit's own options are left for it, in any order around the tab.
        {{"-platform", "offscreen", "song.tab", "--style=Fusion", "-reverse"},
         "window song.tab  0 "},
        {{"--", "-odd name.tab"}, "window -odd name.tab  0 "},
        {{"song.tab", "--version"}, "version   0 "},
        {{"--help", "-x"}, "error: unknown option -x"},
        {{"-h", "a.tab"}, "help   0 "},
        {{"a.tab", "b.tab"}, "error: one tab at a time, not 2"},
        {{"-platform"}, "error: -platform needs a value"},
        {{"--verbose", "a.tab"}, "error: unknown option --verbose"},
        {{"--export-midi", "a.tab", "a.mid", "b.tab"}, "error: unexpected b.tab after the export"},
        {{"--export-midi", "a.tab", "a.mid"}, "midi a.tab a.mid 0 "},
        {{"--tempo", "60", "--export-wav", "a.tab", "a.wav", "--soundfont=f.sf2"},
         "wav a.tab a.wav 60 f.sf2"},
        {{"--export-wav", "a.tab", "a.wav", "--tempo=400", "--soundfont", "f.sf3"},
         "wav a.tab a.wav 400 f.sf3"},
        {{"--export-midi", "--tempo", "a.mid"}, "midi --tempo a.mid 0 "},
        {{"--export-midi", "a.tab"}, "error: --export-midi needs an input tab and an output file"},
        {{"--export-midi=a.tab", "a.mid"},
         "error: --export-midi needs an input tab and an output file"},
        {{"--export-midi", "a.tab", "a.mid", "--export-wav", "a.tab", "a.wav"},
         "error: only one export or import at a time"},
        {{"--export-midi", "a.tab", "a.mid", "--tempo", "19"},
         "error: --tempo needs a whole number of beats per minute from 20 to 400"},
        {{"--export-midi", "a.tab", "a.mid", "--tempo", "90bpm"},
         "error: --tempo needs a whole number of beats per minute from 20 to 400"},
        {{"--export-midi", "a.tab", "a.mid", "--tempo"},
         "error: --tempo needs a whole number of beats per minute from 20 to 400"},
        {{"--export-wav", "a.tab", "a.wav", "--soundfont"},
         "error: --soundfont needs a sound font file"},
        {{"--export-midi", "a.tab", "a.mid", "--soundfont", "f.sf2"},
         "error: --soundfont goes with --export-wav only"},
        {{"--export-midi", "a.tab", "a.mid", "-x"}, "error: unknown option -x"},
        {{"--tempo", "90"}, "error: --tempo and --soundfont go with an export or an import"},
        {{"--export-musicxml", "a.tab", "a.musicxml"}, "musicxml a.tab a.musicxml 0  tab's"},
        {{"--time", "3/4", "--export-musicxml", "a.tab", "a.xml", "--title-from-comments",
          "--tempo", "90"},
         "musicxml a.tab a.xml 90  3/4 title"},
        {{"--export-musicxml", "a.tab", "a.xml", "--time=12/8"}, "musicxml a.tab a.xml 0  12/8"},
        {{"--export-musicxml", "a.tab", "a.xml", "--time", "5/6"},
         "error: --time needs a time signature such as 3/4: 1 to 32 beats of a 1, 2, 4, 8, 16 "
         "or 32"},
        {{"--export-musicxml", "a.tab", "a.xml", "--time"},
         "error: --time needs a time signature such as 3/4: 1 to 32 beats of a 1, 2, 4, 8, 16 "
         "or 32"},
        {{"--export-musicxml", "a.tab", "a.xml", "--title-from-comments=yes"},
         "error: unknown option --title-from-comments=yes"},
        {{"--export-musicxml", "a.tab"},
         "error: --export-musicxml needs an input tab and an output file"},
        {{"--export-musicxml", "a.tab", "a.xml", "--soundfont", "f.sf2"},
         "error: --soundfont goes with --export-wav only"},
        {{"--export-midi", "a.tab", "a.mid", "--time", "3/4"},
         "error: --time, --key and --title-from-comments go with --export-musicxml only"},
        {{"--title-from-comments", "a.tab"},
         "error: --time, --key and --title-from-comments go with --export-musicxml only"},
        {{"--key", "F", "a.tab"},
         "error: --time, --key and --title-from-comments go with --export-musicxml only"},
        {{"--export-musicxml", "a.tab", "a.xml", "--key", "F"},
         "musicxml a.tab a.xml 0  tab's in F"},
        {{"--export-musicxml", "a.tab", "a.xml", "--key=Dm"},
         "musicxml a.tab a.xml 0  tab's in Dm"},
        {{"--key", "Ebm", "--export-musicxml", "a.tab", "a.xml"},
         "musicxml a.tab a.xml 0  tab's in Ebm"},
        {{"--export-musicxml", "a.tab", "a.xml", "--key", "d"}, badKey},
        {{"--export-musicxml", "a.tab", "a.xml", "--key", "D#"}, badKey},
        {{"--export-musicxml", "a.tab", "a.xml", "--key"}, badKey},
        {{"--import-tab", "web.txt", "a.tab"}, "import web.txt a.tab 0  s"},
        {{"--smallest=eighth", "--import-tab", "web.txt", "a.tab", "--tempo", "80"},
         "import web.txt a.tab 80  e"},
        {{"--import-tab", "web.txt", "a.tab", "--smallest", "quarter"},
         "error: --smallest needs sixteenth or eighth"},
        {{"--import-tab", "web.txt", "a.tab", "b.tab"}, "error: unexpected b.tab after the import"},
        {{"--export-midi", "a.tab", "a.mid", "--smallest", "e"},
         "error: --smallest goes with --import-tab only"},
        {{"--import", "a.gp5", "a.tab"}, "song a.gp5 a.tab 0  track 0"},
        {{"--import", "a.mid", "a.tab", "--track", "3", "--repeats-once", "--tempo=90"},
         "song a.mid a.tab 90  track 3 once"},
        {{"--track=2", "--import", "a.mid", "a.tab"}, "song a.mid a.tab 0  track 2"},
        {{"--import", "a.mid", "a.tab", "--track", "0"},
         "error: --track needs a track number from 1, as --list-tracks shows"},
        {{"--import", "a.mid", "a.tab", "--track", "2x"},
         "error: --track needs a track number from 1, as --list-tracks shows"},
        {{"--import", "a.mid"}, "error: --import needs a song file and an output tab"},
        {{"--list-tracks", "a.gp"}, "tracks a.gp  0 "},
        {{"--list-tracks"}, "error: --list-tracks needs a song file"},
        {{"--list-tracks", "a.gp", "--track", "1"},
         "error: --track and --repeats-once go with --import only"},
        {{"--export-midi", "a.tab", "a.mid", "--repeats-once"},
         "error: --track and --repeats-once go with --import only"},
        {{"--import", "a.gp", "a.tab", "--import-tab", "b.txt", "b.tab"},
         "error: only one export or import at a time"},
        {{"--list-tracks", "a.gp", "b.gp"}, "error: unexpected b.gp after the import"},
        {{"--export-pdf", "a.tab", "a.pdf"}, "pdf a.tab a.pdf 0  tab's locale's"},
        {{"--page=letter", "--export-pdf", "a.tab", "a.pdf", "--time", "6/8"},
         "pdf a.tab a.pdf 0  6/8 letter"},
        {{"--export-svg", "a.tab", "a.svg", "--page", "a4"}, "svg a.tab a.svg 0  tab's a4"},
        {{"--export-svg", "a.tab", "a.svg", "--page", "a5"}, "error: --page needs a4 or letter"},
        {{"--export-pdf", "a.tab", "a.pdf", "--key", "F"},
         "error: --time, --key and --title-from-comments go with --export-musicxml only"},
        {{"--export-wav", "a.tab", "a.wav", "--page", "a4"},
         "error: --page goes with --export-pdf or --export-svg only"},
        // Without --strings or --tuning the usual four strings; either alone decides.
        {{"--transcribe", "a.wav", "a.tab"}, "transcribe a.wav a.tab 0  from -1 to -1 on E A D G"},
        {{"--transcribe", "a.flac", "a.tab", "--strings", "5", "--start=1.5", "--end", "30"},
         "transcribe a.flac a.tab 0  from 1.5 to 30 on B E A D G"},
        {{"--strings=6", "--transcribe", "a.wav", "a.tab", "--tempo", "96"},
         "transcribe a.wav a.tab 96  from -1 to -1 on B E A D G C"},
        {{"--transcribe", "a.wav", "a.tab", "--tuning", "D A D G"},
         "transcribe a.wav a.tab 0  from -1 to -1 on D A D G"},
        {{"--transcribe", "a.wav", "a.tab", "--tuning=B,E,A,D,G", "--strings", "5"},
         "transcribe a.wav a.tab 0  from -1 to -1 on B E A D G"},
        {{"--transcribe", "a.wav", "a.tab", "--tuning", "B E A D G", "--strings", "4"},
         "error: --tuning names 5 strings, --strings 4: they must agree"},
        {{"--transcribe", "a.wav", "a.tab", "--tuning", "E A D"},
         "error: --tuning needs 4 to 6 note names, lowest string first, such as \"E A D G\" or "
         "\"B E A D G\""},
        {{"--transcribe", "a.wav", "a.tab", "--strings", "7"}, "error: --strings needs 4, 5 or 6"},
        {{"--transcribe", "a.wav", "a.tab", "--start", "-1"},
         "error: --start needs a time in seconds, such as 12.5"},
        {{"--transcribe", "a.wav", "a.tab", "--end", "1e3"},
         "error: --end needs a time in seconds, such as 12.5"},
        {{"--transcribe", "a.wav", "a.tab", "--start", "20", "--end", "20"},
         "error: --end must come after --start"},
        {{"--transcribe", "a.wav"}, "error: --transcribe needs a recording and an output tab"},
        {{"--transcribe", "a.wav", "a.tab", "b.wav"},
         "error: unexpected b.wav after the transcription"},
        {{"--import", "a.mid", "a.tab", "--strings", "5"},
         "error: --start, --end, --strings and --tuning go with --transcribe only"},
        {{"--start", "3", "a.wav"},
         "error: --start, --end, --strings and --tuning go with --transcribe only"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(decided(args), expected) << ::testing::PrintToString(args);
}

} // namespace
} // namespace quorlin::app
