#include "audio/FluidLog.h"
#include "audio/SoundModule.h"

#include <fluidsynth.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

namespace quorlin::audio {

namespace {

// Below FluidSynth's own audio thread (60), above a sound server's usual 5.
constexpr int kRealtimePriority = 20;

// The calling thread at a real-time priority where the system allows it, else at the least
// nice value it allows: a niced program's sound must not wait behind every busy process.
void raiseThisThread()
{
    sched_param param{};
    param.sched_priority = std::min(kRealtimePriority, sched_get_priority_max(SCHED_FIFO));
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0) {
        param.sched_priority = std::min<int>(param.sched_priority, int(limit.rlim_cur));
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
            return;
    }
    // RLIMIT_NICE's ceiling is 20 minus its value; nice 0 is as far as sound needs.
    const int tid = int(::gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, id_t(tid));
    if (errno != 0 || current <= 0)
        return;
    int least = current;
    if (getrlimit(RLIMIT_NICE, &limit) == 0)
        least =
            limit.rlim_cur == RLIM_INFINITY ? -20 : 20 - int(std::min<rlim_t>(limit.rlim_cur, 40));
    const int wanted = std::max(least, 0);
    if (wanted < current)
        setpriority(PRIO_PROCESS, id_t(tid), wanted);
}

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
            if (openRaised(driver, why))
                return true;
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
    // The threads that carry the sound, FluidSynth's and the one a driver's library starts
    // (ALSA's PulseAudio plug-in talks to the server from a thread of its own), take their
    // priority from the thread that opens the device: it is opened from a raised one, so
    // the whole path keeps its pace however the program was started. FluidSynth raises only
    // its own thread, and a starved plug-in thread left two-second holes in the sound.
    bool openRaised(const std::string& driver, std::string& why)
    {
        bool opened = false;
        std::thread opener([&] {
            detail::captureFluidSynthLog();
            raiseThisThread();
            opened = open(driver);
            // The reasons are kept per thread.
            std::string reason = detail::takeFluidSynthError();
            if (!opened && why.empty())
                why = std::move(reason);
        });
        opener.join();
        return opened;
    }

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
