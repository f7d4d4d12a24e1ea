#include "app/CommandLine.h"

#include "files/SongToTab.h"
#include "files/TabFile.h"
#include "files/WebTabImport.h"
#include "platform/ExportJobs.h"
#include "score/Performance.h"
#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"
#include "transcribe/Transcriber.h"
#include "ui/sheet/SheetFiles.h"

#include <QGuiApplication>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::app {

namespace {

constexpr std::string_view kExportMidi = "--export-midi";
constexpr std::string_view kExportWav = "--export-wav";
constexpr std::string_view kExportMusicXml = "--export-musicxml";
constexpr std::string_view kExportPdf = "--export-pdf";
constexpr std::string_view kExportSvg = "--export-svg";
constexpr std::string_view kPage = "--page";
constexpr std::string_view kTime = "--time";
constexpr std::string_view kKey = "--key";
constexpr std::string_view kTitleFromComments = "--title-from-comments";
constexpr std::string_view kImportTab = "--import-tab";
constexpr std::string_view kSmallest = "--smallest";
constexpr std::string_view kImport = "--import";
constexpr std::string_view kListTracks = "--list-tracks";
constexpr std::string_view kTrack = "--track";
constexpr std::string_view kRepeatsOnce = "--repeats-once";
constexpr std::string_view kTempo = "--tempo";
constexpr std::string_view kSoundFont = "--soundfont";
constexpr std::string_view kTranscribe = "--transcribe";
constexpr std::string_view kStart = "--start";
constexpr std::string_view kEnd = "--end";
constexpr std::string_view kStrings = "--strings";
constexpr std::string_view kTuning = "--tuning";

CommandLine invalid(std::string why)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Invalid;
    line.error = std::move(why);
    return line;
}

std::optional<int> readTempo(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < score::kMinTempo ||
        value > score::kMaxTempo)
        return std::nullopt;
    return value;
}

// Seconds into a recording: a plain decimal number, never negative.
std::optional<double> readSeconds(std::string_view text)
{
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "quorlin: %s\n", message.c_str());
    return 1;
}

// Why no file can be made where `path` names one: its folder missing, no folder or not
// writable; empty when one can. Told before the work, which could take minutes to fail alike.
std::string outputProblem(const std::string& path)
{
    struct stat info {};
    // A device is written in place, whatever its folder allows.
    if (::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode))
        return {};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    if (::stat(folder.c_str(), &info) != 0)
        return storage::errorText(errno);
    if (!S_ISDIR(info.st_mode))
        return storage::errorText(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return storage::errorText(errno);
    return {};
}

// The input's bytes, with the names kept as given: a name need not be valid text. Nothing
// when it cannot be read or is the output itself, which writing would destroy, or when the
// output cannot be written; said on stderr.
std::optional<std::string> readInput(const CommandLine& line, long long largest,
                                     const std::string& tooLarge = files::tooLong())
{
    if (storage::sameFile(line.input, line.output)) {
        fail("cannot write " + line.output + ": it is the input " + line.input +
             ", which it would destroy; give another output file");
        return std::nullopt;
    }
    if (const std::string why = line.output.empty() ? "" : outputProblem(line.output);
        !why.empty()) {
        fail("cannot write " + line.output + ": " + why);
        return std::nullopt;
    }
    storage::FileContent file = storage::readRegularFile(line.input, largest);
    if (file.tooLarge) {
        fail(line.input + ' ' + tooLarge);
        return std::nullopt;
    }
    if (!file.ok) {
        fail("cannot read " + line.input + ": " + file.problem);
        return std::nullopt;
    }
    // From here on an interrupted run leaves no partial output behind.
    storage::removePartialFilesOnSignals();
    return std::move(file.bytes);
}

