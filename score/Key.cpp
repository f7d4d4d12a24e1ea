#include "score/Key.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace quorlin::score {

namespace {

// The letters in fifths: F is -1 on the line where C is 0, and each step of seven is a sharp.
constexpr std::string_view kFifthLetters = "FCGDAEB";
// Semitones above C of each letter.
constexpr std::array<int, 7> kLetterSemitones = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B

int modulo(int value, int divisor)
{
    return ((value % divisor) + divisor) % divisor;
}

int floorDivide(int value, int divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Krumhansl and Kessler's ratings of how well each pitch class, from the tonic up, fits a key.
constexpr std::array<double, 12> kMajorProfile = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09,
                                                  2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
constexpr std::array<double, 12> kMinorProfile = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53,
                                                  2.54, 4.75, 3.98, 2.69, 3.34, 3.17};

double correlation(const std::array<double, 12>& weights, const std::array<double, 12>& profile,
                   int tonic)
{
    double meanW = 0, meanP = 0;
    for (int i = 0; i < 12; ++i) {
        meanW += weights[static_cast<std::size_t>(i)] / 12;
        meanP += profile[static_cast<std::size_t>(i)] / 12;
    }
    double cross = 0, sumW = 0, sumP = 0;
    for (int pc = 0; pc < 12; ++pc) {
        const double w = weights[static_cast<std::size_t>(pc)] - meanW;
        const double p = profile[static_cast<std::size_t>(modulo(pc - tonic, 12))] - meanP;
        cross += w * p;
        sumW += w * w;
        sumP += p * p;
    }
    return sumW == 0 ? 0 : cross / std::sqrt(sumW * sumP);
}

// The signature of a tonic: the one of fewer sharps or flats; of two as many (F# or Gb), flats.
Key keyOf(int tonic, bool minor)
{
    Key best{kMaxFifths + 1, minor};
    for (int fifths = -kMaxFifths; fifths <= kMaxFifths; ++fifths) {
        // The major tonic is seven semitones on for each fifth; its minor three below.
        if (modulo(7 * fifths + (minor ? 9 : 0), 12) == tonic &&
            std::abs(fifths) < std::abs(best.fifths))
            best.fifths = fifths;
    }
    return best;
}

} // namespace

std::optional<Key> readKey(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    const std::size_t letter = kFifthLetters.find(text.front());
    if (letter == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(1);
    int fifths = static_cast<int>(letter) - 1;
    if (!text.empty() && (text.front() == '#' || text.front() == 'b')) {
        fifths += text.front() == '#' ? 7 : -7;
        text.remove_prefix(1);
    }
    Key key{fifths, false};
    if (text == "m") {
        key.minor = true;
        // The relative major's signature: A minor has C major's.
        key.fifths -= 3;
    } else if (!text.empty()) {
        return std::nullopt;
    }
    if (std::abs(key.fifths) > kMaxFifths)
        return std::nullopt;
    return key;
}

std::string keyName(Key key)
{
    if (std::abs(key.fifths) > kMaxFifths)
        throw std::out_of_range("no key has " + std::to_string(key.fifths) + " fifths");
    const int tonic = key.fifths + (key.minor ? 3 : 0);
    std::string name(1, kFifthLetters[static_cast<std::size_t>(modulo(tonic + 1, 7))]);
    const int alter = floorDivide(tonic + 1, 7);
    if (alter != 0)
        name += alter > 0 ? '#' : 'b';
    if (key.minor)
        name += 'm';
    return name;
}

Key findKey(const Score& score)
{
    std::array<double, 12> weights{};
    for (const Column& c : score.columns) {
        for (const Note& n : c.notes)
            weights[static_cast<std::size_t>(modulo(n.pitch, 12))] += static_cast<double>(c.length);
    }
    // C major is tried first: when nothing sounds every key fits alike, and it wins.
    Key best;
    double bestFit = -2;
    for (const bool minor : {false, true}) {
        for (int tonic = 0; tonic < 12; ++tonic) {
            // The third tells a key from its parallel: the profiles alone take a minor line
            // whose third sounds little for its major (E major for E minor with D and G
            // natural, no G sharp), so a key whose third is silent where the other sounds is
            // none.
            const double third =
                weights[static_cast<std::size_t>(modulo(tonic + (minor ? 3 : 4), 12))];
            const double otherThird =
                weights[static_cast<std::size_t>(modulo(tonic + (minor ? 4 : 3), 12))];
            if (third == 0 && otherThird > 0)
                continue;
            const double fit = correlation(weights, minor ? kMinorProfile : kMajorProfile, tonic);
            if (fit > bestFit) {
                bestFit = fit;
                best = keyOf(tonic, minor);
            }
        }
    }
    return best;
}

Spelling spell(int pitch, Key key)
{
    if (std::abs(key.fifths) > kMaxFifths)
        throw std::out_of_range("no key has " + std::to_string(key.fifths) + " fifths");
    // The key's scale spans its signature's fifth below to five above: F to B in C and A minor.
    const int middle = key.fifths + 2;
    // Where the pitch class stands on the line of fifths nearest the middle: seven fifths make
    // a semitone, so the same class comes back every twelve. Six away either side is a tie.
    int place = middle - 6 + modulo(7 * pitch - (middle - 6), 12);
    if (place == middle - 6 && key.minor)
        place += 12;
    Spelling s;
    s.step = kFifthLetters[static_cast<std::size_t>(modulo(place + 1, 7))];
    s.alter = floorDivide(place + 1, 7);
    const int natural =
        kLetterSemitones[static_cast<std::size_t>(std::string_view("CDEFGAB").find(s.step))];
    s.octave = floorDivide(pitch - s.alter - natural, 12) - 1;
    return s;
}

} // namespace quorlin::score
