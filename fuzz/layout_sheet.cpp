// Tab text from anywhere laid out as printed pages: whatever the score reader finds, the
// layout ends with every mark on its page, no two texts on top of each other, every bar in
// exactly one system and every note printed where its column is placed.

#include "fuzz/FuzzInput.h"
#include "score/Score.h"
#include "sheet/SheetLayout.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

using namespace quorlin;

namespace {

bool finite(const sheet::Rect& r)
{
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
           std::isfinite(r.height) && r.width >= 0 && r.height >= 0;
}

// Texts sorted by their left edge, each compared with those that start before it ends.
void requireTextsApart(const sheet::Page& page)
{
    std::vector<const sheet::Mark*> texts;
    for (const sheet::Mark& m : page.marks) {
        if (m.kind == sheet::MarkKind::Text)
            texts.push_back(&m);
    }
    std::ranges::sort(texts, {}, [](const sheet::Mark* m) { return m->box.x; });
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.size() && texts[j]->box.x < texts[i]->box.right();
             ++j)
            QUORLIN_REQUIRE(!texts[i]->box.overlaps(texts[j]->box));
    }
}

void requireMarksOnPages(const sheet::Sheet& s)
{
    QUORLIN_REQUIRE(!s.pages.empty());
    for (std::size_t p = 0; p < s.pages.size(); ++p) {
        const sheet::Page& page = s.pages[p];
        std::size_t numbers = 0;
        for (const sheet::Mark& m : page.marks) {
            QUORLIN_REQUIRE(finite(m.box));
            QUORLIN_REQUIRE(m.box.x >= 0 && m.box.y >= 0 && m.box.right() <= s.size.width &&
                            m.box.bottom() <= s.size.height);
            QUORLIN_REQUIRE(m.textStart + m.textLength <= page.texts.size());
            if (m.role == sheet::FontRole::PageNumber) {
                ++numbers;
                QUORLIN_REQUIRE(page.textOf(m) ==
                                std::to_string(p + 1) + " / " + std::to_string(s.pages.size()));
            }
        }
        QUORLIN_REQUIRE(numbers == (p == 0 ? 0u : 1u));
        requireTextsApart(page);
    }
}

void requireBarsAndColumns(const score::Score& score, const sheet::Sheet& s,
                           sheet::TimeSignature time)
{
    const std::int64_t end =
        score.columns.empty() ? 0 : score.columns.back().start + score.columns.back().length;
    const std::int64_t bar = sheet::barTicks(time);
    std::size_t bars = 0;
    int page = 0;
    for (const sheet::SystemPlace& system : s.systems) {
        // A bar too wide for a system goes on over the next: it opens a system once more.
        QUORLIN_REQUIRE(system.firstBar == bars || system.firstBar + 1 == bars);
        bars = system.firstBar + system.barCount;
        QUORLIN_REQUIRE(system.page >= page && system.page < static_cast<int>(s.pages.size()));
        page = system.page;
    }
    QUORLIN_REQUIRE(static_cast<std::int64_t>(bars) == (end + bar - 1) / bar);
    QUORLIN_REQUIRE(s.columns.size() == score.columns.size());
    for (std::size_t c = 0; c < score.columns.size(); ++c) {
        const sheet::ColumnPlace place = s.columns[c];
        QUORLIN_REQUIRE(place.system >= 0 &&
                        static_cast<std::size_t>(place.system) < s.systems.size());
        const sheet::SystemPlace& system = s.systems[static_cast<std::size_t>(place.system)];
        QUORLIN_REQUIRE(place.page == system.page);
        QUORLIN_REQUIRE(place.x > system.staff.x && place.x < system.staff.right());
        // Each note's number centred at the column's x on its string's line.
        const sheet::Page& on = s.pages[static_cast<std::size_t>(place.page)];
        const float gap = system.staff.height / static_cast<float>(score.strings - 1);
        for (const score::Note& n : score.columns[c].notes) {
            const float y = system.staff.y + static_cast<float>(n.string - 1) * gap;
            QUORLIN_REQUIRE(std::ranges::any_of(on.marks, [&](const sheet::Mark& m) {
                return m.role == sheet::FontRole::Fret &&
                       std::abs(m.box.x + m.box.width / 2 - place.x) < 0.01f &&
                       std::abs(m.box.y + m.box.height / 2 - y) < 0.01f;
            }));
        }
    }
    QUORLIN_REQUIRE(s.skipped == score.skipped);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const instrument::StringCount strings(instrument::kMinStrings + input.pick(3));
    const int tempo = input.byte() * 2;
    const int options = input.byte();
    const std::string text = input.rest();
    const std::vector<std::string_view> lines = fuzz::splitLines(text);
    const score::Score score =
        score::readScore(lines, strings, instrument::Tuning(), score::clampTempo(tempo));

    sheet::SheetInput in;
    // The tempo's byte also picks the time signature, as read_score's does: 1 to 32 beats of
    // a whole down to a 32nd.
    in.time = {1 + tempo / 2 % 32, 1 << (tempo / 64 % 6)};
    in.tempo = tempo;
    in.paper = (options & 1) != 0 ? sheet::Paper::Letter : sheet::Paper::A4;
    in.tuning.followStringCount(instrument::kMinStrings, strings.value());
    // The title from the text's first line, whatever bytes it holds.
    if ((options & 2) != 0 && !lines.empty())
        in.title = std::string(lines.front());
    in.artist = std::string(options >> 2, 'W');

    const sheet::Sheet s = sheet::layoutSheet(score, in);
    requireMarksOnPages(s);
    requireBarsAndColumns(score, s, in.time);
    return 0;
}
