// A Guitar Pro 6 container from anywhere: unpacking "BCFZ" and finding a member in "BCFS"
// never crashes, hangs, reads out of bounds or spends more than the packing ratio allows, and
// gives no more than the limit or the sectors there are.

#include "files/GpxContainer.h"
#include "files/Song.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/WorkBudget.h"

#include <string>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: 0 the rest is the file; 1 the rest follows "BCFZ", 2 "BCFS", so that
    // mutations are spent past the magic.
    static const char* const kMagic[] = {"", "BCFZ", "BCFS"};
    const std::string bytes = kMagic[input.pick(3)] + std::string(input.rest());
    files::GpxMember image, score;
    {
        // A packed chunk of 35 bits may copy 32,767 bytes: that ratio, twice unpacked, with
        // the growth of the image and the member copied out, is what a byte may cost.
        const fuzz::WorkBudget budget(bytes.size(), 1 << 20, 6 * 7500, 0.1, 1e-5);
        image = files::unpackGpx(bytes);
        score = files::readGpxMember(bytes, "score.gpif");
    }
    QUORLIN_REQUIRE(image.ok() ? image.bytes.starts_with("BCFS") : image.bytes.empty());
    QUORLIN_REQUIRE(image.bytes.size() <= files::kLargestSongFile);
    QUORLIN_REQUIRE(score.ok() || score.bytes.empty());
    // A member lies in sectors of the image past the first, beside its entry, which may be the
    // last sector and cut short past its list of sectors.
    QUORLIN_REQUIRE(score.bytes.size() + 4 + 0x1000 + 0x98 <= image.bytes.size() || !score.ok());
    return 0;
}
