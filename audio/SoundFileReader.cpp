#include "audio/SoundFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::audio {

namespace {

// The bytes libsndfile reads, from a descriptor or from memory. Both go through the same
// virtual calls, so the fuzz target decodes exactly as the module does. Reads use pread, so
// the caller's file offset is never moved.
struct ByteSource {
    int fd = -1;
    const unsigned char* data = nullptr;
    sf_count_t size = 0;
    sf_count_t position = 0;
};

sf_count_t sourceLength(void* user)
{
    return static_cast<ByteSource*>(user)->size;
}

sf_count_t sourceSeek(sf_count_t offset, int whence, void* user)
{
    auto* source = static_cast<ByteSource*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = source->position;
    else if (whence == SEEK_END)
        base = source->size;
    else if (whence != SEEK_SET)
        return -1;
    // Headers hand over any offset they like.
    if ((offset > 0 && base > std::numeric_limits<sf_count_t>::max() - offset) || base + offset < 0)
        return -1;
    source->position = base + offset;
    return source->position;
}

sf_count_t sourceRead(void* ptr, sf_count_t count, void* user)
{
    auto* source = static_cast<ByteSource*>(user);
    if (count <= 0 || source->position >= source->size)
        return 0;
    const sf_count_t wanted = std::min(count, source->size - source->position);
    auto* out = static_cast<unsigned char*>(ptr);
    sf_count_t done = 0;
    if (source->data) {
        std::memcpy(out, source->data + source->position, static_cast<std::size_t>(wanted));
        done = wanted;
    } else {
        while (done < wanted) {
            const ssize_t got =
                ::pread(source->fd, out + done, static_cast<std::size_t>(wanted - done),
                        static_cast<off_t>(source->position + done));
            if (got > 0)
                done += got;
            else if (got == 0 || errno != EINTR)
                break;
        }
    }
    source->position += done;
    return done;
}

sf_count_t sourceWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t sourceTell(void* user)
{
    return static_cast<ByteSource*>(user)->position;
}

// The containers recordings come in: WAV (and RF64, BW64, W64), AIFF, AU, CAF, FLAC, Ogg and
// MP3. libsndfile knows twenty more that nobody records to today; a file of bytes from
// anywhere reaches none of their parsers.
bool carriesRecording(ByteSource& source)
{
    unsigned char head[4] = {};
    const sf_count_t got = sourceRead(head, 4, &source);
    source.position = 0;
    if (got < 4)
        return false;
    const std::string_view tag(reinterpret_cast<const char*>(head), 4);
    for (const char* known :
         {"RIFF", "RIFX", "RF64", "BW64", "riff", "FORM", ".snd", "dns.", "caff", "fLaC", "OggS"})
        if (tag == known)
            return true;
    // An ID3 tag, or an MPEG audio frame's sync.
    return tag.substr(0, 3) == "ID3" || (head[0] == 0xff && (head[1] & 0xe0) == 0xe0);
}

// libsndfile decodes MP3 through libmpg123, which prints its notes on a damaged stream ("a
// one-frame stream? Duh...") straight to stderr, and libsndfile gives no way to quiet it. The
// command line promises one line of its own, and libsndfile's own error already says what
// failed: while it works, stderr goes nowhere (another thread's line in that moment too). One
// reader at a time, since two threads would each put back what the other had put there.
class QuietStderr {
public:
    explicit QuietStderr(bool quiet)
    {
        if (!quiet)
            return;
        m_lock = std::unique_lock(mutex());
        static const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::fflush(stderr);
        m_saved = nowhere < 0 ? -1 : ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (m_saved >= 0 && ::dup2(nowhere, STDERR_FILENO) < 0) {
            ::close(m_saved);
            m_saved = -1;
        }
    }
    ~QuietStderr()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    static std::mutex& mutex()
    {
        static std::mutex one;
        return one;
    }
    std::unique_lock<std::mutex> m_lock;
    int m_saved = -1;
};

class LibsndfileReader final : public SoundFileReader {
public:
    // `quiet` for the program; the fuzz target keeps stderr for what its sanitizers say.
    LibsndfileReader(const ByteSource& source, bool quiet) : m_source(source), m_quiet(quiet) {}
    ~LibsndfileReader() override
    {
        const QuietStderr quiet(m_quiet);
        if (m_file)
            sf_close(m_file);
    }
    LibsndfileReader(const LibsndfileReader&) = delete;
    LibsndfileReader& operator=(const LibsndfileReader&) = delete;

    bool open(std::string& error)
    {
        static SF_VIRTUAL_IO io{&sourceLength, &sourceSeek, &sourceRead, &sourceWrite, &sourceTell};
        const QuietStderr quiet(m_quiet);
        m_file = sf_open_virtual(&io, SFM_READ, &m_info, &m_source);
        if (!m_file) {
            error = sf_strerror(nullptr);
            return false;
        }
        // A float file past full scale is read as it is; the caller tames it.
        sf_command(m_file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        return true;
    }

    int channels() const override { return m_info.channels; }
    int rate() const override { return m_info.samplerate; }
    std::int64_t claimedFrames() const override { return m_info.frames; }

    bool seek(std::int64_t frame) override
    {
        const QuietStderr quiet(m_quiet);
        return m_info.seekable && sf_seek(m_file, frame, SEEK_SET) == frame;
    }

    std::int64_t read(float* out, std::int64_t count, std::string& error) override
    {
        const QuietStderr quiet(m_quiet);
        const sf_count_t got = sf_readf_float(m_file, out, count);
        if (got > 0)
            return got;
        if (sf_error(m_file) != SF_ERR_NO_ERROR) {
            error = sf_strerror(m_file);
            return -1;
        }
        return 0;
    }

private:
    ByteSource m_source;
    bool m_quiet;
    SF_INFO m_info{};
    SNDFILE* m_file = nullptr;
};

std::unique_ptr<SoundFileReader> openSource(ByteSource source, bool quiet, std::string& error)
{
    if (!carriesRecording(source)) {
        error = "not a recording's container";
        return nullptr;
    }
    auto reader = std::make_unique<LibsndfileReader>(source, quiet);
    if (!reader->open(error))
        return nullptr;
    return reader;
}

} // namespace

std::unique_ptr<SoundFileReader> module::openSoundFile(int fd, std::string& error)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    ByteSource source;
    source.fd = fd;
    source.size = info.st_size;
    return openSource(source, true, error);
}

std::unique_ptr<SoundFileReader> module::openSoundBytes(const unsigned char* data, std::size_t size,
                                                        std::string& error)
{
    ByteSource source;
    source.data = data;
    source.size = static_cast<sf_count_t>(size);
    return openSource(source, false, error);
}

} // namespace quorlin::audio
