// A Guitar Pro 6 container from anywhere: unpacking "BCFZ" and finding a member in "BCFS"
// never crashes, hangs or reads out of bounds, and gives no more than the limit or the
// sectors there are.

#include "files/GpxContainer.h"
#include "files/Song.h"
#include "fuzz/FuzzInput.h"

#include <string>

using namespace quorlin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: 0 the rest is the file; 1 the rest follows "BCFZ", 2 "BCFS", so that
    // mutations are spent past the magic.
    static const char* const kMagic[] = {"", "BCFZ", "BCFS"};
    const std::string bytes = kMagic[input.pick(3)] + std::string(input.rest());
    const files::GpxMember image = files::unpackGpx(bytes);
    QUORLIN_REQUIRE(image.ok() ? image.bytes.starts_with("BCFS") : image.bytes.empty());
    QUORLIN_REQUIRE(image.bytes.size() <= files::kLargestSongFile);
    const files::GpxMember score = files::readGpxMember(bytes, "score.gpif");
    QUORLIN_REQUIRE(score.ok() || score.bytes.empty());
    // A member is made of whole sectors of the image, past its entry sector.
    QUORLIN_REQUIRE(score.bytes.size() + 2 * 0x1000 <= image.bytes.size() || !score.ok());
    return 0;
}