// The pages laid out with the fonts they are drawn in. Fonts need an application object,
// and a display is none of its business: the offscreen platform draws without one.
int exportSheet(const CommandLine& line, const score::Score& score, const files::LoadedTab& tab)
{
    std::optional<QGuiApplication> application;
    int argc = 1;
    char name[] = "quorlin";
    char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The toolkit's chatter (no runtime folder...) is no problem of the export's.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& what) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "quorlin: %s\n", what.toLocal8Bit().constData());
        });
        application.emplace(argc, argv);
    }
    const sheet::SheetInput input = sheetInput(line, score, tab);
    ui::SheetDocument document;
    document.title = input.title;
    document.author = input.artist;
    document.tabFile = line.input;
    const ui::QtTextMeasure measure(document.face);
    const sheet::Sheet sheet = sheet::layoutSheet(score, input, measure);

    std::string problem;
    const bool written = line.mode == CommandLine::Mode::ExportPdf
                             ? ui::writeSheetPdf(sheet, document, line.output, problem)
                             : ui::writeSheetSvg(sheet, document, line.output, problem);
    return written ? 0 : fail(problem);
}

} // namespace

bool isToolkitOption(std::string_view name, bool& takesValue)
{
    // Options the window system's toolkit takes from the same command line.
    static constexpr std::string_view withValue[] = {
        "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
        "style",       "stylesheet",         "name",          "title"};
    static constexpr std::string_view flags[] = {"reverse", "widgetcount", "nograb", "dograb",
                                                 "sync"};
    takesValue = std::find(std::begin(withValue), std::end(withValue), name) != std::end(withValue);
    return takesValue || std::find(std::begin(flags), std::end(flags), name) != std::end(flags);
}

