// A tab file from anywhere: what the reader makes of it must be in bounds, and saving that
// and loading it again must give back the same tab, set-up and song header.

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "files/TextEncoding.h"
#include "fuzz/Fakes.h"
#include "fuzz/FuzzInput.h"

#include <sstream>

using namespace quorlin;

namespace {

files::LoadedTab load(const std::string& bytes, instrument::StringCount strings)
{
    std::istringstream in(bytes);
    return files::readTabFile(in, strings, instrument::Tuning());
}

std::string save(const files::LoadedTab& tab)
{
    engine::EditingState state;
    state.tabWidth = tab.state.tabWidth;
    state.tempo = tab.state.tempo;
    state.time = tab.state.time;
    state.stringCount = tab.state.stringCount;
    state.tuning = tab.state.tuning;
    std::ostringstream out;
    files::writeTabFile(out, engine::VectorTabText(tab.lines), state,
                        tab.header.value_or(files::SongHeader()));
    return out.str();
}

engine::EditingState adopted(const files::LoadedTab& tab)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    staff.adoptLoaded(tab.lines, tab.state);
    QUORLIN_REQUIRE(text.lines() == tab.lines);
    fuzz::requireNeckFits(staff);
    return staff.state();
}

void requireInBounds(const files::LoadedTab& tab)
{
    const engine::LoadedState& s = tab.state;
    const int strings = s.stringCount.value();
    QUORLIN_REQUIRE(strings >= instrument::kMinStrings && strings <= instrument::kMaxStrings);
    QUORLIN_REQUIRE(tab.header.has_value() == tab.hasHeader);
    for (int k = 1; k <= strings; ++k)
        QUORLIN_REQUIRE(s.tuning.at(k).size() == 2);
    // Whatever the bytes were, the window gets UTF-8 without line breaks in it, nor any
    // character the text area would take for one.
    const auto text = [](const std::string& t) {
        return files::isValidUtf8(t) && t.find_first_of("\r\n") == std::string::npos &&
               !files::hasLineBreaker(t);
    };
    for (const std::string& line : tab.lines)
        QUORLIN_REQUIRE(!line.empty() && text(line));
    if (tab.header) {
        QUORLIN_REQUIRE(text(tab.header->from) && text(tab.header->artist) &&
                        text(tab.header->bassPerf));
        for (const std::string& comment : tab.header->comments)
            QUORLIN_REQUIRE(text(comment));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const instrument::StringCount before(instrument::kMinStrings + input.pick(3));
    const std::string bytes = input.rest();
    const files::LoadedTab first = load(bytes, before);
    requireInBounds(first);
    // A character replaced is a character reported.
    const std::string_view read = std::string_view(bytes).substr(0, bytes.find('\x1A'));
    if (files::isValidUtf8(read) && files::hasLineBreaker(read))
        QUORLIN_REQUIRE(!first.problems.empty());

    const std::string saved = save(first);
    const files::LoadedTab second = load(saved, before);
    requireInBounds(second);
    QUORLIN_REQUIRE(second.hasHeader && second.problems.empty());
    QUORLIN_REQUIRE(second.lines == first.lines);
    const engine::LoadedState &was = first.state, &now = second.state;
    QUORLIN_REQUIRE(now.tabWidth == was.tabWidth && now.stringCount == was.stringCount);
    QUORLIN_REQUIRE(now.tempo == was.tempo && now.tempo >= engine::kMinTempo &&
                    now.tempo <= engine::kMaxTempo);
    QUORLIN_REQUIRE(now.time == was.time && model::isValid(now.time));
    for (int s = 1; s <= was.stringCount.value(); ++s)
        QUORLIN_REQUIRE(now.tuning.at(s) == was.tuning.at(s));
    // A file without a header gets an empty one; what the header holds comes back as the
    // writer puts it on its lines.
    QUORLIN_REQUIRE(second.header ==
                    files::headerAsSaved(first.header.value_or(files::SongHeader())));
    // From the second save on, the file does not change at all.
    QUORLIN_REQUIRE(save(second) == saved);

    // The window hands what it read to the engine; the neck must take the set-up as it is,
    // and the saved file must put editing at the same place.
    const engine::EditingState a = adopted(first), b = adopted(second);
    QUORLIN_REQUIRE(a.lastString >= 0 && a.lastString <= a.stringCount.value());
    QUORLIN_REQUIRE(first.lines.empty() ? a.blockStart == 0
                                        : a.blockStart < static_cast<int>(first.lines.size()));
    QUORLIN_REQUIRE(b.blockStart == a.blockStart && b.lastString == a.lastString &&
                    b.lastFret == a.lastFret);
    return 0;
}
