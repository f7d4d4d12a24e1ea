#pragma once

// The techniques as the tab text writes them: the mark a note's cell opens with and the
// articulation cell of its column. Every writer and reader of cells takes them from here.

#include "model/Song.h"
#include "tabtext/TabFormat.h"

#include <string_view>

namespace quorlin::tabtext {

// The marks of model::Mark a note's cells write; a song's others are listed where it
// becomes a tab.
constexpr model::NoteFlags kWrittenMarks = 0;

// A tie's mark; any other technique is written plain.
constexpr char markOf(model::Technique technique)
{
    using model::Technique;
    switch (technique) {
    case Technique::HammerOn:
        return kHammerOnMark;
    case Technique::PullOff:
        return kPullOffMark;
    case Technique::SlideUp:
        return kSlideUpMark;
    case Technique::SlideDown:
        return kSlideDownMark;
    default:
        return kPlainMark;
    }
}

// Any mark that is no tie's is a plain note's.
constexpr model::Technique techniqueOfMark(char mark)
{
    using model::Technique;
    for (const Technique t :
         {Technique::HammerOn, Technique::PullOff, Technique::SlideUp, Technique::SlideDown}) {
        if (markOf(t) == mark)
            return t;
    }
    return Technique::Plain;
}

// The articulation cell of a rest, or of a column whose first note has `technique`.
constexpr std::string_view articulationCell(bool rest, model::Technique technique)
{
    return rest                                  ? kRestCell
           : technique == model::Technique::Slap ? kSlapCell
           : technique == model::Technique::Pop  ? kPopCell
                                                 : kPlainArticulation;
}

// The mark a note's cell opens with: a tie's, else kTripletMark where the cell carries the
// triplet's, else plain. A cell holds one mark, so a tie and a triplet's mark never meet.
constexpr char cellMark(model::Technique technique, bool tripletMark)
{
    return model::isTie(technique) ? markOf(technique) : tripletMark ? kTripletMark : kPlainMark;
}

// Slap or pop as the articulation line's mark says, else `otherwise`.
constexpr model::Technique techniqueOfArticulation(char mark, model::Technique otherwise)
{
    return mark == kSlapMark  ? model::Technique::Slap
           : mark == kPopMark ? model::Technique::Pop
                              : otherwise;
}

} // namespace quorlin::tabtext
