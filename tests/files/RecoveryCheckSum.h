#pragma once

// The check sum that ends a recovery copy, worked out bit by bit apart from the writer's table:
// the tests forge copies with it, and the fuzz target gets its input past it to the fields.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quorlin::files::testing {

inline std::string crc32Hex(std::string_view bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char b : bytes) {
        c ^= static_cast<unsigned char>(b);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    char sum[9];
    std::snprintf(sum, sizeof sum, "%08x", c ^ 0xFFFFFFFFu);
    return sum;
}

} // namespace quorlin::files::testing
