#include "score/Fingering.h"

#include "instrument/Tuning.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <tuple>

namespace quorlin::score {

namespace {

// The effort of playing a step after the one before it. A shift of the hand costs more than the
// frets it travels, so the hand stays in one place while it can; fingers reaching across the hand
// cost a fret each; leaving the strings of the step before costs a little, however far (an octave
// shape skips one); a chord stretched past the hand costs a lot, but still sounds.
constexpr int kShift = 12;
constexpr int kShiftFret = 4;
constexpr int kFinger = 1; // each fret between one step's lowest stopped fret and the next's
constexpr int kCrossing = 2;
constexpr int kStretch = 40;
// An open string sounds from anywhere, but it rings on and sounds unlike the stopped notes around
// it: it saves a shift, not a finger. In the first positions, the hand's first finger on fret 1
// or 2, it is the hand's own, a finger it spares.
constexpr int kOpen = 7;
constexpr int kOpenLow = 3;
constexpr int kLowPosition = 2;
// Each step played with the hand above the ninth fret, per fret: high up only when it must, yet a
// line that sits there is not pulled down the neck and back.
constexpr int kHigh = 1;
constexpr int kHighPosition = 9;
constexpr int kWidePosition = 9; // where the hand starts to cover five frets

constexpr std::uint32_t kNoTrail = UINT32_MAX;
constexpr int kNoHand = 0; // before the first fretted note: the hand goes wherever it is best
constexpr std::size_t kMostChord = 6;
constexpr std::size_t kMostOptions = 24; // the easiest ways to play a chord, kept for the path
constexpr auto kMostStrings = static_cast<std::size_t>(instrument::kMaxStrings);

// The hand covers four frets from its first finger's, one finger a fret, and five from the
// ninth up, where the frets are narrower: the lowest first-finger fret still covering `fret`.
int lowestHandFor(int fret)
{
    return std::max(1, fret - 4 >= kWidePosition ? fret - 4 : std::min(fret - 3, kWidePosition));
}

int fretOn(int pitch, int open, int highestFret)
{
    const long long fret = static_cast<long long>(pitch) - open;
    return fret >= 0 && fret <= highestFret ? static_cast<int>(fret) : -1;
}

// Compared as a whole: the effort, then the frets played, so that of two ways as easy the one
// lower on the neck wins.
struct Cost {
    int effort = 0;
    int height = 0;

