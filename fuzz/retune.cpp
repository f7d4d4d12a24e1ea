// Any lines retuned from any set-up to any other: the rewritten tab must read as the same music
// (tests/score/RetuneCheck.h), and retuning it again to its own set-up must change nothing.

#include "score/Retune.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NoteCycle.h"
#include "tests/score/RetuneCheck.h"

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace quorlin;

namespace {

// 0..11 the names of the cycle from A; past them a name that is no note.
std::string nameAt(int index)
{
    return index < 12 ? std::string(instrument::kNoteCycle.substr(2 * index, 2)) : "x ";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    score::Setup from, to;
    from.strings = instrument::StringCount(instrument::kMinStrings + input.pick(3));
    to.strings = instrument::StringCount(instrument::kMinStrings + input.pick(3));
    // The old names may be anything a store held; the new ones are what the dialog lets through.
    for (int s = 1; s <= instrument::kMaxStrings; ++s)
        from.tuning.set(s, nameAt(input.pick(13)));
    for (int s = 1; s <= instrument::kMaxStrings; ++s)
        to.tuning.set(s, nameAt(input.pick(12)));

    std::vector<std::string> text;
    std::istringstream in(input.rest());
    for (std::string line; std::getline(in, line);)
        text.push_back(line);
    const std::vector<std::string_view> lines(text.begin(), text.end());

    const score::Retuned r = score::retune(lines, from, to);
    const std::string broke = score::testing::retuneBroke(lines, from, to, r);
    if (!broke.empty())
        std::fprintf(stderr, "%s\n", broke.c_str());
    QUORLIN_REQUIRE(broke.empty());

    // Lines cut short from a larger block can read as a block of fewer strings; those are the
    // user's own text, left as they were, and no retune of ours.
    const std::vector<std::string_view> now(r.lines.begin(), r.lines.end());
    const auto blocks = [](std::span<const std::string_view> l, const score::Setup& s) {
        return score::readScore(l, s.strings, s.tuning, score::kDefaultTempo).blocks.size();
    };
    if (blocks(now, to) == blocks(lines, from))
        QUORLIN_REQUIRE(score::retune(now, to, to).lines == r.lines);
    return 0;
}
