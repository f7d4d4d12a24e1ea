#include "score/Fingering.h"

#include <cstdlib>
#include <limits>

namespace quorlin::score {

std::vector<Place> chooseFingering(std::span<const ToPlace> notes, std::span<const int> openPitches,
                                   int highestFret)
{
    std::vector<Place> places(notes.size());
    // Note by note, the playable place nearest where the hand is, a chord's notes on strings
    // not yet taken by it.
    int hand = 5;
    std::vector<bool> taken(openPitches.size() + 1);
    int chord = std::numeric_limits<int>::min();
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i].chord != chord) {
            taken.assign(taken.size(), false);
            chord = notes[i].chord;
        }
        int best = std::numeric_limits<int>::max();
        for (std::size_t s = 0; s < openPitches.size(); ++s) {
            const int fret = notes[i].pitch - openPitches[s];
            if (fret < 0 || fret > highestFret || taken[s + 1])
                continue;
            const int cost = std::abs(fret - hand);
            if (cost < best) {
                best = cost;
                places[i] = {static_cast<int>(s) + 1, fret};
            }
        }
        if (places[i].string > 0) {
            taken[static_cast<std::size_t>(places[i].string)] = true;
            if (places[i].fret > 0)
                hand = places[i].fret;
        }
    }
    return places;
}

} // namespace quorlin::score
