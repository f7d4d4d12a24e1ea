// A song header of any bytes, saved with a tab and loaded again: every value must come back
// in its place as the writer put it on its line, and the tab and set-up must not change.

#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "fuzz/FuzzInput.h"

#include <sstream>

using namespace quorlin;

namespace {

std::string save(const std::vector<std::string>& lines, const engine::EditingState& state,
                 const files::SongHeader& header)
{
    std::ostringstream out;
    files::writeTabFile(out, engine::VectorTabText(lines), state, header);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: the string count (4 + byte % 3) and, from bit 2 on, how many comments.
    const std::uint8_t shape = input.byte();
    engine::EditingState state;
    state.stringCount = instrument::StringCount(instrument::kMinStrings + shape % 3);
    files::SongHeader header{input.text(255), input.text(255), input.text(255), {}};
    for (int c = shape >> 2; c > 0 && !input.empty(); --c)
        header.comments.push_back(input.text(255));

    const std::vector<std::string> tab = {"|   q", "G ---", "D --5", "A ---",
                                          "E ---", "B ---", ">"};
    const std::string saved = save(tab, state, header);
    const files::LoadedTab loaded =
        files::readTabFile(saved, instrument::StringCount(), instrument::Tuning());
    QUORLIN_REQUIRE(loaded.hasHeader && loaded.problems.empty());
    QUORLIN_REQUIRE(loaded.header == files::headerAsSaved(header));
    QUORLIN_REQUIRE(loaded.lines == tab);
    QUORLIN_REQUIRE(loaded.state.stringCount == state.stringCount &&
                    loaded.state.tabWidth == state.tabWidth);
    // What was read back is what the file holds: saving it again changes no byte.
    QUORLIN_REQUIRE(save(tab, state, *loaded.header) == saved);
    return 0;
}
