#pragma once

// Writing the tab as MIDI, MusicXML or sound, the same for the menu and the command line: the
// file is written whole or not at all. Needs no window, nor an application object. Targets are
// names as the file system knows them (bytes), so that any name given can be written.

#include "files/MusicXml.h"
#include "score/Performance.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

namespace quorlin::audio {
class Synth;
}

namespace quorlin::platform {

enum class ExportFormat { Midi, Wav };

// Progress from 0 to 1; false cancels.
using ExportProgress = std::function<bool(double)>;

// A synthesiser with the font at `font`, refused unread when it is no regular file.
std::unique_ptr<audio::Synth> loadSynth(const std::string& font, std::string& error);

// The WAV file needs a sound font: `soundFont`, or the first one installed when it is empty.
// False with the reason in words, or with an empty reason when cancelled.
bool exportPerformance(ExportFormat format, const score::Performance& performance,
                       const std::string& target, const std::string& soundFont,
                       const ExportProgress& progress, QString& problem);

// The score as MusicXML, written whole or not at all. False with the reason in words.
bool exportMusicXml(const score::Score& score, const instrument::Tuning& tuning,
                    const files::SongHeader& header, const files::MusicXmlOptions& options,
                    const std::string& target, QString& problem);

} // namespace quorlin::platform
