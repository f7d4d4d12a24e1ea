// Prints what Quorlin hears in a recording as JSON, for the test set's scorer and the bench:
// each note as heard (seconds, pitch) and as the tab writes it (length, string, fret).
// Usage: transcribe-notes IN [--tempo N] [--strings N] [--tuning "E1 A1 D2 G2"]

#include "files/SongToTab.h"
#include "instrument/Tuning.h"
#include "score/Score.h"
#include "transcribe/Recording.h"
#include "transcribe/Transcriber.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace quorlin;

namespace {

// "E1" -> 28, "C#3" -> 49; -1 for anything else.
int keyOf(const std::string& name)
{
    static const std::map<char, int> steps = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5},
                                              {'G', 7}, {'A', 9}, {'B', 11}};
    if (name.size() < 2 || !steps.count(name[0]))
        return -1;
    int key = steps.at(name[0]);
    std::size_t at = 1;
    if (name[at] == '#' || name[at] == 'b')
        key += name[at++] == '#' ? 1 : -1;
    if (at >= name.size() || name[at] < '0' || name[at] > '9')
        return -1;
    return key + 12 * (name[at] - '0' + 1);
}

const char* techniqueName(model::Technique t)
{
    switch (t) {
    case model::Technique::HammerOn:
        return "hammer";
    case model::Technique::PullOff:
        return "pull";
    case model::Technique::SlideUp:
    case model::Technique::SlideDown:
        return "slide";
    case model::Technique::Slap:
        return "slap";
    case model::Technique::Pop:
        return "pop";
    case model::Technique::Plain:
        break;
    }
    return "plain";
}

int usage()
{
    std::fprintf(
        stderr,
        "usage: transcribe-notes IN [--tempo N] [--strings N] [--tuning \"E1 A1 D2 G2\"]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    transcribe::TranscribeOptions options;
    bool tuned = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc)
            return usage();
        if (arg == "--strings") {
            // The standard tuning of that many strings, unless --tuning says otherwise.
            const int strings = std::atoi(argv[++i]);
            if (strings < 4 || strings > 6)
                return usage();
            const instrument::StringCount count(strings);
            if (!tuned)
                options.openPitches = score::openPitches(count, instrument::standardTuning(count));
        } else if (arg == "--tempo") {
            options.tempo = std::atof(argv[++i]);
        } else if (arg == "--tuning") {
            std::istringstream names(argv[++i]);
            std::vector<int> open;
            for (std::string name; names >> name;) {
                if (keyOf(name) < 0)
                    return usage();
                open.insert(open.begin(), keyOf(name));
            }
            options.openPitches = open;
            tuned = true;
        } else {
            return usage();
        }
    }
    const transcribe::RecordingReading reading = transcribe::readRecording(argv[1], {}, {});
    if (!reading.ok()) {
        std::fprintf(stderr, "transcribe-notes: %s %s\n", argv[1], reading.error.c_str());
        return 1;
    }
    const transcribe::Transcription heard = transcribe::transcribe(reading.recording, options, {});
    std::printf("{\"tempo\": %.3f, \"firstBeat\": %.4f, \"noBassLine\": \"%s\", \"notes\": [",
                heard.tempo, heard.firstBeat, heard.noBassLine.c_str());
    if (!heard.noBassLine.empty()) {
        std::printf("]}\n");
        return 0;
    }
    // The tab read back as music: each written note by its start, to meet the note it came from.
    const files::SongTab tab = files::songToTab(heard.song, 0, {});
    const std::vector<std::string_view> lines(tab.tab.lines.begin(), tab.tab.lines.end());
    const score::Score written =
        score::readScore(lines, tab.tab.strings, tab.tab.tuning, tab.tempo);
    constexpr std::int64_t kSongPerTab = files::kSongTicksPerQuarter / model::kTicksPerBeat;
    std::map<std::int64_t, const score::Column*> byStart;
    for (const score::Column& c : written.columns)
        if (!c.rest && !c.notes.empty())
            byStart[c.start * kSongPerTab] = &c;
    const auto& songNotes = heard.song.tracks.front().notes;
    for (std::size_t i = 0; i < heard.notes.size(); ++i) {
        const transcribe::HeardNote& n = heard.notes[i];
        const std::int64_t start =
            songNotes[i].bar * heard.song.bars.front().length + songNotes[i].start;
        const auto found = byStart.find(start);
        const score::Column* column = found != byStart.end() ? found->second : nullptr;
        const score::Note* note = nullptr;
        if (column)
            for (const score::Note& w : column->notes)
                if (w.pitch == n.pitch)
                    note = &w;
        std::printf("%s\n{\"onset\": %.4f, \"offset\": %.4f, \"pitch\": %d, \"confidence\": %.3f, "
                    "\"ticks\": %lld, \"string\": %d, \"fret\": %d, \"technique\": \"%s\", "
                    "\"doubt\": \"%s\"}",
                    i ? "," : "", n.onset, n.offset, n.pitch, n.confidence,
                    static_cast<long long>(note ? column->length * kSongPerTab : 0),
                    note ? note->string : 0, note ? note->fret : -1, techniqueName(n.technique),
                    n.doubt.c_str());
    }
    std::printf("]}\n");
    return 0;
}
