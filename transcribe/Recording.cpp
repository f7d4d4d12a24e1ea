#include "transcribe/Recording.h"

#include "audio/SoundModule.h"
#include "storage/RegularFile.h"
#include "transcribe/RecordingDecoder.h"

#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlin::transcribe {

namespace {

class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

RecordingReading failure(std::string why)
{
    RecordingReading reading;
    reading.error = std::move(why);
    return reading;
}

// The storage layer's reasons start a sentence; here they follow the file's name.
std::string cannotRead(std::string why)
{
    if (!why.empty())
        why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return "cannot be read: " + why;
}

} // namespace

RecordingReading readRecording(const std::string& path, const Span& span, const Progress& progress)
{
    // A span no file could give is said before the file is looked at.
    if (std::string problem = spanProblem(span); !problem.empty())
        return failure(problem);
    std::string why;
    const OpenFile file(storage::openRegularFile(path, why));
    if (file.fd() < 0)
        return failure(cannotRead(why));
    struct stat info {};
    if (::fstat(file.fd(), &info) == 0 && info.st_size == 0)
        return failure("is empty");
    const audio::SoundPorts* ports = audio::soundPorts(why);
    if (!ports)
        return failure(cannotRead(why));
    const std::unique_ptr<audio::SoundFileReader> reader = ports->soundFile(file.fd(), why);
    if (!reader)
        return failure(kNotASoundFile);
    return decodeRecording(*reader, span, progress);
}

} // namespace quorlin::transcribe
