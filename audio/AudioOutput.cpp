#include "audio/AudioOutput.h"

#include "audio/Synth.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace quorlin::audio {

bool ClockOutput::start(FillFunction fill, std::string& error)
{
    if (m_running.exchange(true)) {
        error = "The output is already running";
        return false;
    }
    m_thread = std::thread([this, fill = std::move(fill)] {
        std::vector<float> left(static_cast<std::size_t>(m_periodFrames));
        std::vector<float> right(left.size());
        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(double(m_periodFrames) / kSampleRate));
        auto due = std::chrono::steady_clock::now();
        while (m_running.load(std::memory_order_acquire)) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            fill(left.data(), right.data(), m_periodFrames);
            due += period;
            std::this_thread::sleep_until(due);
        }
    });
    return true;
}

void ClockOutput::stop()
{
    m_running.store(false, std::memory_order_release);
    if (m_thread.joinable())
        m_thread.join();
}

double ClockOutput::latencySeconds() const
{
    return double(m_periodFrames) / kSampleRate;
}

} // namespace quorlin::audio
