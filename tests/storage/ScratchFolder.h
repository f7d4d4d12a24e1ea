#pragma once

// A folder of its own for one test, gone afterwards; on request a file system of 64 KB of its
// own, which a test can fill or make read-only.

#include <cstdlib>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace quorlin::tests {

class ScratchFolder {
public:
    ScratchFolder()
    {
        char name[] = "/tmp/quorlin-test-XXXXXX";
        m_path = ::mkdtemp(name);
    }
    ~ScratchFolder()
    {
        ::umount2(m_path.c_str(), MNT_DETACH);
        std::system(("rm -rf '" + m_path + "'").c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // False when this user may not mount one.
    bool mountSmall() { return ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=64k") == 0; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace quorlin::tests
