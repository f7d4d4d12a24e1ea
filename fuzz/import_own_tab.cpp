// Tabs this program wrote, brought back through the import the way users bring them: copied
// from the window, with their trailing blanks stripped, saved as a file, or saved again as
// UTF-16. Whatever the engine wrote must come back as the same music: every column's notes,
// techniques, duration, rest and triplet, at the same time, with nothing listed as a problem.

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TabFile.h"
#include "files/WebTabImport.h"
#include "fuzz/Fakes.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TypedTabs.h"
#include "score/Score.h"

#include <algorithm>
#include <tuple>

using namespace quorlin;

namespace {

using Music = std::vector<
    std::tuple<std::int64_t, std::int64_t, char, bool, bool, bool, std::vector<score::Note>>>;

Music music(const std::vector<std::string>& lines, instrument::StringCount strings,
            const instrument::Tuning& tuning)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    const score::Score read = score::readScore(views, strings, tuning, score::kDefaultTempo);
    QUORLIN_REQUIRE(read.skipped.empty());
    Music out;
    for (const score::Column& c : read.columns)
        out.emplace_back(c.start, c.length, c.symbol, c.dotted, c.triplet, c.rest, c.notes);
    return out;
}

std::string travelled(const std::vector<std::string>& lines, const engine::EditingState& state,
                      int how)
{
    std::string text;
    switch (how) {
    case 0: // copied from the text area
    case 1: // and again with Windows line ends, the blanks at the ends stripped
        for (const std::string& line : lines) {
            text += how == 0 ? line : line.substr(0, line.find_last_not_of(' ') + 1);
            text += how == 0 ? "\n" : "\r\n";
        }
        return text;
    default: {
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        text = files::tabFileText(views, state, files::SongHeader());
        if (how == 2)
            return text;
        std::string wide = "\xFF\xFE"; // the header and the tab are ASCII
        for (const char c : text)
            wide += std::string{c, '\0'};
        return wide;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    engine::VectorTabText text;
    engine::Staff staff(text);
    fuzz::typeOnStaff(staff, input);
    fuzz::requireNeckFits(staff);
    const std::vector<std::string> lines = text.lines();
    const engine::EditingState& state = staff.state();
    const int how = input.pick(4);

    files::WebTabOptions options;
    options.smallest = 'e';
    const files::ImportedTab tab = files::importWebTab(travelled(lines, state, how), options);
    const Music written = music(lines, state.stringCount, state.tuning);
    const bool sounds = std::any_of(written.begin(), written.end(), [](const auto& column) {
        return !std::get<6>(column).empty();
    });
    if (!sounds) {
        QUORLIN_REQUIRE(tab.notes == 0 && tab.lines.empty());
        return 0;
    }
    QUORLIN_REQUIRE(tab.problems.size() == (how == 3 ? 1U : 0U));
    QUORLIN_REQUIRE(tab.strings == state.stringCount && tab.tuning == state.tuning);
    // Only a saved file has a header to give it, and only one other than 4/4 writes it.
    QUORLIN_REQUIRE(tab.time.value_or(model::TimeSignature()) ==
                    (how >= 2 ? state.time : model::TimeSignature()));
    QUORLIN_REQUIRE(music(tab.lines, tab.strings, tab.tuning) == written);
    return 0;
}
