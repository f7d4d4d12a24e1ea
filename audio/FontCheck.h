#pragma once

// A sound font is first loaded and played by a short-lived process of its own: FluidSynth can
// crash or hang on a damaged file, and the window's process holds the user's unsaved tab.
// A font that passed is known by its path, size and modification time for the rest of the
// run, and the window remembers the last one across runs.

#include <chrono>
#include <string>
#include <vector>

namespace quorlin::audio {

inline constexpr const char* kFontCheckerFile = "quorlin-sound-check";
inline constexpr std::chrono::seconds kFontCheckLimit{20};

struct FontCheck {
    bool good = false;
    // Why not, in one line for the user.
    std::string error;
};

// Runs `command` with the font's path appended, giving it `limit` to end. The command exits 0
// for a good font, or 1 after writing the reason on its standard output.
FontCheck checkFontApart(const std::vector<std::string>& command, const std::string& fontPath,
                         std::chrono::milliseconds limit);

// The checker that comes with the sound module, beside it.
std::vector<std::string> fontCheckerCommand();

// "size mtime path"; empty when the file cannot be looked at.
std::string fontStamp(const std::string& fontPath);
// A stamp that passed, now or in an earlier run.
void trustFont(const std::string& stamp);

// The font checked apart unless its stamp passed before; a good one is trusted from then on.
FontCheck checkFontOnce(const std::string& fontPath);

} // namespace quorlin::audio
