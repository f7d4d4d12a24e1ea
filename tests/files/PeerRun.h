#pragma once

// What the files tests share: running a peer program, reading a fixture whole, a folder of
// their own, and text as UTF-16 bytes, as some Windows editors save it.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <unistd.h>

namespace quorlin::files::testing {

// What the command prints on its standard output; empty when it cannot start.
inline std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A folder of the test's own under the system's temporary one, removed with all it holds.
class TempFolder {
public:
    explicit TempFolder(const std::string& name) :
        m_path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// UTF-16 code units as bytes, in either order, with or without the byte-order mark.
inline std::string utf16Bytes(std::u16string_view units, bool bigEndian, bool mark)
{
    std::string out;
    const auto put = [&](char16_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    };
    if (mark)
        put(u'\uFEFF');
    for (const char16_t u : units)
        put(u);
    return out;
}

inline std::string utf16Bytes(std::string_view ascii, bool bigEndian, bool mark)
{
    return utf16Bytes(std::u16string(ascii.begin(), ascii.end()), bigEndian, mark);
}

} // namespace quorlin::files::testing
