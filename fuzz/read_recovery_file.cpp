// A recovery copy from anywhere: reading never crashes, a copy that reads writes back to the
// same bytes, and any valid window content written and read comes back exactly.

#include "files/RecoveryFile.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NeckLabels.h"
#include "tests/files/RecoveryCheckSum.h"

#include <algorithm>

using namespace quorlin;

namespace {

// A random valid content, each field in its range; bytes from the input, any at all.
files::Recovered built(fuzz::FuzzInput& in)
{
    files::Recovered r;
    for (int n = in.pick(12); n > 0 && !in.empty(); --n)
        r.lines.push_back(in.text(40));
    engine::EditingState& s = r.snapshot.state;
    s.stringCount = instrument::StringCount(instrument::kMinStrings + in.pick(3));
    for (int k = 1; k <= instrument::kMaxStrings; ++k)
        s.tuning.set(k, {static_cast<char>(in.byte()), static_cast<char>(in.byte())});
    s.tempo = engine::kMinTempo + in.int32() % (engine::kMaxTempo - engine::kMinTempo + 1);
    if (s.tempo < engine::kMinTempo)
        s.tempo += engine::kMaxTempo - engine::kMinTempo + 1;
    s.tabWidth = std::min(in.int32(), engine::kMaxTabWidth);
    s.blockStart = r.lines.empty() ? 0 : in.pick(static_cast<int>(r.lines.size()));
    s.lastString = in.pick(s.stringCount.value() + 1);
    s.lastFret = in.int32() & 0x7FFFFFFF;
    s.markCol = in.pick(instrument::kNeckColumns);
    s.markRow = in.pick(instrument::kMaxStrings + 1);
    s.setupUnlocked = in.flag();
    s.chordAvailable = in.flag();
    r.snapshot.needsBlock = in.flag();
    r.snapshot.strippedBlanks = in.flag();
    r.header.from = in.text(20);
    r.header.artist = in.text(20);
    r.header.bassPerf = in.text(20);
    for (int n = in.pick(4); n > 0 && !in.empty(); --n)
        r.header.comments.push_back(in.text(20));
    r.sourcePath = in.text(30);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: 0 the rest is a copy as it is; 1 the rest is a copy whose check sum gets
    // put right, so the fields behind it are fuzzed too; 2 the rest builds a content.
    const int mode = input.pick(3);
    std::string problem;
    if (mode == 2) {
        const files::Recovered written = built(input);
        const std::string text = files::recoveryFileText(written);
        const std::optional<files::Recovered> read = files::readRecoveryFile(text, problem);
        QUORLIN_REQUIRE(read.has_value() && problem.empty());
        QUORLIN_REQUIRE(*read == written);
        return 0;
    }

    std::string bytes = input.rest();
    if (mode == 1) {
        bytes += "end " + files::testing::crc32Hex(bytes) + "\n";
    }
    const std::optional<files::Recovered> read = files::readRecoveryFile(bytes, problem);
    QUORLIN_REQUIRE(read.has_value() == problem.empty());
    if (read)
        QUORLIN_REQUIRE(files::recoveryFileText(*read) == bytes);
    return 0;
}