CommandLine parseCommandLine(std::span<const std::string_view> args)
{
    CommandLine line;
    bool help = false, version = false, optionsEnd = false, musicXmlOption = false,
         smallestOption = false, timeOption = false, songOption = false, recordingOption = false;
    std::optional<instrument::StringCount> strings;
    std::optional<std::pair<instrument::StringCount, instrument::Tuning>> tuning;
    std::vector<std::string_view> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (optionsEnd || arg.size() < 2 || arg.front() != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        std::optional<std::string_view> attached;
        if (const std::size_t equals = arg.find('='); equals != arg.npos) {
            attached = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        // The value after the option, or nothing when the line ends.
        const auto value = [&]() -> std::optional<std::string_view> {
            if (attached)
                return attached;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        const std::string_view bare = arg.substr(arg.starts_with("--") ? 2 : 1);
        bool takesValue = false;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == kExportMidi || arg == kExportWav || arg == kExportMusicXml ||
                   arg == kExportPdf || arg == kExportSvg || arg == kImportTab) {
            if (line.mode != CommandLine::Mode::Window)
                return invalid("only one export or import at a time");
            if (attached || i + 2 >= args.size())
                return invalid(std::string(arg) + " needs an input tab and an output file");
            line.mode = arg == kExportMidi       ? CommandLine::Mode::ExportMidi
                        : arg == kExportWav      ? CommandLine::Mode::ExportWav
                        : arg == kExportMusicXml ? CommandLine::Mode::ExportMusicXml
                        : arg == kExportPdf      ? CommandLine::Mode::ExportPdf
                        : arg == kExportSvg      ? CommandLine::Mode::ExportSvg
                                                 : CommandLine::Mode::ImportTab;
            line.input = args[++i];
            line.output = args[++i];
        } else if (arg == kImport || arg == kListTracks) {
            if (line.mode != CommandLine::Mode::Window)
                return invalid("only one export or import at a time");
            const bool import = arg == kImport;
            if (attached || i + (import ? 2 : 1) >= args.size())
                return invalid(import ? "--import needs a song file and an output tab"
                                      : "--list-tracks needs a song file");
            line.mode = import ? CommandLine::Mode::ImportSong : CommandLine::Mode::ListTracks;
            line.input = args[++i];
            if (import)
                line.output = args[++i];
        } else if (arg == kTranscribe) {
            if (line.mode != CommandLine::Mode::Window)
                return invalid("only one export or import at a time");
            if (attached || i + 2 >= args.size())
                return invalid("--transcribe needs a recording and an output tab");
            line.mode = CommandLine::Mode::Transcribe;
            line.input = args[++i];
            line.output = args[++i];
        } else if (arg == kStart || arg == kEnd) {
            const auto text = value();
            const std::optional<double> seconds = text ? readSeconds(*text) : std::nullopt;
            if (!seconds)
                return invalid(std::string(arg) + " needs a time in seconds, such as 12.5");
            (arg == kStart ? line.start : line.end) = seconds;
            recordingOption = true;
        } else if (arg == kStrings) {
            const auto text = value();
            if (text != "4" && text != "5" && text != "6")
                return invalid("--strings needs 4, 5 or 6");
            strings = instrument::StringCount(text->front() - '0');
            recordingOption = true;
        } else if (arg == kTuning) {
            const auto text = value();
            tuning = text ? instrument::readTuningText(*text) : std::nullopt;
            if (!tuning)
                return invalid("--tuning needs 4 to 6 note names, lowest string first, such as "
                               "\"E A D G\" or \"B E A D G\"");
            recordingOption = true;
        } else if (arg == kTrack) {
            const auto text = value();
            int track = 0;
            const auto [end, error] =
                text ? std::from_chars(text->data(), text->data() + text->size(), track)
                     : std::from_chars_result{nullptr, std::errc::invalid_argument};
            if (!text || error != std::errc() || end != text->data() + text->size() || track < 1)
                return invalid("--track needs a track number from 1, as --list-tracks shows");
            line.track = track;
            songOption = true;
        } else if (arg == kRepeatsOnce && !attached) {
            line.repeatsOnce = true;
            songOption = true;
        } else if (arg == kTempo) {
            const auto text = value();
            line.tempo = text ? readTempo(*text) : std::nullopt;
            if (!line.tempo)
                return invalid("--tempo needs a whole number of beats per minute from " +
                               std::to_string(score::kMinTempo) + " to " +
                               std::to_string(score::kMaxTempo));
        } else if (arg == kSoundFont) {
            const auto text = value();
            if (!text || text->empty())
                return invalid("--soundfont needs a sound font file");
            line.soundFont = *text;
        } else if (arg == kTime) {
            const auto text = value();
            line.time = text ? model::readTimeSignature(*text) : std::nullopt;
            if (!line.time)
                return invalid("--time needs a time signature such as 3/4: 1 to 32 beats of a "
                               "1, 2, 4, 8, 16 or 32");
            timeOption = true;
        } else if (arg == kPage) {
            const auto text = value();
            if (text == "a4" || text == "A4") {
                line.paper = sheet::Paper::A4;
            } else if (text == "letter") {
                line.paper = sheet::Paper::Letter;
            } else {
                return invalid("--page needs a4 or letter");
            }
        } else if (arg == kKey) {
            const auto text = value();
            line.musicXml.key = text ? score::readKey(*text) : std::nullopt;
            if (!line.musicXml.key)
                return invalid("--key needs a key such as F, Bb, F#m or Dm: a letter from A to G, "
                               "# or b, m for minor, at most seven sharps or flats");
            musicXmlOption = true;
        } else if (arg == kSmallest) {
            const auto text = value();
            if (text == "sixteenth" || text == "s" || text == "eighth" || text == "e") {
                line.smallest = text->front();
            } else {
                return invalid("--smallest needs sixteenth or eighth");
            }
            smallestOption = true;
        } else if (arg == kTitleFromComments && !attached) {
            line.musicXml.titleFromComments = true;
            musicXmlOption = true;
        } else if (isToolkitOption(bare, takesValue)) {
            if (takesValue && !value())
                return invalid(std::string(arg) + " needs a value");
        } else {
            return invalid("unknown option " + std::string(args[i]));
        }
    }
    if (help || version) {
        CommandLine asked;
        asked.mode = help ? CommandLine::Mode::Help : CommandLine::Mode::Version;
        return asked;
    }
    const bool exporting = line.mode != CommandLine::Mode::Window;
    if (exporting && !files.empty())
        return invalid("unexpected " + std::string(files.front()) + " after the " +
                       (line.mode == CommandLine::Mode::ImportTab ||
                                line.mode == CommandLine::Mode::ImportSong ||
                                line.mode == CommandLine::Mode::ListTracks
                            ? "import"
                        : line.mode == CommandLine::Mode::Transcribe ? "transcription"
                                                                     : "export"));
    if (recordingOption && line.mode != CommandLine::Mode::Transcribe)
        return invalid("--start, --end, --strings and --tuning go with --transcribe only");
    if (line.start && line.end && *line.end <= *line.start)
        return invalid("--end must come after --start");
    if (strings && tuning && tuning->first != *strings)
        return invalid("--tuning names " + std::to_string(tuning->first.value()) +
                       " strings, --strings " + std::to_string(strings->value()) +
                       ": they must agree");
    if (tuning)
        std::tie(line.strings, line.tuning) = *tuning;
    else if (strings)
        line.tuning = instrument::standardTuning(line.strings = *strings);
    if (songOption && line.mode != CommandLine::Mode::ImportSong)
        return invalid("--track and --repeats-once go with --import only");
    if (line.tempo && line.mode == CommandLine::Mode::ListTracks)
        return invalid("--tempo goes with an export or an import, not --list-tracks");
    if (!exporting && (line.tempo || !line.soundFont.empty()))
        return invalid("--tempo and --soundfont go with an export or an import");
    if (!line.soundFont.empty() && line.mode != CommandLine::Mode::ExportWav)
        return invalid("--soundfont goes with --export-wav only");
    const bool sheetExport =
        line.mode == CommandLine::Mode::ExportPdf || line.mode == CommandLine::Mode::ExportSvg;
    if ((musicXmlOption || (timeOption && !sheetExport)) &&
        line.mode != CommandLine::Mode::ExportMusicXml)
        return invalid("--time, --key and --title-from-comments go with --export-musicxml only");
    if (line.paper && !sheetExport)
        return invalid("--page goes with --export-pdf or --export-svg only");
    if (smallestOption && line.mode != CommandLine::Mode::ImportTab)
        return invalid("--smallest goes with --import-tab only");
    if (files.size() > 1)
        return invalid("one tab at a time, not " + std::to_string(files.size()));
    if (!files.empty())
        line.input = files.front();
    return line;
}

std::string usageLine()
{
    return "usage: quorlin [FILE] | --export-midi IN.tab OUT.mid [--tempo N] | --export-wav "
           "IN.tab OUT.wav [--tempo N] [--soundfont FILE] | --export-musicxml IN.tab "
           "OUT.musicxml [--tempo N] [--time B/T] [--key K] [--title-from-comments] | --export-pdf "
           "IN.tab OUT.pdf [--time B/T] [--page a4|letter] | --export-svg IN.tab OUT.svg [--time "
           "B/T] [--page a4|letter] | --import-tab "
           "IN.txt "
           "OUT.tab [--smallest sixteenth|eighth] [--tempo N] | --import FILE OUT.tab [--track N] "
           "[--repeats-once] [--tempo N] | --list-tracks FILE | --transcribe IN OUT.tab [--tempo "
           "N] "
           "[--strings 4|5|6] [--tuning \"E A D G\"] [--start SECONDS] [--end SECONDS] | --help | "
           "--version";
}

std::string helpText()
{
    return usageLine() + R"(

Quorlin writes bass tablature: drag a duration onto the neck, or type it, and the tab grows
as plain text. With FILE, the window opens that tab as Load would; a song file is
imported and a recording (.wav, .flac, .ogg, .oga, .mp3) transcribed.

  --export-midi IN.tab OUT.mid  write the tab as a Standard MIDI File, without a window
  --export-wav IN.tab OUT.wav   write the tab's sound as a 44.1 kHz 16-bit WAV file
  --export-musicxml IN.tab OUT.musicxml
                                write the tab as a MusicXML score for notation programs:
                                standard notation and tablature of the same notes
  --export-pdf IN.tab OUT.pdf   print the tab with its rhythm to a PDF file, page by page
  --export-svg IN.tab OUT.svg   the same pages as SVG: OUT-1.svg, OUT-2.svg... when there
                                are several
  --page a4|letter              the paper of the PDF or SVG pages; Letter in the US and
                                Canada, A4 elsewhere, unless given
  --import-tab IN.txt OUT.tab   write a tab as posted on the web (a line of dashes and
                                frets per string) as a Quorlin tab; what cannot be read
                                is listed on stderr as IN.txt:LINE:COLUMN
  --smallest sixteenth|eighth   what the closest spacing of the web tab is worth: the
                                durations come from the spacing (sixteenth unless given)
  --import FILE OUT.tab         write a track of a Guitar Pro (.gp3 to .gp), MusicXML or
                                MIDI file as a Quorlin tab; what does not come across as
                                written is listed on stderr as FILE:BAR:BEAT
  --track N                     the track to import, as --list-tracks numbers them; the
                                first bass track unless given
  --repeats-once                keep repeats written once instead of playing them out
  --list-tracks FILE            list the file's tracks: number, name, strings, tuning
                                (lowest string first) and notes, a line each
  --transcribe IN OUT.tab       write the bass line heard in a recording (WAV, FLAC,
                                Ogg/Vorbis or MP3) as a Quorlin tab; the doubtful notes
                                are listed on stderr as IN:M:SS.s
  --start SECONDS               where in the recording to begin listening (0 unless given)
  --end SECONDS                 where to stop (the end of the recording unless given)
  --strings 4|5|6               the bass the notes are fingered on (4 unless given)
  --tuning "E A D G"            its open strings, lowest first; the usual tuning of the
                                string count unless given (5: B E A D G, 6: B E A D G C)
  --tempo N                     beats per minute (20 to 400) instead of the tab's own; for
                                --transcribe, instead of the tempo heard
  --soundfont FILE              the .sf2 or .sf3 sound font for the WAV file
  --time B/T                    the time signature of the MusicXML score or the printed
                                pages instead of the tab's own: 1 to 32 beats of a 1, 2, 4, 8, 16 or 32
  --key K                       the MusicXML score's key, such as F, Bb, F#m or Dm, in
                                which every note is spelled; found from the notes unless
                                given
  --title-from-comments         the MusicXML score's title is the first comment line
  --help                        show this help and exit
  --version                     show the version and exit

Exit status: 0 on success, 1 when an export, import or transcription fails (a file with no
note or no track Quorlin can import, a recording with no bass line too), 2 for a wrong
command line (a --track the file does not have, or cannot give while another would do),
128 + the signal when interrupted (130 for Ctrl+C), the partial output removed.
)";
}

