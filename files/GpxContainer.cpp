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

// Thrown when the packed bits run out.
struct EndOfBits {};

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
            throw EndOfBits{};
        const auto byte = static_cast<std::uint8_t>(m_bytes[m_bit / 8]);
        const std::uint32_t value = (byte >> (7 - m_bit % 8)) & 1u;
        ++m_bit;
        return value;
    }

    std::string_view m_bytes;
    std::size_t m_bit = 0;
};

struct Image {
    std::string bytes;
    bool cutShort = false; // fewer bytes than the packed file declares
};

// Guitar Pro 6 itself writes packed data that ends a byte before the size it declares: the
// image ends where the bits do, and whoever reads a member checks that it lies inside.
Image inflate(std::string_view packed)
{
    if (packed.size() < 8)
        throw std::string("is too short to be a Guitar Pro 6 file");
    const std::uint32_t expected = le32(packed, 4);
    if (expected > kLargestSongFile)
        throw "claims to unpack to " + std::to_string(expected) + " bytes, more than any song";
    // A chunk of a few bits gives at most a few bytes; what is claimed and what the
    // packed bits could give are both checked before anything grows.
    Image image;
    std::string& out = image.bytes;
    BitReader in(packed.substr(8));
    try {
        while (out.size() < expected) {
            if (in.high(1) == 1) {
                const int width = static_cast<int>(in.high(4));
                const std::uint32_t offset = in.low(width);
                const std::uint32_t size = in.low(width);
                if (offset == 0 || offset > out.size())
                    throw std::string("points back before its start in its packed data");
                const std::size_t from = out.size() - offset;
                const std::size_t count = std::min<std::size_t>(
                    std::min<std::uint32_t>(offset, size), expected - out.size());
                out.append(out, from, count);
            } else {
                const std::uint32_t count = in.low(2);
                for (std::uint32_t i = 0; i < count && out.size() < expected; ++i)
                    out.push_back(static_cast<char>(in.high(8)));
            }
        }
    } catch (const EndOfBits&) {
        image.cutShort = true;
    }
    return image;
}

Image unpack(std::string_view bytes)
{
    Image image;
    if (bytes.substr(0, 4) == "BCFS")
        image.bytes = std::string(bytes);
    else if (bytes.substr(0, 4) == "BCFZ")
        image = inflate(bytes);
    else
        throw std::string("is not a Guitar Pro 6 file");
    if (image.bytes.substr(0, 4) != "BCFS")
        throw std::string(image.cutShort
                              ? "is cut short in its packed data"
                              : "unpacks to something other than a Guitar Pro 6 file system");
    return image;
}

GpxMember findMember(const Image& image, std::string_view name)
{
    const std::string cutShort = "is cut short in its packed data";
    // Sectors count from just past the magic; the first holds no entry. The last may be
    // cut short, so only what a member uses of it must be there.
    const std::string_view data = std::string_view(image.bytes).substr(4);
    const std::size_t sectors = (data.size() + kSector - 1) / kSector;
    GpxMember member;
    for (std::size_t entry = 1; entry < sectors; ++entry) {
        const std::string_view sector = data.substr(entry * kSector, kSector);
        if (sector.size() < kBlocksOffset || le32(sector, 0) != kFileEntry)
            continue;
        std::string_view entryName = sector.substr(kNameOffset, kNameLength);
        entryName = entryName.substr(0, entryName.find('\0'));
        if (entryName != name)
            continue;
        const std::uint32_t size = le32(sector, kSizeOffset);
        if (size > kLargestSongFile || size > data.size())
            return {{},
                    image.cutShort ? cutShort
                                   : "names " + std::string(name) + " of " + std::to_string(size) +
                                         " bytes, more than the file holds"};
        std::vector<bool> used(sectors, false);
        used[entry] = true;
        for (std::size_t at = kBlocksOffset; member.bytes.size() < size; at += 4) {
            if (at + 4 > sector.size())
                return {{},
                        image.cutShort ? cutShort
                                       : "lists too few sectors for " + std::string(name)};
            const std::uint32_t block = le32(sector, at);
            if (block == 0)
                return {{}, "lists too few sectors for " + std::string(name)};
            const std::size_t wanted = std::min<std::size_t>(kSector, size - member.bytes.size());
            if (block >= sectors || block * kSector + wanted > data.size())
                return {{}, image.cutShort ? cutShort : "names a sector past its end"};
            if (used[block])
                return {{}, "names a sector twice (a loop) for " + std::string(name)};
            used[block] = true;
            member.bytes.append(data.substr(block * kSector, wanted));
        }
        return member;
    }
    return {{}, image.cutShort ? cutShort : "holds no " + std::string(name)};
}

} // namespace

GpxMember unpackGpx(std::string_view bytes)
{
    try {
        return {unpack(bytes).bytes, {}};
    } catch (const std::string& why) {
        return {{}, why};
    }
}

GpxMember readGpxMember(std::string_view bytes, std::string_view name)
{
    try {
        return findMember(unpack(bytes), name);
    } catch (const std::string& why) {
        return {{}, why};
    }
}

} // namespace quorlin::files
