#include "audio/FluidLog.h"
#include "audio/SoundModule.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

namespace quorlin::audio {

namespace {

namespace fs = std::filesystem;

// The presets a tab can ask for, kept in memory once loaded, so that a program change on the
// audio thread never waits for the disk.
struct PinnedPreset {
    int bank;
    int program;
};
constexpr PinnedPreset kPinned[] = {
    {0, score::kFingerProgram}, {0, score::kSlapProgram}, {0, score::kPopProgram}, {128, 0}};

class FluidSynthImpl final : public Synth {
public:
    FluidSynthImpl(fluid_settings_t* settings, fluid_synth_t* synth) :
        m_settings(settings), m_synth(synth)
    {
    }
    ~FluidSynthImpl() override
    {
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
    }
    FluidSynthImpl(const FluidSynthImpl&) = delete;
    FluidSynthImpl& operator=(const FluidSynthImpl&) = delete;

    void send(const score::Event& event) override
    {
        const int channel = event.channel;
        switch (event.kind) {
        case score::EventKind::NoteOn:
            fluid_synth_noteon(m_synth, channel, event.number, event.value);
            break;
        case score::EventKind::NoteOff:
            fluid_synth_noteoff(m_synth, channel, event.number);
            break;
        case score::EventKind::Program:
            fluid_synth_program_change(m_synth, channel, event.number);
            break;
        case score::EventKind::Controller:
            fluid_synth_cc(m_synth, channel, event.number, event.value);
            break;
        case score::EventKind::PitchBend:
            fluid_synth_pitch_bend(m_synth, channel, std::clamp(event.bend + 8192, 0, 16383));
            break;
        }
    }

    void allNotesOff() override { fluid_synth_all_notes_off(m_synth, -1); }
    void allSoundsOff() override { fluid_synth_all_sounds_off(m_synth, -1); }

    void render(float* left, float* right, int frames) override
    {
        fluid_synth_write_float(m_synth, frames, left, 0, 1, right, 0, 1);
    }

    std::string presetName(int channel) const override
    {
        fluid_preset_t* preset = fluid_synth_get_channel_preset(m_synth, channel);
        const char* name = preset ? fluid_preset_get_name(preset) : nullptr;
        return name ? name : "";
    }

private:
    fluid_settings_t* m_settings;
    fluid_synth_t* m_synth;
};

// The first reason is the one that says what went wrong, and what follows is its echo;
// FluidSynth's own words say it better than the libraries under it.
thread_local std::string t_fluidError;
thread_local std::string t_libraryError;

void keep(std::string& kept, const char* message)
{
    if (message && *message && kept.empty())
        kept = message;
}

void keepError(int, const char* message, void*)
{
    keep(t_fluidError, message);
}

// The libraries under FluidSynth (GLib, libinstpatch, ALSA) would print to stderr, even blank
// lines; the command line promises one line, and the window has a status bar.
void keepGlibMessage(const gchar*, GLogLevelFlags level, const gchar* message, gpointer)
{
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
        keep(t_libraryError, message);
}

void keepAlsaError(const char*, int, const char*, int, const char* format, ...)
{
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    keep(t_libraryError, message);
}

} // namespace

namespace detail {

void captureFluidSynthLog()
{
    static const bool done = [] {
        fluid_set_log_function(FLUID_PANIC, keepError, nullptr);
        fluid_set_log_function(FLUID_ERR, keepError, nullptr);
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
        // Not the structured writer: GLib aborts when it is set twice in a process, and the
        // libraries here log the classic way.
        g_log_set_default_handler(keepGlibMessage, nullptr);
        snd_lib_error_set_handler(keepAlsaError);
        return true;
    }();
    (void)done;
}

std::string takeFluidSynthError()
{
    std::string library = std::exchange(t_libraryError, {});
    std::string fluid = std::exchange(t_fluidError, {});
    return fluid.empty() ? library : fluid;
}

} // namespace detail

std::unique_ptr<Synth> module::openFluidSynth(const std::string& fontPath,
                                              const FluidSynthOptions& options, std::string& error)
{
    detail::captureFluidSynthLog();
    detail::takeFluidSynthError();
    std::error_code ec;
    if (!fs::is_regular_file(fontPath, ec)) {
        error = fs::exists(fontPath, ec) ? "Not a sound font: " + fontPath
                                         : "No such sound font: " + fontPath;
        return nullptr;
    }
    if (!fluid_is_soundfont(fontPath.c_str())) {
        error = "Not a sound font: " + fontPath;
        return nullptr;
    }

    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setint(settings, "synth.audio-channels", 1);
    // Only the presets in use are read from the font: a General MIDI font is mostly pianos
    // and strings a bass tab never plays.
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", options.dynamicLoading);
    // One thread drives the synthesiser at a time, so FluidSynth's own lock is dead weight.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setnum(settings, "synth.gain", 0.5);
    // A bass wants a small room and no chorus, which only muddies the low end.
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setnum(settings, "synth.reverb.room-size", 0.2);
    fluid_settings_setnum(settings, "synth.reverb.damp", 0.4);
    fluid_settings_setnum(settings, "synth.reverb.level", 0.3);

    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth) {
        delete_fluid_settings(settings);
        error = "Cannot start the synthesiser";
        return nullptr;
    }
    auto result = std::make_unique<FluidSynthImpl>(settings, synth);
    // The caller names the font; the reason is what FluidSynth said.
    const int font = fluid_synth_sfload(synth, fontPath.c_str(), 1);
    if (font == FLUID_FAILED) {
        error = detail::takeFluidSynthError();
        if (error.empty())
            error = "FluidSynth cannot read it";
        return nullptr;
    }
    // A sample that cannot be read is only reported, and then plays silence: a silent WAV
    // file would pass for a good one.
    // A preset the font lacks is no fault of the font's: the channel falls back as it can.
    for (const auto& preset : kPinned) {
        const bool pinned =
            fluid_synth_pin_preset(synth, font, preset.bank, preset.program) == FLUID_OK;
        std::string why = detail::takeFluidSynthError();
        if (pinned && !why.empty()) {
            error = std::move(why);
            return nullptr;
        }
    }
    // Loading left a piano on every channel; the bass presets take their places so that the
    // piano's samples leave memory again.
    for (int channel = 0; channel < fluid_synth_count_midi_channels(synth); ++channel) {
        if (channel == score::kClickChannel)
            continue;
        int program = score::kFingerProgram;
        if (channel == score::kSlapChannel)
            program = score::kSlapProgram;
        else if (channel == score::kPopChannel)
            program = score::kPopProgram;
        fluid_synth_program_change(synth, channel, program);
    }
    return result;
}

} // namespace quorlin::audio