std::string versionText()
{
    return std::string("quorlin ") + QUORLIN_VERSION + "\n";
}

sheet::SheetInput sheetInput(const CommandLine& line, const score::Score& score,
                             const files::LoadedTab& tab)
{
    return ui::sheetInput(tab.header.value_or(files::SongHeader()), tab.state.tuning,
                          line.time.value_or(tab.state.time), score.tempo,
                          line.paper.value_or(ui::localPaper()));
}

int runExport(const CommandLine& line)
{
    // The import's limit: no tab is that long, and its pages would run to thousands.
    const std::optional<std::string> file =
        readInput(line, static_cast<long long>(files::kLargestWebTab));
    if (!file)
        return 1;
    const files::LoadedTab tab =
        files::readTabFile(*file, instrument::StringCount(), instrument::Tuning());
    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const score::Score score = score::readScore(lines, tab.state.stringCount, tab.state.tuning,
                                                line.tempo.value_or(tab.state.tempo));
    const bool sheet =
        line.mode == CommandLine::Mode::ExportPdf || line.mode == CommandLine::Mode::ExportSvg;
    // Said first, so that "holds no note" below has its reason.
    if (const std::string skipped = score::skippedText(score); !skipped.empty())
        std::fprintf(stderr, "quorlin: warning: %s: %s of the tab as the window shows it\n",
                     line.input.c_str(), skipped.c_str());
    // A saved tab's page with the title block alone is still a page; a sound or score of
    // nothing is not, nor a page of a file that is no tab at all (a picture, an empty file).
    if (score.columns.empty() && !(sheet && tab.hasHeader))
        return fail(line.input + (tab.hasHeader || !sheet ? "" : " is no Quorlin tab and") +
                    " holds no note or rest to export");

    if (sheet)
        return exportSheet(line, score, tab);
    QString problem;
    if (line.mode == CommandLine::Mode::ExportMusicXml) {
        files::MusicXmlOptions options = line.musicXml;
        const model::TimeSignature time = line.time.value_or(tab.state.time);
        options.beats = time.beats;
        options.beatType = time.beatType;
        if (!platform::exportMusicXml(score, tab.state.tuning,
                                      tab.header.value_or(files::SongHeader()), options,
                                      line.output, problem))
            return fail(problem.toStdString());
        return 0;
    }
    const auto format = line.mode == CommandLine::Mode::ExportMidi ? platform::ExportFormat::Midi
                                                                   : platform::ExportFormat::Wav;
    if (!platform::exportPerformance(format, score::perform(score), line.output, line.soundFont, {},
                                     problem))
        return fail(problem.toStdString());
    return 0;
}

