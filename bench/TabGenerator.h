#pragma once

// Builds tabs of a given number of notes with the engine alone, so the benchmarks start
// from the exact text and editing state the window would have reached by hand.

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "files/TabFile.h"

#include <fstream>
#include <string>

namespace quorlin::bench {

// Notes walk over the four strings and a few frets in a fixed pattern, durations too.
inline void generateNotes(engine::Staff& staff, long notes)
{
    static constexpr char kSymbols[] = {'q', 'e', 's', 'h', 'e', 'q', 'w'};
    for (long i = 0; i < notes; ++i) {
        engine::Drop drop;
        drop.row = static_cast<int>(i % 4) + 1;
        drop.column = static_cast<int>((i * 7) % 13);
        drop.symbol = kSymbols[i % 7];
        staff.Dropped(drop);
    }
}

inline void writeGeneratedTab(const std::string& path, long notes)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    generateNotes(staff, notes);
    std::ofstream out(path, std::ios::binary);
    files::writeTabFile(out, text, staff.state(), files::SongHeader());
}

} // namespace quorlin::bench
