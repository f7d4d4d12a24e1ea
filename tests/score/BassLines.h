#pragma once

// Bass lines written by hand as a bassist plays them, in a tab shorthand, and how far the
// hand travels over a fingering of them: shared by the chooser's test and the MIDI round
// trip through the import.

#include "score/Fingering.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::score::testing {

// Open pitches by string name; a tuning is its names, the highest string first.
inline int openPitch(char name)
{
    static const std::map<char, int> pitches = {{'C', 48}, {'G', 43}, {'D', 38},
                                                {'A', 33}, {'E', 28}, {'B', 23}};
    return pitches.at(name);
}

inline std::vector<int> openPitches(std::string_view tuning)
{
    std::vector<int> open;
    for (const char name : tuning) {
        if (name != ' ')
            open.push_back(openPitch(name));
    }
    return open;
}

// A line as tab: "E3 A5 D5+G4 |": string name and fret, a chord's notes joined by '+', bar
// lines only for the eye.
struct Written {
    std::vector<ToPlace> notes;
    std::vector<Place> places;
};

inline Written read(std::string_view tuning, const std::string& tab)
{
    std::string names;
    for (const char name : tuning) {
        if (name != ' ')
            names += name;
    }
    Written w;
    std::istringstream in(tab);
    std::string token;
    int chord = 0;
    while (in >> token) {
        if (token == "|")
            continue;
        std::istringstream notes(token);
        std::string note;
        while (std::getline(notes, note, '+')) {
            const int string = static_cast<int>(names.find(note[0])) + 1;
            const int fret = std::stoi(note.substr(1));
            w.places.push_back({string, fret});
            w.notes.push_back({openPitch(note[0]) + fret, chord});
        }
        ++chord;
    }
    return w;
}

// How far the hand travels: from one step's lowest fretted fret to the next's, open strings
// leaving it where it was.
inline int movement(const Written& w, const std::vector<Place>& places)
{
    int total = 0;
    int hand = -1;
    for (std::size_t i = 0; i < places.size();) {
        int lowest = -1;
        std::size_t end = i;
        for (; end < places.size() && w.notes[end].chord == w.notes[i].chord; ++end) {
            if (places[end].fret > 0 && (lowest < 0 || places[end].fret < lowest))
                lowest = places[end].fret;
        }
        if (lowest > 0) {
            if (hand > 0)
                total += std::abs(lowest - hand);
            hand = lowest;
        }
        i = end;
    }
    return total;
}

constexpr std::string_view kFour = "G D A E";
constexpr std::string_view kFive = "G D A E B";
constexpr std::string_view kSix = "C G D A E B";

struct Line {
    const char* name;
    std::string_view tuning;
    std::string tab;
};

