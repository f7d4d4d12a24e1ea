#include "transcribe/BeatGrid.h"

#include "files/Song.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numbers>

namespace quorlin::transcribe {

namespace {

constexpr double kSlowest = 38, kFastest = 200; // beats a minute looked at
constexpr double kLikeliest = 105;              // where a tempo prior is centred
constexpr double kPriorWidth = 0.9;             // octaves
constexpr double kClearlyOnBeats = 1.5;
constexpr double kOnBeatsMargin = 0.1;
constexpr std::size_t kOnsetsForTempo = 4000; // the first ones say enough
constexpr double kStep = 0.004;               // seconds: the onset train's resolution
constexpr std::int64_t kSixteenth = files::kSongTicksPerQuarter / 4;
constexpr std::int64_t kTripletEighth = files::kSongTicksPerQuarter / 3;

std::vector<double> onsetsOf(const std::vector<HeardNote>& notes)
{
    std::vector<double> onsets;
    for (const HeardNote& n : notes) {
        if (onsets.size() >= kOnsetsForTempo)
            break;
        onsets.push_back(n.onset);
    }
    return onsets;
}

// How well onsets line up with a grid of `period` / `parts`: the length of the mean phasor.
std::complex<double> alignment(const std::vector<double>& onsets, double period, int parts)
{
    std::complex<double> sum;
    for (double t : onsets)
        sum += std::polar(1.0, 2 * std::numbers::pi * parts * t / period);
    return onsets.empty() ? sum : sum / double(onsets.size());
}

double prior(double period)
{
    const double octaves = std::log2(60 / period / kLikeliest);
    return std::exp(-0.5 * octaves * octaves / (kPriorWidth * kPriorWidth));
}

double roughPeriod(const std::vector<double>& onsets)
{
    // Autocorrelation of the onset train, read as a comb over four beats.
    const double span = onsets.back() - onsets.front();
    const auto bins = static_cast<std::size_t>(span / kStep) + 2;
    std::vector<float> train(bins, 0.0f);
    for (double t : onsets) {
        const auto at = static_cast<std::size_t>((t - onsets.front()) / kStep);
        // A little spread, so that onsets a frame apart still meet.
        for (std::size_t k = at > 0 ? at - 1 : 0; k <= std::min(bins - 1, at + 1); ++k)
            train[k] += k == at ? 1.0f : 0.5f;
    }
    const auto maxLag = std::min(bins - 1, static_cast<std::size_t>(4 * 60 / kSlowest / kStep) + 2);
    std::vector<double> corr(maxLag + 1, 0);
    for (std::size_t lag = 1; lag <= maxLag; ++lag) {
        double s = 0;
        for (std::size_t i = 0; i + lag < bins; ++i)
            s += train[i] * train[i + lag];
        // Over the whole train: the few pairs a long lag has in a short recording count for
        // no more than they are.
        corr[lag] = s / double(bins);
    }
    auto at = [&](double seconds) {
        const double x = seconds / kStep;
        const auto i = static_cast<std::size_t>(x);
        if (i + 1 > maxLag)
            return 0.0;
        return corr[i] + (x - double(i)) * (corr[i + 1] - corr[i]);
    };
    double best = 60 / kLikeliest, bestScore = -1;
    for (double bpm = kSlowest; bpm <= kFastest; bpm += 0.25) {
        const double period = 60 / bpm;
        double comb = 0;
        for (int k = 1; k <= 4; ++k)
            comb += at(k * period);
        const double score = comb * prior(period);
        if (score > bestScore) {
            bestScore = score;
            best = period;
        }
    }
    return best;
}

// The period near `rough` where the onsets line up best with its sixteenths or triplets.
double finePeriod(const std::vector<double>& onsets, double rough)
{
    double best = rough, bestScore = -1;
    for (double f = 0.97; f <= 1.03; f += 0.0002) {
        const double period = rough * f;
        const double score = std::max(std::abs(alignment(onsets, period, 4)),
                                      std::abs(alignment(onsets, period, 3)));
        if (score > bestScore) {
            bestScore = score;
            best = period;
        }
    }
    return best;
}

// How well the longer notes fall on the beats of `period`: each onset's phasor weighted by
// the time to the next one, since a line's long notes sit on its beats.
double longNotesOnBeats(const std::vector<double>& onsets, double period)
{
    std::complex<double> sum;
    double weights = 0;
    for (std::size_t i = 0; i + 1 < onsets.size(); ++i) {
        const double w = std::min(onsets[i + 1] - onsets[i], 2 * period);
        sum += w * std::polar(1.0, 2 * std::numbers::pi * onsets[i] / period);
        weights += w;
    }
    return weights > 0 ? std::abs(sum) / weights : 0;
}

// A line of triplets read with its triplet quarter as the beat: the reading a half slower,
// when the long notes fall on its beats clearly better.
double beatOfLongNotes(const std::vector<double>& onsets, double period)
{
    const double slower = period * 1.5;
    if (60 / slower < kSlowest)
        return period;
    const bool better = longNotesOnBeats(onsets, slower) >
                        kClearlyOnBeats * longNotesOnBeats(onsets, period) + kOnBeatsMargin;
    return better ? slower : period;
}

} // namespace

BeatGrid findBeat(const std::vector<HeardNote>& notes, std::optional<double> tempo)
{
    BeatGrid grid;
    const std::vector<double> onsets = onsetsOf(notes);
    if (tempo && *tempo > 0)
        grid.period = 60 / *tempo;
    else if (onsets.size() >= 4)
        grid.period = finePeriod(onsets, beatOfLongNotes(onsets, roughPeriod(onsets)));
    if (onsets.empty())
        return grid;
    // The sixteenths' phase, then the beat among the four sixteenths that most onsets fall on.
    const std::complex<double> sixteenths = alignment(onsets, grid.period, 4);
    const double step = grid.period / 4;
    double zero = std::arg(sixteenths) / (2 * std::numbers::pi) * step;
    std::array<double, 4> weight{};
    for (double t : onsets) {
        const auto n = static_cast<long>(std::lround((t - zero) / step));
        weight[static_cast<std::size_t>(((n % 4) + 4) % 4)] += 1;
    }
    // Where two places are as full (a line of eighths), the first note's is the beat.
    auto beat = std::max_element(weight.begin(), weight.end()) - weight.begin();
    const auto firstAt =
        static_cast<std::size_t>(((std::lround((onsets.front() - zero) / step) % 4) + 4) % 4);
    if (weight[firstAt] >= 0.9 * weight[static_cast<std::size_t>(beat)])
        beat = static_cast<long>(firstAt);
    zero += double(beat) * step;
    // The first beat at or just before the first onset (half a sixteenth early still counts).
    const double first = onsets.front();
    const double beats = std::floor((first - zero + step / 2) / grid.period);
    grid.first = zero + beats * grid.period;
    return grid;
}

std::vector<Placed> placeOnGrid(const std::vector<HeardNote>& notes, const BeatGrid& grid)
{
    std::vector<Placed> placed(notes.size());
    if (notes.empty())
        return placed;
    const double p = grid.period;
    auto beatsOf = [&](double t) { return (t - grid.first) / p; };
    // Per beat: sixteenths or eighth triplets, whichever the onsets in it sit closer to.
    std::map<long, bool> triplets;
    std::map<long, std::pair<double, double>> errors;
    std::map<long, int> offBeat;
    for (const HeardNote& n : notes) {
        const double b = beatsOf(n.onset);
        const long beat = static_cast<long>(std::floor(b + 1.0 / 8));
        const double in = b - double(beat);
        auto& [e16, e3] = errors[beat];
        e16 += std::abs(in * 4 - std::round(in * 4)) / 4;
        e3 += std::abs(in * 3 - std::round(in * 3)) / 3;
        const long third = std::lround(in * 3);
        if (third == 1 || third == 2)
            ++offBeat[beat];
    }
    for (const auto& [beat, e] : errors)
        triplets[beat] = offBeat[beat] >= 2 && e.second < 0.6 * e.first;

    auto tickOf = [&](double t, bool* onTriplet) {
        const double b = beatsOf(t);
        const long beat = static_cast<long>(std::floor(b + 1.0 / 8));
        const bool triplet = triplets.count(beat) && triplets[beat];
        if (onTriplet)
            *onTriplet = triplet;
        const double in = b - double(beat);
        const std::int64_t within =
            triplet ? std::llround(in * 3) * kTripletEighth : std::llround(in * 4) * kSixteenth;
        return std::max<std::int64_t>(0, beat * files::kSongTicksPerQuarter + within);
    };

    for (std::size_t i = 0; i < notes.size(); ++i)
        placed[i].start = tickOf(notes[i].onset, nullptr);
    // Onsets closer than the grid's step would share a start and leave the first no length:
    // the later one moves on by a step, as the tab writes none shorter.
    for (std::size_t i = 1; i < notes.size(); ++i) {
        bool triplet = false;
        tickOf(notes[i - 1].onset, &triplet);
        const std::int64_t step = triplet ? kTripletEighth : kSixteenth;
        placed[i].start = std::max(placed[i].start, placed[i - 1].start + step);
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const std::int64_t next =
            i + 1 < notes.size() ? placed[i + 1].start : std::numeric_limits<std::int64_t>::max();
        bool triplet = false;
        tickOf(notes[i].onset, &triplet);
        const std::int64_t unit = triplet ? kTripletEighth : kSixteenth;
        // Sounding into the next onset, or within half a sixteenth of it: legato.
        const bool legato = i + 1 < notes.size() && notes[i + 1].onset - notes[i].offset < p / 8;
        std::int64_t end = legato ? next : tickOf(notes[i].offset, nullptr);
        end = std::min(end, next);
        placed[i].length = std::max(unit, end - placed[i].start);
        if (i + 1 < notes.size())
            placed[i].length =
                std::min(placed[i].length, std::max<std::int64_t>(0, next - placed[i].start));
    }
    return placed;
}

} // namespace quorlin::transcribe
