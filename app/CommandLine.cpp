#include "app/CommandLine.h"

#include "files/TabFile.h"
#include "score/Performance.h"
#include "ui/Exports.h"
#include "ui/FileAccess.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace quorlin::app {

namespace {

constexpr std::string_view kExportMidi = "--export-midi";
constexpr std::string_view kExportWav = "--export-wav";
constexpr std::string_view kTempo = "--tempo";
constexpr std::string_view kSoundFont = "--soundfont";

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

int fail(const std::string& message)
{
    std::fprintf(stderr, "quorlin: %s\n", message.c_str());
    return 1;
}

} // namespace

CommandLine parseCommandLine(std::span<const std::string_view> args)
{
    const auto has = [args](std::string_view option) {
        for (const std::string_view arg : args) {
            if (arg == option || arg.starts_with(std::string(option) + "="))
                return true;
        }
        return false;
    };
    if (!has(kExportMidi) && !has(kExportWav)) {
        if (has(kTempo) || has(kSoundFont))
            return invalid("--tempo and --soundfont go with --export-midi or --export-wav");
        return {};
    }

    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string_view> attached;
        if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
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
        if (arg == kExportMidi || arg == kExportWav) {
            if (line.mode != CommandLine::Mode::Window)
                return invalid("only one export at a time");
            if (attached || i + 2 >= args.size())
                return invalid(std::string(arg) + " needs an input tab and an output file");
            line.mode =
                arg == kExportMidi ? CommandLine::Mode::ExportMidi : CommandLine::Mode::ExportWav;
            line.input = args[++i];
            line.output = args[++i];
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
        } else {
            return invalid("unknown option " + std::string(args[i]));
        }
    }
    if (!line.soundFont.empty() && line.mode == CommandLine::Mode::ExportMidi)
        return invalid("--soundfont goes with --export-wav only");
    return line;
}

int runExport(const CommandLine& line)
{
    const QString input = QString::fromLocal8Bit(line.input.c_str());
    const ui::FileRead file = ui::readRegularFile(input);
    if (!file.ok)
        return fail("cannot read " + line.input + ": " + file.problem.toStdString());
    const files::LoadedTab tab = files::readTabFile(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())),
        instrument::StringCount(), instrument::Tuning());
    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const score::Score score = score::readScore(lines, tab.state.stringCount, tab.state.tuning,
                                                line.tempo.value_or(tab.state.tempo));
    if (score.columns.empty())
        return fail(line.input + " holds no note or rest to export");
    if (const std::string skipped = score::skippedText(score); !skipped.empty())
        std::fprintf(stderr, "quorlin: warning: %s: %s of the tab as the window shows it\n",
                     line.input.c_str(), skipped.c_str());

    QString problem;
    const auto format =
        line.mode == CommandLine::Mode::ExportMidi ? ui::ExportFormat::Midi : ui::ExportFormat::Wav;
    if (!ui::exportPerformance(format, score::perform(score),
                               QString::fromLocal8Bit(line.output.c_str()),
                               QString::fromLocal8Bit(line.soundFont.c_str()), {}, problem))
        return fail(problem.toStdString());
    return 0;
}

} // namespace quorlin::app
