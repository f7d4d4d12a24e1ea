#include "files/GpxContainer.h"

#include "files/Song.h"

#include <cstdint>
#include <vector>

namespace quorlin::files {

namespace {

constexpr std::size_t kSector = 0x1000;
constexpr std::size_t kNameOffset = 0x04;
constexpr std::size_t kNameLength = 127;
constexpr std::size_t kSizeOffset = 0x8C;
constexpr std::size_t kBlocksOffset = 0x94;
constexpr std::uint32_t kFileEntry = 2;

std::uint32_t le32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// Bits are taken from each byte's highest first.
class BitReader {
public:
    explicit BitReader(std::string_view bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_bit >= m_bytes.size() * 8; }

    // A value written highest bit first.
    std::uint32_t high(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 1) | bit();
        return value;
    }

    // A value written lowest bit first.
    std::uint32_t low(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value |= bit() << i;
        return value;
    }

private:
    std::uint32_t bit()
    {
        if (atEnd())
            throw std::string("is cut short in its packed data");
        const auto byte = static_cast<std::uint8_t>(m_bytes[m_bit / 8]);
        const std::uint32_t value = (byte >> (7 - m_bit % 8)) & 1u;
        ++m_bit;
        return value;
    }

    std::string_view m_bytes;
    std::size_t m_bit = 0;
};

std::string inflate(std::string_view packed)
{
    if (packed.size() < 8)
        throw std::string("is too short to be a Guitar Pro 6 file");
    const std::uint32_t expected = le32(packed, 4);
    if (expected > kLargestSongFile)
        throw "claims to unpack to " + std::to_string(expected) + " bytes, more than any song";
    // A chunk of a few bits gives at most a few bytes; what is claimed and what the
    // packed bits could give are both checked before anything grows.
    std::string out;
    BitReader in(packed.substr(8));
    while (out.size() < expected) {
        if (in.high(1) == 1) {
            const int width = static_cast<int>(in.high(4));
            const std::uint32_t offset = in.low(width);
            const std::uint32_t size = in.low(width);
            if (offset == 0 || offset > out.size())
                throw std::string("points back before its start in its packed data");
            const std::size_t from = out.size() - offset;
            const std::size_t count =
                std::min<std::size_t>(std::min<std::uint32_t>(offset, size), expected - out.size());
            out.append(out, from, count);
        } else {
            const std::uint32_t count = in.low(2);
            for (std::uint32_t i = 0; i < count && out.size() < expected; ++i)
                out.push_back(static_cast<char>(in.high(8)));
        }
    }
    return out;
}

} // namespace

GpxMember unpackGpx(std::string_view bytes)
{
    GpxMember member;
    try {
        if (bytes.substr(0, 4) == "BCFS")
            member.bytes = std::string(bytes);
        else if (bytes.substr(0, 4) == "BCFZ")
            member.bytes = inflate(bytes);
        else
            member.error = "is not a Guitar Pro 6 file";
        if (member.ok() && member.bytes.substr(0, 4) != "BCFS")
            member.error = "unpacks to something other than a Guitar Pro 6 file system";
    } catch (const std::string& why) {
        member.error = why;
    }
    if (!member.ok())
        member.bytes.clear();
    return member;
}

GpxMember readGpxMember(std::string_view bytes, std::string_view name)
{
    GpxMember image = unpackGpx(bytes);
    if (!image.ok())
        return image;
    // Sectors count from just past the magic; the first holds no entry.
    const std::string_view data = std::string_view(image.bytes).substr(4);
    const std::size_t sectors = data.size() / kSector;
    GpxMember member;
    for (std::size_t entry = 1; entry < sectors; ++entry) {
        const std::string_view sector = data.substr(entry * kSector, kSector);
        if (le32(sector, 0) != kFileEntry)
            continue;
        std::string_view entryName = sector.substr(kNameOffset, kNameLength);
        entryName = entryName.substr(0, entryName.find('\0'));
        if (entryName != name)
            continue;
        const std::uint32_t size = le32(sector, kSizeOffset);
        if (size > kLargestSongFile || size > data.size())
            return {{},
                    "names " + std::string(name) + " of " + std::to_string(size) +
                        " bytes, more than the file holds"};
        std::vector<bool> used(sectors, false);
        used[entry] = true;
        for (std::size_t at = kBlocksOffset; member.bytes.size() < size; at += 4) {
            if (at + 4 > kSector)
                return {{}, "lists too few sectors for " + std::string(name)};
            const std::uint32_t block = le32(sector, at);
            if (block == 0)
                return {{}, "lists too few sectors for " + std::string(name)};
            if (block >= sectors)
                return {{}, "names a sector past its end"};
            if (used[block])
                return {{}, "names a sector twice (a loop) for " + std::string(name)};
            used[block] = true;
            member.bytes.append(data.substr(block * kSector, kSector));
        }
        member.bytes.resize(size);
        return member;
    }
    return {{}, "holds no " + std::string(name)};
}

} // namespace quorlin::files
