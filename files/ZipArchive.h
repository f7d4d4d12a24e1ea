#pragma once

// One member of a zip archive held in memory, unpacked through libzip with a ceiling on what
// it may expand to: the ceiling is checked against the size the archive declares before
// inflating and again against what inflating really gives, so that a member lying about its
// size cannot exhaust memory either. No Qt.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct zip; // libzip's archive

namespace quorlin::files {

struct ZipMember {
    std::string bytes;
    std::string error; // in words for after the archive's name; empty when read

    bool ok() const { return error.empty(); }
};

// Whether the bytes begin as a zip archive does.
bool looksLikeZip(std::string_view bytes);

class ZipArchive {
public:
    // Check opened() before anything else; error() says why not.
    explicit ZipArchive(std::string_view bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool opened() const { return m_zip != nullptr; }
    const std::string& error() const { return m_error; }

    // Member names in the archive's order.
    std::vector<std::string> names() const;
    bool has(const std::string& name) const;
    // Refuses a member larger than `largest` bytes unpacked, or encrypted, or damaged.
    ZipMember read(const std::string& name, std::size_t largest) const;

private:
    ::zip* m_zip = nullptr;
    std::string m_error;
};

} // namespace quorlin::files