    auto operator<=>(const Cost&) const = default;
};

// One way to play a step: its notes' strings, 0 for a note left out.
struct Option {
    std::array<int, kMostChord> strings{};
    unsigned mask = 0;
    int low = 0; // the lowest and highest fretted fret, 0 when only open strings sound
    int high = 0;
    int stretch = 0; // frets beyond what one hand covers
    int open = 0;    // open strings
    int height = 0;
};

// The cheapest way found to one option of a step with the hand at one fret.
struct State {
    int option = 0;
    int hand = kNoHand;
    int last = 0; // the lowest fret of the last step that stopped a string
    unsigned mask = 0;
    Cost cost;
    std::uint32_t trail = kNoTrail;
};

// What the way back needs of a state, kept for every step: the path costs a few bytes a note.
struct Trail {
    std::uint32_t before = kNoTrail;
    std::uint8_t option = 0;
};

// Every way to put a step's notes on strings of their own that places as many of them as can
// be; of many, the easiest.
std::vector<Option> listOptions(std::span<const ToPlace> notes, std::span<const int> open,
                                int highestFret)
{
    std::vector<Option> out;
    const std::size_t count = std::min({notes.size(), open.size(), kMostChord});
    Option current;
    int most = 1;
    auto walk = [&](auto& self, std::size_t n, unsigned used, int placed) -> void {
        if (placed + static_cast<int>(count - n) < most)
            return;
        if (n == count) {
            if (placed > most)
                out.clear();
            most = placed;
            out.push_back(current);
            return;
        }
        const ToPlace& note = notes[n];
        const auto kept = static_cast<std::size_t>(note.string);
        const bool pinned = kept >= 1 && kept <= open.size() && (used >> kept & 1u) == 0 &&
                            fretOn(note.pitch, open[kept - 1], highestFret) >= 0;
        for (std::size_t s = 1; s <= open.size(); ++s) {
            if ((used >> s & 1u) != 0 || (pinned && s != kept) ||
                fretOn(note.pitch, open[s - 1], highestFret) < 0)
                continue;
            current.strings[n] = static_cast<int>(s);
            self(self, n + 1, used | 1u << s, placed + 1);
        }
        current.strings[n] = 0;
        self(self, n + 1, used, placed);
    };
    walk(walk, 0, 0, 0);

    for (Option& o : out) {
        for (std::size_t n = 0; n < count; ++n) {
            const auto s = static_cast<std::size_t>(o.strings[n]);
            if (s == 0)
                continue;
            o.mask |= 1u << s;
            const int fret = notes[n].pitch - open[s - 1];
            o.height += fret;
            o.open += fret == 0 ? 1 : 0;
            if (fret > 0) {
                o.low = o.low == 0 ? fret : std::min(o.low, fret);
                o.high = std::max(o.high, fret);
            }
        }
        if (o.high > 0)
            o.stretch = std::max(0, lowestHandFor(o.high) - o.low);
    }
    if (out.size() > kMostOptions) {
        const auto easier = [](const Option& a, const Option& b) {
            return std::tuple(a.stretch, a.high - a.low, a.height) <
                   std::tuple(b.stretch, b.high - b.low, b.height);
        };
        std::partial_sort(out.begin(), out.begin() + kMostOptions, out.end(), easier);
        out.resize(kMostOptions);
    }
    return out;
}

int openCost(int hand)
{
    return hand != kNoHand && hand <= kLowPosition ? kOpenLow : kOpen;
}

Cost withHandAt(Cost cost, int hand)
{
    cost.effort += kHigh * std::max(0, hand - kHighPosition);
    return cost;
}

} // namespace

std::vector<Place> chooseFingering(std::span<const ToPlace> notes, std::span<const int> openPitches,
                                   int highestFret)
{
    std::vector<Place> places(notes.size());
    const auto open = openPitches.first(std::min(openPitches.size(), kMostStrings));
    highestFret = std::min(highestFret, 4 * kHighestFret); // hands are counted by fret
    if (highestFret < 0)
        return places;
    const auto stepAt = [&](std::size_t first) {
        std::size_t end = first + 1;
        while (end < notes.size() && notes[end].chord == notes[first].chord)
            ++end;
        return notes.subspan(first, end - first);
    };

    // The shortest path over the steps' options (Viterbi), the hand's fret part of the state:
    // where the hand goes next follows from where it was, as it moves no further than it must.
    const std::size_t hands = static_cast<std::size_t>(highestFret) + 1;
    std::vector<State> was{State{}}; // a start with the hand nowhere yet
    std::vector<State> now;
    std::vector<Trail> trails;
    std::vector<std::size_t> firsts; // the steps something of which is placed
    std::vector<std::size_t> slot;
    for (std::size_t first = 0; first < notes.size();) {
        const std::span<const ToPlace> step = stepAt(first);
        const std::vector<Option> options = listOptions(step, open, highestFret);
        if (options.empty()) {
            first += step.size();
            continue;
        }
        // Open strings carry the last stopped fret on: their states are told apart by it too.
        now.clear();
        slot.assign(options.size() * hands, 0);
        const auto reach = [&](int option, int hand, int last, Cost cost, const State& from) {
            std::size_t& at =
                slot[static_cast<std::size_t>(option) * hands + static_cast<std::size_t>(hand)];
            std::size_t same = at;
            if (same != 0 && now[same - 1].last != last) {
                same = 0;
                for (std::size_t s = at; s < now.size() && same == 0; ++s) {
                    if (now[s].option == option && now[s].hand == hand && now[s].last == last)
                        same = s + 1;
                }
            }
            if (same == 0) {
                const auto mask = options[static_cast<std::size_t>(option)].mask;
                now.push_back(
                    {option, hand, last, mask, cost, static_cast<std::uint32_t>(trails.size())});
                trails.push_back({from.trail, static_cast<std::uint8_t>(option)});
                if (at == 0)
                    at = now.size();
            } else if (cost < now[same - 1].cost) {
                now[same - 1].cost = cost;
                trails[now[same - 1].trail].before = from.trail;
            }
        };
        for (const State& from : was) {
            for (std::size_t k = 0; k < options.size(); ++k) {
                const Option& o = options[k];
                Cost cost = from.cost;
                cost.height += o.height;
                cost.effort += kStretch * o.stretch + openCost(from.hand) * o.open;
                if (from.mask != 0 && (from.mask & o.mask) == 0)
                    cost.effort += kCrossing;
                const int option = static_cast<int>(k);
                if (o.high == 0) {
                    reach(option, from.hand, from.last, cost, from);
                    continue;
                }
                if (from.last != 0)
                    cost.effort += kFinger * std::abs(o.low - from.last);
                const int lowest = std::min(lowestHandFor(o.high), o.low);
                if (from.hand == kNoHand) {
                    for (int hand = lowest; hand <= o.low; ++hand)
                        reach(option, hand, o.low, withHandAt(cost, hand), from);
                    continue;
                }
                const int hand = std::clamp(from.hand, lowest, o.low);
                if (hand != from.hand)
                    cost.effort += kShift + kShiftFret * std::abs(hand - from.hand);
                reach(option, hand, o.low, withHandAt(cost, hand), from);
            }
        }
        std::swap(was, now);
        firsts.push_back(first);
        first += step.size();
    }
    if (firsts.empty())
        return places;

    // Back along the cheapest path, each step's options listed again.
    std::uint32_t trail = std::ranges::min(was, {}, [](const State& s) { return s.cost; }).trail;
    for (std::size_t j = firsts.size(); j-- > 0;) {
        const std::vector<Option> options = listOptions(stepAt(firsts[j]), open, highestFret);
        const Option& o = options[trails[trail].option];
        for (std::size_t n = 0; n < kMostChord; ++n) {
            const auto s = static_cast<std::size_t>(o.strings[n]);
            if (s == 0)
                continue;
            const std::size_t i = firsts[j] + n;
            places[i] = {static_cast<int>(s), notes[i].pitch - open[s - 1]};
        }
        trail = trails[trail].before;
    }
    return places;
}

} // namespace quorlin::score