int runImport(const CommandLine& line)
{
    // The window's limit: a text longer than any tab is refused before it is read.
    const std::optional<std::string> file =
        readInput(line, static_cast<long long>(files::kLargestWebTab));
    if (!file)
        return 1;
    files::WebTabOptions options;
    options.smallest = line.smallest;
    const files::ImportedTab tab = files::importWebTab(*file, options);
    // Each place as compilers give theirs, so an editor can jump to it.
    for (const files::WebTabProblem& problem : tab.problems)
        std::fprintf(stderr, "%s:%d:%d: %s\n", line.input.c_str(), problem.line, problem.column,
                     problem.what.c_str());
    if (tab.notes == 0)
        return fail(line.input + ' ' + files::whyNoNotes(tab));

    engine::EditingState state;
    state.stringCount = tab.strings;
    state.tuning = tab.tuning;
    state.tempo = line.tempo.value_or(engine::kDefaultTempo);
    state.time = tab.time.value_or(model::TimeSignature());
    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const std::string bytes = files::tabFileText(lines, state, files::SongHeader());
    std::string problem;
    if (!storage::writeFile(line.output, bytes, {}, problem))
        return fail("cannot write " + line.output + ": " + problem);
    std::fprintf(stderr, "quorlin: %s\n", files::importSummary(tab).c_str());
    return 0;
}

