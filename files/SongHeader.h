#pragma once

#include <string>
#include <vector>

namespace quorlin::files {

// Who wrote the tab, for whom, and the comment lines, as the tab file carries them.
struct SongHeader {
    std::string from;
    std::string artist;
    std::string bassPerf;
    std::vector<std::string> comments;

    bool operator==(const SongHeader&) const = default;
};

} // namespace quorlin::files
