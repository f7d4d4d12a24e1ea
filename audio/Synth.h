#pragma once

// The synthesiser behind a small port, so that the player and the WAV writer can be tested
// with a fake that records what it is sent. No Qt and no knowledge of the tab's text here;
// FluidSynth's own header stays inside audio/.

#include "score/Performance.h"

#include <memory>
#include <string>
#include <vector>

namespace quorlin::audio {

inline constexpr int kSampleRate = 44100;

class Synth {
public:
    virtual ~Synth() = default;
    // Applies one event now; its tick is not looked at.
    virtual void send(const score::Event& event) = 0;
    // Releases every note on every channel, as a jump in the loop needs: they fade as they
    // would on their own.
    virtual void allNotesOff() = 0;
    // Cuts every sound at once, ring and release included, as Stop needs.
    virtual void allSoundsOff() { allNotesOff(); }
    // The next `frames` frames of sound, left and right.
    virtual void render(float* left, float* right, int frames) = 0;
    // The name the font gives the preset that `channel` plays now; empty when none.
    virtual std::string presetName(int channel) const
    {
        (void)channel;
        return {};
    }
};

// A FluidSynth synthesiser with the sound font at `path` loaded, at kSampleRate; null with
// `error` set when the font cannot be loaded. Loading can take a while: call it off the
// user-interface thread.
std::unique_ptr<Synth> makeFluidSynth(const std::string& fontPath, std::string& error);

struct FluidSynthOptions {
    // Only the presets in use are read into memory; off reads the whole font at once.
    bool dynamicLoading = true;
};
std::unique_ptr<Synth> makeFluidSynth(const std::string& fontPath, const FluidSynthOptions& options,
                                      std::string& error);

// Whether the synthesiser can be loaded at all; when not, `error` says why in one line.
bool soundAvailable(std::string& error);

// The .sf2 and .sf3 files installed under /usr/share/sounds/sf2 and /usr/share/sounds/sf3,
// General MIDI fonts first.
std::vector<std::string> installedSoundFonts();

} // namespace quorlin::audio