namespace {

void sayProblems(const std::string& file, const std::vector<files::SongProblem>& problems)
{
    // Each place as compilers give theirs; the whole file's without one.
    for (const files::SongProblem& problem : problems) {
        if (problem.bar > 0)
            std::fprintf(stderr, "%s:%d:%s: %s\n", file.c_str(), problem.bar,
                         files::beatText(problem.beat).c_str(), problem.what.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", file.c_str(), problem.what.c_str());
    }
}

// The tab written whole or not at all, with the tempo given or the song's own; each problem
// said on stderr first.
bool writeSongTab(const CommandLine& line, const files::SongTab& tab)
{
    sayProblems(line.input, tab.problems);
    engine::EditingState state;
    state.stringCount = tab.tab.strings;
    state.tuning = tab.tab.tuning;
    state.tempo = line.tempo.value_or(tab.tempo);
    state.time = tab.tab.time.value_or(model::TimeSignature());
    const std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
    const std::string bytes = files::tabFileText(lines, state, tab.header);
    std::string problem;
    if (storage::writeFile(line.output, bytes, {}, problem))
        return true;
    fail("cannot write " + line.output + ": " + problem);
    return false;
}

int wrong(const std::string& message)
{
    std::fprintf(stderr, "quorlin: %s\n", message.c_str());
    return 2;
}

} // namespace

int runSongImport(const CommandLine& line, const files::SongReaders& readers)
{
    const std::string tooLarge = "is larger than " +
                                 std::to_string(files::kLargestSongFile / (1024 * 1024)) +
                                 " MB, more than any song: not read";
    const std::optional<std::string> file =
        readInput(line, static_cast<long long>(files::kLargestSongFile), tooLarge);
    if (!file)
        return 1;
    const files::SongReading reading = files::readSong(*file, line.input, readers);
    if (!reading.ok())
        return fail(line.input + ' ' + reading.error);
    const std::vector<files::TrackSummary> tracks = files::listTracks(reading.song);
    if (line.mode == CommandLine::Mode::ListTracks) {
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            const files::TrackSummary& t = tracks[i];
            std::printf("%zu\t%s\t%s\t%s\t%d\n", i + 1, t.name.c_str(),
                        t.strings > 0 ? std::to_string(t.strings).c_str() : "", t.tuning.c_str(),
                        t.notes);
        }
        return 0;
    }
    // A file with no track to import is the file's fault (1); a track it does not have, or
    // one it cannot give while another would do, is the command line's (2).
    const int chosen = files::defaultTrack(reading.song);
    const int track = line.track ? *line.track - 1 : chosen;
    if (track < 0)
        return fail(line.input + " has no track Quorlin can import: " +
                    (tracks.empty() ? std::string("none at all") : tracks.front().whyNot));
    if (static_cast<std::size_t>(track) >= tracks.size())
        return wrong(line.input + " has " + std::to_string(tracks.size()) +
                     (tracks.size() == 1 ? " track" : " tracks") + ", not " +
                     std::to_string(track + 1));
    if (!tracks[static_cast<std::size_t>(track)].choosable) {
        const std::string why =
            "track " + std::to_string(track + 1) + " of " + line.input +
            " cannot be imported: " + tracks[static_cast<std::size_t>(track)].whyNot;
        return chosen < 0 ? fail(why) : wrong(why);
    }

