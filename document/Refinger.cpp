#include "document/Refinger.h"

#include "instrument/NeckLabels.h"
#include "score/Fingering.h"

#include <algorithm>
#include <tuple>

namespace quorlin::document {

using score::chooseFingering;
using score::Place;
using score::ToPlace;

std::vector<engine::ColumnNote> refinger(std::span<const engine::Column> columns, std::size_t first,
                                         std::size_t last, int semitones,
                                         std::span<const int> openPitches)
{
    std::tie(first, last) = engine::wholeTriplets(columns, first, last);
    const auto pitchOf = [&](const engine::ColumnNote& n) {
        return openPitches[static_cast<std::size_t>(n.string - 1)] + n.fret;
    };
    // The hand comes from the note before and goes on to the one after: both stay.
    std::size_t before = first;
    while (before > 0 && columns[before - 1].rest())
        --before;
    std::size_t after = last;
    while (after < columns.size() && columns[after].rest())
        ++after;

    std::vector<ToPlace> line;
    int chord = 0;
    const auto add = [&](const engine::Column& column, int moved, bool kept) {
        for (const engine::ColumnNote& n : column.notes)
            line.push_back({pitchOf(n) + moved, chord, kept ? n.string : 0});
        ++chord;
    };
    if (before > 0)
        add(columns[before - 1], 0, true);
    const std::size_t firstMoved = line.size();
    std::size_t count = 0;
    for (std::size_t c = first; c < last; ++c) {
        add(columns[c], semitones, false);
        count += columns[c].notes.size();
    }
    if (after < columns.size())
        add(columns[after], 0, true);

    const std::vector<Place> chosen = chooseFingering(line, openPitches, instrument::kFrets);
    std::vector<engine::ColumnNote> places;
    std::vector<std::size_t> offsets; // where each moved column's notes start in `places`
    for (std::size_t c = first; c < last; ++c) {
        offsets.push_back(places.size());
        for (std::size_t n = 0; n < columns[c].notes.size(); ++n) {
            const Place& p = chosen[firstMoved + places.size()];
            places.push_back({p.string, p.fret});
        }
    }

    // A hammer-on, pull-off or slide plays from the note before it on its string: where the
    // chooser parted two moved notes, the second goes to the first's string if it sounds there.
    // (From a note that stays, the interval is an octave off: no legato to keep.)
    for (std::size_t c = first + 1; c < last; ++c) {
        const engine::Column& column = columns[c];
        if (column.rest() || !engine::leansOnNoteBefore(column.technique()))
            continue;
        std::size_t p = c - 1;
        while (p > first && columns[p].rest())
            --p;
        const auto from = std::ranges::find(columns[p].notes, column.notes.front().string,
                                            &engine::ColumnNote::string);
        if (from == columns[p].notes.end())
            continue;
        const int string =
            places[offsets[p - first] + static_cast<std::size_t>(from - columns[p].notes.begin())]
                .string;
        const std::span<engine::ColumnNote> moved(
            places.begin() + static_cast<std::ptrdiff_t>(offsets[c - first]), column.notes.size());
        if (string == 0 || moved[0].string == 0 || moved[0].string == string ||
            std::ranges::count(moved, string, &engine::ColumnNote::string) != 0)
            continue;
        const int fret = pitchOf(column.notes.front()) + semitones -
                         openPitches[static_cast<std::size_t>(string - 1)];
        if (fret >= 0 && fret <= instrument::kFrets)
            moved[0] = {string, fret};
    }
    return places;
}

} // namespace quorlin::document
