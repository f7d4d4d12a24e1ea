#pragma once

// The key a score is in, and each pitch spelled for it: a notation program draws what it is
// given, so a blues in F written with sharps shows A# where the player reads B flat. No Qt here.

#include "score/Score.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorlin::score {

struct Key {
    int fifths = 0; // -7 (seven flats) to 7 (seven sharps)
    bool minor = false;

    bool operator==(const Key&) const = default;
};

inline constexpr int kMaxFifths = 7;

// "F", "Bb", "F#", "Dm", "Ebm": a letter, a sharp or flat, "m" for minor; nothing else, and
// only keys of at most seven sharps or flats.
std::optional<Key> readKey(std::string_view text);
// As readKey takes it: "Bb", "C#m".
std::string keyName(Key key);

// The major or minor key whose profile matches how long each pitch class sounds best, of those
// whose third sounds or whose parallel's does not; C major when nothing sounds.
Key findKey(const Score& score);

struct Spelling {
    char step = 'C'; // 'A' to 'G'
    int alter = 0;   // semitones: -2 to 2
    int octave = 4;  // of the step, as written: B#3 sounds as C4

    bool operator==(const Spelling&) const = default;
};

// The name a reader of the key expects: its scale's own notes as the signature makes them, the
// others by the name nearest the key in fifths (in C: C#, Eb, F#, Ab, Bb). Of two names as near,
// minor takes the raised seventh (G# in A minor) and major the lowered sixth (Ab in C).
Spelling spell(int pitch, Key key);

} // namespace quorlin::score