    files::SongTabOptions options;
    options.repeatsOnce = line.repeatsOnce;
    const files::SongTab tab = files::songToTab(reading.song, track, options);
    if (!writeSongTab(line, tab))
        return 1;
    std::fprintf(stderr, "quorlin: %s\n", files::songSummary(tab).c_str());
    return 0;
}

int runTranscribe(const CommandLine& line)
{
    if (storage::sameFile(line.input, line.output))
        return fail("cannot write " + line.output + ": it is the input " + line.input +
                    ", which it would destroy; give another output file");
    if (const std::string why = outputProblem(line.output); !why.empty())
        return fail("cannot write " + line.output + ": " + why);
    storage::removePartialFilesOnSignals();
    const transcribe::RecordingReading reading =
        transcribe::readRecording(line.input, {line.start.value_or(0), line.end}, {});
    if (!reading.ok())
        return fail(line.input + ' ' + reading.error);
    transcribe::TranscribeOptions options;
    if (line.tempo)
        options.tempo = *line.tempo;
    options.openPitches = score::openPitches(line.strings, line.tuning);
    const transcribe::Transcription heard = transcribe::transcribe(reading.recording, options, {});
    if (!heard.noBassLine.empty())
        return fail(line.input + ": no bass line found: " + heard.noBassLine);
    if (!writeSongTab(line, files::songToTab(heard.song, 0, {})))
        return 1;
    std::fprintf(stderr, "quorlin: %s\n", transcribe::transcriptionSummary(heard).c_str());
    // Placed in the file, not in the part listened to, so that a player can go there.
    transcribe::Transcription inFile;
    inFile.notes = heard.notes;
    for (transcribe::HeardNote& note : inFile.notes) {
        note.onset += reading.recording.start;
        note.offset += reading.recording.start;
    }
    for (const std::string& doubt : transcribe::doubtfulNotes(inFile)) {
        const std::size_t space = std::min(doubt.find(' '), doubt.size());
        std::fprintf(stderr, "%s:%s: %s\n", line.input.c_str(), doubt.substr(0, space).c_str(),
                     doubt.substr(std::min(space + 1, doubt.size())).c_str());
    }
    return 0;
}

} // namespace quorlin::app
