#pragma once

// Running a peer program and reading a fixture whole, for the tests that compare with one.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

} // namespace quorlin::files::testing
