#pragma once

// What the command line asks for, decided before any window or application object exists.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorlin::app {

struct CommandLine {
    enum class Mode { Window, ExportMidi, ExportWav, Invalid };
    Mode mode = Mode::Window;
    std::string input;
    std::string output;
    std::optional<int> tempo;
    std::string soundFont;
    // Why the line is invalid, in one line for stderr.
    std::string error;
};

// `args` without the program's name. Without an export everything is left to the window
// and its toolkit, which take options of their own.
CommandLine parseCommandLine(std::span<const std::string_view> args);

// Runs an export without a window: 0 on success, else a one-line message on stderr.
int runExport(const CommandLine& line);

} // namespace quorlin::app
