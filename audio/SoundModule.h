#pragma once

// Inside audio/ only: FluidSynth and libsndfile, with the forty libraries they pull in, live in
// a module of their own that is opened the first time sound is needed, so that starting the
// window maps none of them.

#include "audio/AudioOutput.h"
#include "audio/SoundFile.h"
#include "audio/Synth.h"

#include <memory>
#include <string>
#include <vector>

namespace quorlin::audio {

// A 16-bit stereo WAV file at kSampleRate written to a descriptor the caller owns.
class WavWriter {
public:
    virtual ~WavWriter() = default;
    // Appends `count` frames, left and right interleaved; false with `error` set.
    virtual bool write(const float* frames, int count, std::string& error) = 0;
    // Completes the header; the descriptor stays open.
    virtual bool finish(std::string& error) = 0;
};

// What the module hands out. The module is never closed, so what it makes may live as long
// as the program.
struct SoundPorts {
    std::unique_ptr<Synth> (*synth)(const std::string& fontPath, const FluidSynthOptions& options,
                                    std::string& error);
    std::unique_ptr<AudioOutput> (*device)(const DeviceSettings& settings);
    std::unique_ptr<WavWriter> (*wav)(int fd, std::string& error);
    // WAV, FLAC, Ogg (Vorbis, Opus), MP3 and the like, told by their bytes.
    std::unique_ptr<SoundFileReader> (*soundFile)(int fd, std::string& error);
};

inline constexpr const char* kSoundModuleFile = "quorlin-sound.so";
inline constexpr const char* kSoundPortsSymbol = "quorlin_sound_ports";

// Beside the executable in the build tree, then where an install puts it.
std::vector<std::string> soundModuleCandidates(const std::string& executableDir);

// Opens the first candidate that loads; null with `error` set to "sound is not available: "
// and the loader's reason otherwise.
const SoundPorts* loadSoundPorts(const std::vector<std::string>& candidates, std::string& error);

// The module found from the running executable, opened once for the whole program.
const SoundPorts* soundPorts(std::string& error);

// Built into the module only.
namespace module {
std::unique_ptr<Synth> openFluidSynth(const std::string& fontPath, const FluidSynthOptions& options,
                                      std::string& error);
std::unique_ptr<AudioOutput> openDevice(const DeviceSettings& settings);
std::unique_ptr<WavWriter> openWavFile(int fd, std::string& error);
} // namespace module

} // namespace quorlin::audio

extern "C" const quorlin::audio::SoundPorts* quorlin_sound_ports();
