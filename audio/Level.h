#pragma once

// The WAV export's level: the performance is played once to find its loudest sample, then
// written with the gain that brings that sample to the same mark for every tab, whatever
// the font's own loudness.

#include "audio/Synth.h"
#include "score/Performance.h"

#include <functional>
#include <optional>
#include <string>

namespace quorlin::audio {

// Where the loudest sample of an exported WAV file lands, in dB below full scale: loud, with
// room left for the rounding to 16 bits.
inline constexpr double kExportPeakDb = -2.0;

// The loudest sample, as a fraction of full scale, of what renderWav writes for `performance`:
// its start to its end and the ring of its last notes. `progress` as renderWav's; nothing when
// it cancelled.
std::optional<float> peakOf(const score::Performance& performance, Synth& synth,
                            const std::function<bool(double fraction)>& progress = {});

// Another synthesiser's sound, scaled.
class GainedSynth final : public Synth {
public:
    GainedSynth(Synth& synth, float gain) : m_synth(synth), m_gain(gain) {}
    void send(const score::Event& event) override { m_synth.send(event); }
    void allNotesOff() override { m_synth.allNotesOff(); }
    void allSoundsOff() override { m_synth.allSoundsOff(); }
    void render(float* left, float* right, int frames) override;
    std::string presetName(int channel) const override { return m_synth.presetName(channel); }

private:
    Synth& m_synth;
    float m_gain;
};

// renderWav at the export's level: the first half of `progress` is the measuring.
bool renderWavAtLevel(const score::Performance& performance, Synth& synth, const std::string& path,
                      const std::function<bool(double fraction)>& progress, std::string& error);

} // namespace quorlin::audio