// Written the way the hand plays them, not the way the chooser would.
inline const Line kLines[] = {
    {"walking blues in F, first position, open strings", kFour,
     "E1 A0 A3 A0 | A1 D0 D3 G1 | E1 E3 A0 A1 | A3 A2 A1 A0 | A1 A3 D1 D0 | A2 D0 D3 D2 | "
     "D3 A3 A0 E3 | D0 D4 A0 A3 | E3 A1 D0 A1 | A3 D2 E3 A1 | E1 A0 D0 D4 | E3 A1 A3 E0 | "
     "E1 E3 A0 A3 | A1 A3 D0 D3 | D3 A3 A0 E3 | E1 A0 A1 A2 | A1 D0 D3 D1 | A2 D0 D3 D4 | "
     "D3 D2 A3 A0 | D0 D4 A0 A3 | E3 A1 D0 D3 | A3 D2 E3 E0 | E1 A3 D0 A0 | E3 A1 A3 E0 | E1"},
    {"walking in Bb, fifth position", kFour,
     "E6 A5 D5 A5 | E8 A6 A8 D7 | A5 A8 D5 E7 | E8 A6 A8 E5 | E6 A5 A8 D8 | D8 D5 D6 D7 | "
     "A6 D5 D8 A6 | A8 A5 A6 A7 | E6 E8 A5 A8 | A5 A8 D5 D7 | E8 A6 A8 A7 | E6 A5 D5 D7 | "
     "D8 D7 D5 A8 | A6 A5 E8 E5 | E6 A5 A8 D5 | A6 D5 D8 D6 | E6 E8 A5 A6 | A8 A7 A6 A5 | "
     "D5 D8 D7 D5 | E8 A6 A8 E7 | E6 D5 A8 A5 | E6"},
    {"walking in C, second position across four strings", kFour,
     "A3 A2 D2 D5 | D3 A5 A3 A2 | D5 D4 D2 A5 | A3 E3 A3 A5 | D2 D5 G2 D5 | D3 D5 G2 G4 | "
     "G5 G4 G2 D5 | D3 D2 A5 A3 | A5 D2 D3 D5 | E3 E5 A2 A5 | A3 A5 D2 D5 | D3 D2 A5 A4 | "
     "A5 D3 D2 A5 | E3 A2 A3 D2 | D5 D2 A3 A2 | A3 D2 D5 D3"},
    {"walking in G with open strings", kFour,
     "E3 E2 E0 A2 | A3 D0 A2 A0 | D0 A3 A2 A0 | E3 E0 E2 E3 | A0 A2 A3 D0 | D2 D3 D0 A2 | "
     "A3 A2 A0 E3 | E2 E3 E0 A0 | E3 A2 D0 A2 | A3 A0 E3 E2 | A0 A3 D2 D0 | E3 E0 E2 E3 | "
     "A2 A3 D0 D2 | D0 A2 A0 E2 | E3 D0 A2 D0 | E3"},
    {"walking in Eb, sixth position", kFour,
     "A6 D5 D8 D5 | A8 A6 A5 E6 | E8 A6 D5 E8 | A8 D6 A6 E8 | E6 A5 A8 D5 | D6 D8 D5 A8 | "
     "A6 A8 A5 A6 | E6 E8 A6 A5 | E8 A6 A8 D5 | D6 D5 A8 A6 | E6 A5 A8 D6 | D8 D5 A8 A5 | "
     "A6 A5 E8 E6 | E8 E6 A5 A6 | A8 D5 D6 D8 | A6 D5 A8 A6 | E6 E8 A5 A8 | A6"},
    {"funk in E, sixteenths with octaves", kFour,
     "E0 E0 D2 E0 E0 D2 E0 E3 E0 E0 D2 E0 A0 A2 E3 E2 | "
     "E0 E0 D2 E0 E0 D2 E0 E3 E0 E0 D2 E0 E5 D7 E3 D5 | "
     "A0 A0 G2 A0 A0 G2 A0 A3 A0 A0 G2 A0 D0 D2 A3 A2 | "
     "E0 E0 D2 E0 E0 D2 E0 E3 E5 D7 E5 E3 D5 E3 E2 E0 | "
     "E0 E0 D2 E0 E3 D5 E3 E2 E0 E0 D2 E0 A0 A2 A3 A4 | "
     "E5 E5 D7 E5 A0 A0 G2 A0 E3 E3 D5 E3 E2 D4 A2 E0"},
    {"funk in A, sixteenths in fifth position with octaves", kFour,
     "E5 E5 D7 E5 E8 E5 D7 D5 E5 E5 D7 E5 A7 A5 E7 E5 | "
     "A5 A5 G7 A5 A5 G7 A7 A5 A5 A5 G7 A5 D5 D7 A7 A5 | "
     "E5 E5 D7 E5 E8 E5 D7 D5 E5 E5 D7 E5 A7 A8 A7 A5 | "
     "A7 A7 G9 A7 A5 A5 G7 A5 E8 E8 D10 E8 E7 E7 D9 E7 | "
     "E5 E5 D7 E5 D5 D7 E5 E8 E5 E5 D7 E5 A7 A5 E7 E5"},
    {"rock in E, root fifth octave in eighths", kFour,
     "E0 E0 A2 D2 E0 E0 A2 D2 | E5 E5 A7 D7 E5 E5 A7 D7 | A5 A5 D7 G7 A5 A5 D7 G7 | "
     "E7 E7 A9 D9 E7 E7 A9 D9 | E0 E0 A2 D2 E0 E0 A2 D2 | E3 E3 A5 D5 E3 E3 A5 D5 | "
     "E5 E5 A7 D7 E5 E5 A7 D7 | E7 E7 A9 D9 E5 E5 E3 E2 | E0"},
    {"rock in A, fifth and third positions", kFour,
     "E5 E5 A7 D7 E5 A7 D7 A7 | A5 A5 D7 G7 A5 D7 G7 D7 | A7 A7 D9 G9 A7 D9 G9 D9 | "
     "E5 E5 A7 D7 E5 A7 D7 A7 | E3 E3 A5 D5 E3 A5 D5 A5 | A5 A5 D7 G7 A5 D7 G7 D7 | "
     "E5 E5 A7 D7 E5 A7 D7 A7 | A7 A7 D9 G9 A7 A5 E7 E5 | E5"},
    {"punk eighths on the E string", kFour,
     "E0 E0 E0 E0 E0 E0 E0 E0 | E3 E3 E3 E3 E3 E3 E3 E3 | E5 E5 E5 E5 E5 E5 E5 E5 | "
     "E2 E2 E2 E2 E3 E3 E3 E3 | E0 E0 E0 E0 E0 E0 E0 E0 | E3 E3 E3 E3 E3 E3 E3 E3 | "
     "E5 E5 E5 E5 E7 E7 E7 E7 | E8 E8 E8 E8 E7 E7 E5 E3"},
    {"reggae in A minor, one drop", kFour,
     "E5 E8 A7 E5 E8 A7 A5 A3 | A5 A8 D7 A5 A8 D7 D5 D3 | A7 A10 D9 A7 A10 D9 D7 D5 | "
     "E5 E8 A7 E5 A5 A3 A2 E5 | E5 E8 A7 E5 E8 A7 A5 A3 | A5 A8 D7 A5 A8 D7 D5 D3 | "
     "A7 A10 D9 A7 A10 D9 D7 D5 | E5 E7 E8 A5 A7 E8 E7 E5"},
    {"reggae steppers in G, low", kFour,
     "E3 E3 A5 E3 A2 A5 E3 E3 | A3 A3 D5 A3 D2 D5 A3 A3 | A5 A5 D7 A5 D4 D7 A5 A5 | "
     "E3 E3 A5 E3 E5 E3 E2 E0 | E3 E3 A5 E3 A2 A5 E3 E3 | A3 A3 D5 A3 D2 D5 A3 A3 | "
     "A5 A5 D7 A5 D4 D7 A5 A3 | E3 E3 A2 A3 A5 A3 A2 E3"},
    {"five strings: a line in D down to the low B", kFive,
     "B3 B3 B6 B5 B3 B1 B0 B3 | B3 B3 B6 B5 E3 E1 E0 B3 | B1 B1 B5 B3 B1 B0 B3 B5 | "
     "B0 B0 B3 B5 E2 E3 E2 E0 | B3 B3 B6 B5 B3 B1 B0 B3 | B3 B5 E3 E5 A3 A5 E5 E3 | "
     "B1 B1 B5 B3 B1 B0 B1 B3 | B0 B0 B0 B2 B3 B3 B5 B3"},
    {"five strings: walking in Eb, first position on the B string", kFive,
     "B4 E1 E3 B4 | E1 A1 E4 E1 | B4 B3 B1 B0 | B1 E1 E3 E4 | E1 E3 A1 E4 | E3 E1 B4 B3 | "
     "B4 E1 E3 A1 | A3 A1 E4 E3 | E1 A1 A3 E1 | B4 E3 E1 B4 | B1 B4 E1 B4 | B4"},
    {"six strings: a melody high on the C string", kSix,
     "D5 D7 G4 G5 G7 C4 C5 C7 | C5 C4 G7 G5 G4 D7 D5 D3 | A5 A7 D4 D5 D7 G4 G5 G7 | "
     "C5 C7 C8 C7 C5 G7 G5 G4 | G5 G7 C4 C5 C7 C5 C4 G7 | G5 G4 D7 D5 G4 G5 G7 C4 | "
     "C5 C4 G7 G5 D7 D5 D3 A5"},
    {"six strings: a groove on the B string up at the seventh fret", kSix,
     "B8 B8 E7 B10 B8 E5 E7 B10 | E8 E8 A7 E10 E8 A5 A7 E10 | B8 B8 E7 B10 B8 E5 E7 E8 | "
     "B10 B10 E9 E7 B10 B8 B7 B8 | B8 B8 E7 B10 B8 E5 E7 B10 | E8 E8 A7 E10 E8 A5 A7 E10 | "
     "B10 B10 E9 B10 E7 E5 B10 B8"},
    {"double stops: fifths and tenths", kFour,
     "E3+A5 E3+A5 E5+A7 E5+A7 | A3+D5 A3+D5 A5+D7 A5+D7 | E3+G4 E3 D5 E5+G6 | "
     "A3+D5 A5 D3 A3 | E3+A5 E3+A5 E5+A7 E5+A7 | E7+A9 E7+A9 E5+G6 E3+G4 | E3"},
    {"chords: fifths with the octave, and a melody around them", kFour,
     "A5+D7+G7 G7 G5 D7 | A7+D9+G9 G9 G7 D9 | A3+D5+G5 G5 G4 D5 | E3+A5+D5 D5 D3 A5 | "
     "A5+D7+G7 D7 G5 G7 | A7+D9+G9 D9 G7 G9 | A3+D5+G5 D5 G2 G4 | E3+A5+D5 A5 A3 A2"},
    {"up the neck: a melody at the ninth fret", kFour,
     "A12 A9 D11 D12 G9 G11 G9 D12 | D11 D9 A12 A11 A9 D9 D11 D12 | G9 G11 G13 G14 G13 G11 G9 "
     "D12 | D11 D12 D9 A12 A11 A12 A9 A12 | A12 D9 D11 G9 G11 G13 G11 G9 | D12 D11 D9 A12 A11 A9 "
     "A11 A12"},
    {"up the neck: a minor pentatonic fill at the twelfth fret", kFour,
     "E12 E15 A12 A14 D12 D14 G12 G14 | G15 G14 G12 D14 D12 A14 A12 E15 | E12 E15 A12 A14 D12 "
     "D14 G12 G15 | G12 D14 D12 A14 A12 E15 E12 E15"},
    {"up the neck: funk in D at the tenth fret", kFour,
     "E10 E10 D12 E10 E13 E10 D12 D10 E10 E10 D12 E10 A12 A10 E12 E10 | "
     "A10 A10 G12 A10 A10 G12 A12 A10 A10 A10 G12 A10 D10 D12 A12 A10 | "
     "E10 E10 D12 E10 E13 E10 D12 D10 E10 E10 D12 E10 A12 A13 A12 A10"},
    {"a soul line in F, shifting between first and eighth positions", kFour,
     "E1 E1 A3 D3 E1 A3 D3 A3 | A1 A1 D3 G3 A1 D3 G3 D3 | E1 E1 A3 D3 E1 A3 D3 A3 | "
     "E8 E8 A10 D10 E8 A7 E10 E8 | A8 A8 D10 G10 A8 D10 G10 D10 | E8 E8 A10 D10 E8 E6 E3 E1"},
    {"walking in D minor, fifth position with shifts", kFour,
     "A5 A8 D7 A8 | E3 A2 A5 D3 | A3 D2 D5 A2 | E5 A4 A7 D5 | A5 D3 D7 D3 | E3 E5 A2 A5 | "
     "A3 A5 D2 D5 | E5 A4 A7 A4 | A5 D3 A7 A5 | E3 E7 A5 A2 | A3 A7 D5 D2 | E5 E9 A7 A4 | "
     "A5 A8 D7 D5 | E3 E7 D5 D3 | A3 A7 D5 A7 | E5 A4 A7 A5 | A5"},
    {"funk in G, sixteenths with octaves at the third fret", kFour,
     "E3 E3 D5 E3 E3 D5 E3 E5 E3 E3 D5 E3 A3 A5 E5 E3 | "
     "A3 A3 G5 A3 A3 G5 A3 A5 A3 A3 G5 A3 D2 D3 A5 A3 | "
     "E3 E3 D5 E3 E6 E3 D5 D3 E3 E3 D5 E3 A5 A3 E5 E3 | "
     "A5 A5 G7 A5 A5 G7 A5 A7 A3 A3 G5 A3 A2 A2 D4 A2 | "
     "E3 E3 D5 E3 E3 D5 E3 E5 E3 E3 D5 E3 A3 A5 E5 E3"},
    {"rock in D, root fifth octave", kFour,
     "A5 A5 D7 G7 A5 A5 D7 G7 | E3 E3 A5 D5 E3 E3 A5 D5 | E5 E5 A7 D7 E5 E5 A7 D7 | "
     "A3 A3 D5 G5 A3 A3 D5 G5 | A5 A5 D7 G7 A5 A5 D7 G7 | E3 E3 A5 D5 E3 E3 A5 D5 | "
     "E5 E5 A7 D7 E5 E5 A5 A4 | A5 A5 A5 A5 A5 A5 A5 A5"},
    {"reggae in D, roots and fifths low", kFour,
     "A5 A5 E5 A5 A5 E5 A7 A5 | E3 E3 A5 E3 E3 A5 E5 E3 | E5 E5 A7 E5 E5 A7 A5 E5 | "
     "A5 A5 E5 A5 A5 A3 A2 E5 | A5 A5 E5 A5 A5 E5 A7 A5 | E3 E3 A5 E3 E3 A5 E5 E3 | "
     "E5 E5 A7 E5 E5 A7 A5 E5 | A5 A3 A2 E5 A5 A5 A5 A5"},
    {"five strings: funk in B on the open low B", kFive,
     "B0 B0 A2 B0 B0 A2 B0 B3 B0 B0 A2 B0 E0 E2 B3 B2 | "
     "B0 B0 A2 B0 B0 A2 B0 B3 B5 B5 D2 B5 B3 B3 A5 B3 | "
     "E0 E0 D2 E0 E0 D2 E0 E3 E0 E0 D2 E0 E2 E3 B5 B3 | "
     "B0 B0 A2 B0 B3 A5 B3 B2 B0 B0 A2 B0 E0 B3 B2 B0"},
    {"six strings: walking in A at the fourth fret, up to the C string", kSix,
     "E5 A4 A7 A5 | D7 D4 D6 A7 | A5 D4 D7 G4 | G6 G7 C4 C5 | C7 C5 C4 G7 | G6 G4 D7 D6 | "
     "D4 A7 A5 A4 | E7 E5 E4 E7 | E5 A4 A7 D6 | D7 G6 G4 D7 | D6 D4 A7 A5 | E5"},
    {"double stops: tenths and octaves from the fifth fret", kFour,
     "E5+G6 E5+G6 E7+G8 E7+G8 | A5+G7 A5+G7 A7+G9 A7+G9 | E8+G9 E8+G9 E10+G11 E10+G11 | "
     "E5+D7 E5+D7 E7+D9 E7+D9 | E5 D7 E7 D9 | A5 G7 A7 G9"},
    {"up the neck: walking in E at the seventh position", kFour,
     "A7 A9 D6 D7 | D9 D7 A9 A7 | E7 E9 A6 A7 | D7 D9 D11 G8 | G9 G7 D11 D9 | D7 D6 A9 A7 | "
     "E7 E9 A6 A9 | A7 D6 D9 G8 | G9 G7 D9 D7 | A9 A7 E9 E7 | A7"},
    {"rock gallop in E minor on the low strings", kFour,
     "E0 E0 E0 E0 E0 E0 E0 E0 E3 E3 E3 E3 E5 E5 E5 E5 | "
     "A3 A3 A3 A3 A3 A3 A3 A3 A2 A2 A2 A2 A0 A0 E3 E2 | "
     "E0 E0 E0 E0 E0 E0 E0 E0 E3 E3 E3 E3 E5 E5 E5 E5 | "
     "A5 A5 A5 A5 A3 A3 A3 A3 A2 A2 A2 A2 E2 E2 E3 E3"},
    {"walking blues in A, open position", kFour,
     "A0 A4 D2 A4 | D0 D4 G2 D4 | A0 A4 D2 D0 | A0 A2 A4 D0 | D0 D2 D4 G2 | D0 D4 A3 A1 | "
     "A0 A4 D2 D4 | E2 A1 A4 D2 | A2 D0 D4 D0 | E0 E4 A2 D0 | A0 A4 E2 A1 | A2 D0 E0 E4 | "
     "A0 E4 E2 A2 | D0 A3 A0 D4 | A0 A4 D2 A4 | A0 A4 A2 D0 | D0 D4 G2 G0 | D4 D2 D0 A4 | "
     "A0 E4 A2 A4 | E2 A1 A4 A1 | A2 A4 D0 D4 | E0 A2 E4 A0 | A0 A4 E2 A1 | A2 E0 E2 E4 | A0"},
    // In one position: the hand keeps its place however the line moves over the strings.
    {"one position: a ballad in C at the second fret", kFour,
     "A3 A3 A3 A5 D2 D2 D5 D2 | E5 E5 E5 A2 A3 A3 E5 A3 | D3 D3 D3 A5 A3 A3 D3 D5 | "
     "E3 E3 E3 E5 A2 A2 A5 A2 | A3 A3 D2 D5 G2 G2 D5 D2 | E5 E5 A2 A3 D2 D2 A3 A2 | "
     "D3 D3 A5 A3 D3 D5 G2 G3 | E3 E3 E5 A2 A3 A2 E5 E3"},
    {"one position: B minor at the seventh fret", kFour,
     "E7 E7 E10 E7 A7 A9 E10 E7 | E7 E7 E10 E7 D7 D9 A9 A7 | A10 A10 D7 A10 D9 D7 A10 A9 | "
     "E10 E10 A7 E10 A9 A7 E10 E9 | E7 E7 E10 E7 A7 A9 E10 E7 | D9 D9 G7 D9 G9 G7 D9 D7 | "
     "A10 A10 D7 A10 D9 D7 A9 A7 | E9 E9 A7 A9 E10 E9 E7 E7"},
    {"one position: D held at the tenth fret for its tone", kFour,
     "E10 E10 E12 E10 A10 A12 E12 E10 | A10 A10 A12 A10 D10 D12 A12 A10 | "
     "E10 E12 A9 A10 A12 D9 D10 D12 | D10 D12 D10 A12 A10 E12 E10 E10"},
    // Open strings: the roots and fifths a first position line rings out on.
    {"open strings: an E shuffle", kFour,
     "E0 E0 E4 E4 E5 E5 E4 E4 | E0 E0 E4 E4 E5 E5 E4 E4 | A0 A0 A4 A4 A5 A5 A4 A4 | "
     "E0 E0 E4 E4 E5 E5 E4 E4 | A2 A2 D1 D1 D2 D2 D1 D1 | A0 A0 A4 A4 A5 A5 A4 A4 | "
     "E0 E0 E4 E4 E5 E5 E4 E4 | A2 A2 D1 D1 A2 A0 E4 E2"},
    {"open strings: D on the open D, G and A", kFour,
     "D0 D0 D4 D0 A0 A4 D0 D2 | D0 D0 D4 D0 G0 G2 D4 D2 | G0 G0 G2 G0 D0 D2 D4 G0 | "
     "A0 A0 A4 A2 A0 E3 E2 E0 | D0 D0 D4 D0 A0 A4 D0 D2 | G0 G0 G2 G0 D0 D2 D4 D0 | "
     "A0 A2 A4 D0 D2 D4 G0 G2 | D0 A0 D0 D0"},
    {"open strings: a two-beat in G", kFour,
     "E3 D0 E3 D0 | A3 E3 A3 E3 | D0 A0 D0 A0 | E3 E0 E2 E3 | A3 E3 A3 A2 | E3 D0 E3 A2 | "
     "A0 E0 A0 A2 | E3 D0 E3 E3"},
};

// The two figures a fingering of the lines is held to: the hand's travel against the written
// fingering's, and the share of notes on the written string.
struct Tally {
    int written = 0;
    int chosen = 0;
    std::size_t notes = 0;
    std::size_t sameString = 0;
    std::size_t lines = 0;

    void add(const Written& w, const std::vector<Place>& places)
    {
        for (std::size_t i = 0; i < places.size(); ++i)
            sameString += places[i].string == w.places[i].string ? 1 : 0;
        written += movement(w, w.places);
        chosen += movement(w, places);
        notes += places.size();
        ++lines;
    }
    double share() const
    {
        return 100.0 * static_cast<double>(sameString) / static_cast<double>(notes);
    }
    void print(const char* what) const
    {
        std::cout << what << ": " << notes << " notes in " << lines << " lines, hand travel "
                  << chosen << " frets against " << written << " as written, " << share()
                  << "% on the written string\n";
    }
};

} // namespace quorlin::score::testing
