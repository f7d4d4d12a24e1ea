#include "audio/FluidLog.h"
#include "audio/SoundModule.h"

#include <fluidsynth.h>

#include <vector>

namespace quorlin::audio {

namespace {

class DeviceOutput final : public AudioOutput {
public:
    explicit DeviceOutput(DeviceSettings settings) : m_settings(std::move(settings)) {}
    ~DeviceOutput() override { stop(); }
    DeviceOutput(const DeviceOutput&) = delete;
    DeviceOutput& operator=(const DeviceOutput&) = delete;

    bool start(FillFunction fill, std::string& error) override
    {
        if (m_driver) {
            error = "The output is already running";
            return false;
        }
        detail::captureFluidSynthLog();
        detail::takeFluidSynthError();
        m_fill = std::move(fill);
        std::string why;
        // FluidSynth's default first, then ALSA, which is there on every Linux.
        std::vector<std::string> drivers{m_settings.driver};
        if (m_settings.driver.empty())
            drivers.push_back("alsa");
        for (const auto& driver : drivers) {
            if (open(driver))
                return true;
            if (why.empty())
                why = detail::takeFluidSynthError();
        }
        m_fill = nullptr;
        error = "No sound device: " + (why.empty() ? std::string("cannot open one") : why);
        return false;
    }

    void stop() override
    {
        if (m_driver)
            delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
        if (m_fluidSettings)
            delete_fluid_settings(m_fluidSettings);
        m_fluidSettings = nullptr;
        m_fill = nullptr;
    }

    double latencySeconds() const override
    {
        return double(m_settings.periodFrames) * m_settings.periods / kSampleRate;
    }

private:
    bool open(const std::string& driver)
    {
        m_fluidSettings = new_fluid_settings();
        fluid_settings_setnum(m_fluidSettings, "synth.sample-rate", kSampleRate);
        fluid_settings_setint(m_fluidSettings, "audio.period-size", m_settings.periodFrames);
        fluid_settings_setint(m_fluidSettings, "audio.periods", m_settings.periods);
        if (!driver.empty())
            fluid_settings_setstr(m_fluidSettings, "audio.driver", driver.c_str());
        char* chosen = nullptr;
        fluid_settings_dupstr(m_fluidSettings, "audio.driver", &chosen);
        if (chosen && std::string(chosen) == "alsa" && !m_settings.device.empty())
            fluid_settings_setstr(m_fluidSettings, "audio.alsa.device", m_settings.device.c_str());
        fluid_free(chosen);
        m_driver = new_fluid_audio_driver2(m_fluidSettings, &DeviceOutput::callback, this);
        if (m_driver)
            return true;
        delete_fluid_settings(m_fluidSettings);
        m_fluidSettings = nullptr;
        return false;
    }

    static int callback(void* data, int frames, int, float*[], int outputs, float* out[])
    {
        auto* self = static_cast<DeviceOutput*>(data);
        // The buffers come zeroed; a mono driver gets the left side.
        if (outputs >= 2)
            self->m_fill(out[0], out[1], frames);
        return FLUID_OK;
    }

    DeviceSettings m_settings;
    FillFunction m_fill;
    fluid_settings_t* m_fluidSettings = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
};

} // namespace

std::unique_ptr<AudioOutput> module::openDevice(const DeviceSettings& settings)
{
    return std::make_unique<DeviceOutput>(settings);
}

} // namespace quorlin::audio
