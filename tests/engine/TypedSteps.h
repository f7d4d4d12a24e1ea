#pragma once

// Steps as the user takes them, in a few characters each: "e.H3:7" a dotted eighth hammered on
// string 3 at fret 7 (marks H, P, S for a slide, + slap, O pop, C chord, T triplet); "rq." a
// dotted quarter rest; "|" New line; "<" "<-"; "R" and "R3" "Repeat last" of one column and of
// three.

#include "engine/Staff.h"

#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace quorlin::engine::testing {

// Whether every note was written.
inline bool type(Staff& staff, std::string_view steps)
{
    bool written = true;
    std::istringstream in{std::string(steps)};
    for (std::string s; in >> s;) {
        if (s == "|") {
            staff.JumpLine();
        } else if (s == "<") {
            staff.GoBack();
        } else if (s[0] == 'R') {
            staff.RepeatLast(s == "R3");
        } else if (s[0] == 'r') {
            staff.setRest(s[1], s.size() > 2);
        } else {
            Drop drop{0, 0, s[0]};
            std::size_t at = 1;
            drop.dotted = s[at] == '.';
            at += drop.dotted ? 1 : 0;
            static constexpr std::string_view marks = "-HPS+OCT";
            // The marks name the neck's choices in their order.
            if (const std::size_t mark = marks.find(s[at]); mark != std::string::npos) {
                drop.technique = kNeckChoices[mark].technique;
                drop.entry = kNeckChoices[mark].entry;
                ++at;
            }
            drop.row = std::stoi(s.substr(at));
            drop.column = std::stoi(s.substr(s.find(':') + 1));
            written = staff.Dropped(drop) == DropOutcome::Written && written;
        }
    }
    return written;
}

} // namespace quorlin::engine::testing
