#include "audio/SoundModule.h"

#include <sndfile.h>

namespace quorlin::audio {

namespace {

class WavFile final : public WavWriter {
public:
    explicit WavFile(SNDFILE* file) : m_file(file) {}
    ~WavFile() override
    {
        if (m_file)
            sf_close(m_file);
    }
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    bool write(const float* frames, int count, std::string& error) override
    {
        if (sf_writef_float(m_file, frames, count) == count)
            return true;
        error = sf_strerror(m_file);
        return false;
    }

    bool finish(std::string& error) override
    {
        const int closed = sf_close(m_file);
        m_file = nullptr;
        if (closed == 0)
            return true;
        error = sf_error_number(closed);
        return false;
    }

private:
    SNDFILE* m_file;
};

} // namespace

std::unique_ptr<WavWriter> module::openWavFile(int fd, std::string& error)
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file) {
        error = sf_strerror(nullptr);
        return nullptr;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return std::make_unique<WavFile>(file);
}

} // namespace quorlin::audio

extern "C" __attribute__((visibility("default"))) const quorlin::audio::SoundPorts*
quorlin_sound_ports()
{
    using namespace quorlin::audio;
    static const SoundPorts ports{&module::openFluidSynth, &module::openDevice,
                                  &module::openWavFile, &module::openSoundFile};
    return &ports;
}
