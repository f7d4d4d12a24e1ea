#pragma once

// What the command line asks for, decided before any window or application object exists.

#include "files/MusicXml.h"
#include "files/SongReaders.h"
#include "files/TabFile.h"
#include "instrument/Tuning.h"
#include "sheet/SheetLayout.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorlin::app {

struct CommandLine {
    enum class Mode {
        Window,
        ExportMidi,
        ExportWav,
        ExportMusicXml,
        ExportPdf,
        ExportSvg,
        ImportTab,
        Help,
        Version,
        ImportSong, // a Guitar Pro, MusicXML or MIDI file's track as a tab
        ListTracks,
        Transcribe, // a bass recording heard and written as a tab
        Invalid
    };
    Mode mode = Mode::Window;
    // The tab to open in the window, or to export.
    std::string input;
    std::string output;
    std::optional<int> tempo;
    std::string soundFont;
    // The key and the title, for MusicXML.
    files::MusicXmlOptions musicXml;
    // The MusicXML score's or the sheet's time signature when not the tab's own.
    std::optional<model::TimeSignature> time;
    // What the closest spacing of a web tab is worth: 's' or 'e'.
    char smallest = 's';
    // The sheet's paper when not the locale's.
    std::optional<sheet::Paper> paper;
    // The song's track to import, from 1; the one the window would choose when not given.
    std::optional<int> track;
    bool repeatsOnce = false;
    // The part of the recording to transcribe, in seconds; the whole file when not given.
    std::optional<double> start;
    std::optional<double> end;
    // The strings the heard notes are fingered on: given, or the usual four.
    instrument::StringCount strings;
    instrument::Tuning tuning;
    // Why the line is invalid, in one line for stderr.
    std::string error;
};

// `args` without the program's name. The toolkit's own options (-platform, -style...) are
// left for it to take; any other option is refused.
CommandLine parseCommandLine(std::span<const std::string_view> args);

// The usage on one line, and the whole help.
std::string usageLine();
std::string helpText();
std::string versionText();

// Runs an export without a window: 0 on success, else a one-line message on stderr. A tab
// longer than the web-tab import takes is refused unread.
int runExport(const CommandLine& line);
// What the printed pages show besides the notes: the title is the first comment line.
sheet::SheetInput sheetInput(const CommandLine& line, const score::Score& score,
                             const files::LoadedTab& tab);
// Writes a web tab as a tab file: 0 when notes were found, each problem on stderr.
int runImport(const CommandLine& line);
// Writes a track of a song file as a tab (--import) or lists the tracks (--list-tracks): 0
// when done, 1 when the file cannot be read or has no track to import, 2 when the track asked
// for is not in the file, or cannot be imported while another could.
// Each problem goes on stderr as FILE:BAR:BEAT: what.
int runSongImport(const CommandLine& line,
                  const files::SongReaders& readers = files::builtInReaders());
// Writes the bass line heard in a recording as a tab: 0 when written, 1 when the recording
// cannot be read or holds no bass line. The summary and each doubtful note go on stderr, the
// note as FILE:M:SS.s: what.
int runTranscribe(const CommandLine& line);

} // namespace quorlin::app
