#pragma once

// A sound file read in blocks, as libsndfile decodes it inside the sound module. Only this
// interface leaves the module; the fuzz build compiles the decoder into its target instead.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quorlin::audio {

class SoundFileReader {
public:
    virtual ~SoundFileReader() = default;
    virtual int channels() const = 0;
    virtual int rate() const = 0;
    // What the file's header claims; for checks and progress only, never for allocation.
    virtual std::int64_t claimedFrames() const = 0;
    // Moves to `frame`; false when the format cannot seek there.
    virtual bool seek(std::int64_t frame) = 0;
    // Up to `count` frames, channels interleaved, into `out`; 0 at the end, -1 with `error`
    // set when the decoder gave up.
    virtual std::int64_t read(float* out, std::int64_t count, std::string& error) = 0;
};

namespace module {
// The file stays open for the caller: the reader reads it with pread and never closes it.
std::unique_ptr<SoundFileReader> openSoundFile(int fd, std::string& error);
// Bytes that must outlive the reader.
std::unique_ptr<SoundFileReader> openSoundBytes(const unsigned char* data, std::size_t size,
                                                std::string& error);
} // namespace module

} // namespace quorlin::audio
