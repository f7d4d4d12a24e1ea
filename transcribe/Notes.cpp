#include "transcribe/Notes.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>

namespace quorlin::transcribe {

namespace {

constexpr float kVoiced = 0.3f; // aperiodicity under which a frame has a pitch
constexpr double kClearerShare = 0.3;
constexpr double kClearerOver = 1.6;
constexpr double kMostUnclear = 0.6;
constexpr double kUnclearButPitched = 0.75;
constexpr std::size_t kAttackRadius = 5;  // 20 ms: an attack is the largest flux this near
constexpr std::size_t kMedianRadius = 25; // 100 ms of flux for the local background
constexpr std::size_t kClosestAttacks = 10;
constexpr double kAttackShare = 0.25; // of the way from the typical flux to the busiest
constexpr double kOverLocal = 2.0;
constexpr std::size_t kLongestRise = 8; // frames an attack's flux may take to peak
constexpr float kRiseShare = 0.25f;     // of the peak where the rise is taken to begin
// The window sees an attack coming a little before it sounds.
constexpr double kRiseToAttack = 0.008;  // times the flux around it
constexpr std::size_t kLegatoLook = 8;   // frames each side of an attack for its rise
constexpr float kLegatoRise = 1;         // dB an attack at least adds to a ringing string
constexpr float kUnbroken = 0.3f;        // aperiodicity a legato change stays under
constexpr std::size_t kStruckAgain = 25; // 100 ms from one attack to the same pitch's next
constexpr std::size_t kSkipAttack = 6;   // 24 ms of attack before the pitch settles
constexpr std::size_t kShortestRun = 6;  // a steady pitch lasts at least 24 ms
constexpr std::size_t kShortestLegato = 10;
constexpr std::size_t kSlideFrames = 14;
constexpr double kOvershootCents = 20;
constexpr int kGlideFrames =
    3; // frames between two pitches a slide passes through  // 56 ms between two steady pitches
constexpr std::size_t kFallFrames = 10; // 40 ms
constexpr float kFall = 9;              // dB in that time: a string let go
constexpr float kRoomFall = 5;          // dB in that time: one let go in a room
constexpr float kKnee = 2;              // times faster than before and after it
// Under this share of the first two harmonics, the period found is that of several notes.
constexpr double kChordPartials = 0.12;
constexpr int kPopAbove = 5;       // semitones over the usual slapped note
constexpr float kPercussive = -21; // dB of brightness over the level at a slap's attack
constexpr float kClickRise = 6;    // dB the brightness rises at it
constexpr std::size_t kClickLook = 8;

double percentile(std::vector<float> values, double share)
{
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(share * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + at, values.end());
    return values[at];
}

struct Run {
    std::size_t from = 0, to = 0; // frames [from, to)
    int semitone = 0;
    double cents = 0;
    double aperiodicity = 0;
    double lowPartials = 0;
};

// A twelfth, octave or fifth away: the same note heard at a multiple of its period.
bool harmonicSlip(int semitones)
{
    const int d = std::abs(semitones);
    return d == 7 || d == 12 || d == 19 || d == 24;
}

int roundedSemitone(const Frame& f, double tuning)
{
    return static_cast<int>(std::lround(midiOf(f.hz) - tuning));
}

// The semitone most clear frames of [from, to) agree on, or 0 when fewer than half are clear.
int heldSemitone(const std::vector<Frame>& frames, std::size_t from, std::size_t to,
                 const Loudness& loud)
{
    std::vector<float> semis;
    for (std::size_t i = from; i < std::min(to, frames.size()); ++i)
        if (frames[i].hz > 0 && frames[i].aperiodicity < loud.clear)
            semis.push_back(static_cast<float>(roundedSemitone(frames[i], loud.tuning)));
    if (semis.size() * 2 < to - from)
        return 0;
    return static_cast<int>(percentile(semis, 0.5));
}

// The pitch that rang before the attack is the pitch that settles after it.
bool sameNoteAcross(const std::vector<Frame>& frames, std::size_t at, const Loudness& loud)
{
    const int before = heldSemitone(frames, at - kLegatoLook, at, loud);
    const std::size_t settled = at + kSkipAttack;
    return before != 0 && before == heldSemitone(frames, settled, settled + kLegatoLook, loud);
}

} // namespace

Loudness loudness(const std::vector<Frame>& frames)
{
    Loudness loud;
    if (frames.empty())
        return loud;
    std::vector<float> levels;
    levels.reserve(frames.size());
    for (const Frame& f : frames)
        levels.push_back(f.level);
    loud.peak = *std::max_element(levels.begin(), levels.end());
    const double quiet = percentile(levels, 0.1);
    loud.floor = std::min(std::max(loud.peak - 45, quiet + 3), loud.peak - 25);
    // A room's reverberation keeps every note mixed with the ones before: how clear a frame
    // must be to count follows how clear the recording's clearer frames are.
    std::vector<float> clarity;
    for (const Frame& f : frames)
        if (f.level >= loud.floor && f.hz > 0)
            clarity.push_back(f.aperiodicity);
    loud.clear = std::clamp(kClearerOver * percentile(clarity, kClearerShare), double(kVoiced),
                            kMostUnclear);
    double sounding = 0, voiced = 0, energy = 0, high = 0;
    for (const Frame& f : frames) {
        if (f.level < loud.floor)
            continue;
        ++sounding;
        if (f.hz > 0 && f.aperiodicity < loud.clear)
            ++voiced;
        energy += std::pow(10.0, f.level / 10);
        high += std::pow(10.0, f.bright / 10);
    }
    loud.voiced = sounding > 0 ? voiced / sounding : 0;
    // The mean of the pitches' fractions as angles, so that +0.49 and -0.49 agree.
    std::complex<double> fractions;
    for (const Frame& f : frames)
        if (f.level >= loud.floor && f.hz > 0 && f.aperiodicity < loud.clear)
            fractions += std::polar(1.0, 2 * std::numbers::pi * midiOf(f.hz));
    if (std::abs(fractions) > 0)
        loud.tuning = std::arg(fractions) / (2 * std::numbers::pi);
    loud.lowShare = energy > 0 ? std::clamp(1 - high / energy, 0.0, 1.0) : 1;
    return loud;
}

std::vector<std::size_t> attacks(const std::vector<Frame>& frames, const Loudness& loud)
{
    std::vector<std::size_t> found;
    const std::size_t n = frames.size();
    if (n < 3)
        return found;
    // Three frames together: a low note's partials beat against each other frame by frame.
    std::vector<float> flux(n);
    for (std::size_t i = 0; i < n; ++i)
        flux[i] = frames[i].flux + (i > 0 ? frames[i - 1].flux : 0.0f) +
                  (i + 1 < n ? frames[i + 1].flux : 0.0f);
    // The flux of the attacks stands out from the busiest tenth of the recording's frames.
    const double typical = percentile(flux, 0.5);
    const double busy = percentile(flux, 0.97);
    const double minimum = typical + kAttackShare * (busy - typical);
    std::vector<float> local;
    double strongest = 0; // the flux of the last attack found
    for (std::size_t i = 2; i < n; ++i) {
        const std::size_t from = i > kAttackRadius ? i - kAttackRadius : 0;
        const std::size_t to = std::min(n, i + kAttackRadius + 1);
        if (flux[i] < minimum || *std::max_element(flux.begin() + static_cast<long>(from),
                                                   flux.begin() + static_cast<long>(to)) > flux[i])
            continue;
        const std::size_t mFrom = i > kMedianRadius ? i - kMedianRadius : 0;
        const std::size_t mTo = std::min(n, i + kMedianRadius + 1);
        local.assign(flux.begin() + static_cast<long>(mFrom),
                     flux.begin() + static_cast<long>(mTo));
        if (flux[i] < kOverLocal * percentile(local, 0.5))
            continue;
        // A new pitch on a ringing string moves the spectrum; an attack adds to it.
        // A new pitch on a ringing string, not louder than it rang: a hammer-on, pull-off
        // or slide, which the stretch's pitches show.
        if (i >= kLegatoLook && frames[i - kLegatoLook].level > loud.floor) {
            float before = 0, after = -120;
            before = frames[i - kLegatoLook].level;
            for (std::size_t j = i - kLegatoLook; j < i; ++j)
                before = std::min(before, frames[j].level);
            for (std::size_t j = i; j < std::min(n, i + kLegatoLook); ++j)
                after = std::max(after, frames[j].level);
            // A string struck again breaks its waveform for a moment; one fretted while it
            // rings does not.
            float broken = 0;
            for (std::size_t j = i; j < std::min(n, i + kLegatoLook); ++j)
                broken = std::max(broken, frames[j].aperiodicity);
            // A legato changes the pitch. The same pitch struck again in a room, whose
            // reverberation fills the dip before it, still rises a little and breaks the
            // waveform a little: a note of its own. A held note does neither, and a note's
            // own attack is over before a string can be struck again.
            const bool struckAgain = after - before >= kLegatoRise / 2 && broken >= kUnbroken / 3 &&
                                     (found.empty() || i - found.back() >= kStruckAgain) &&
                                     sameNoteAcross(frames, i, loud);
            if (after - before < kLegatoRise && broken < kUnbroken && !struckAgain)
                continue;
        }
        // Something must sound just after.
        double after = -120;
        for (std::size_t j = i; j < std::min(n, i + 8); ++j)
            after = std::max(after, double(frames[j].level));
        if (after < loud.floor)
            continue;
        // A slow attack starts before its flux peaks: back to where the rise began.
        std::size_t start = i;
        const float peak =
            std::max({frames[i - 1].flux, frames[i].flux, i + 1 < n ? frames[i + 1].flux : 0.0f});
        while (start > 1 && i - start < kLongestRise && frames[start - 1].flux >= kRiseShare * peak)
            --start;
        if (!found.empty() && i - found.back() < kClosestAttacks) {
            if (flux[i] > strongest)
                found.back() = start;
            strongest = std::max(strongest, double(flux[i]));
            continue;
        }
        found.push_back(start);
        strongest = flux[i];
    }
    return found;
}

namespace {

// The steady pitches between `from` and `to`, each a run of one semitone, octave slips of a
// few frames folded into the pitch around them.
std::vector<Run> runs(const std::vector<Frame>& frames, std::size_t from, std::size_t to,
                      double tuning, double clear)
{
    std::vector<int> semis(to - from, 0);
    for (std::size_t i = from; i < to; ++i) {
        const Frame& f = frames[i];
        semis[i - from] = f.hz > 0 && f.aperiodicity < clear ? roundedSemitone(f, tuning) : 0;
    }
    std::vector<Run> result;
    std::size_t i = 0;
    while (i < semis.size()) {
        if (semis[i] == 0) {
            ++i;
            continue;
        }
        std::size_t j = i;
        // A frame or two astray does not end a run.
        std::size_t last = i;
        while (j < semis.size() && (semis[j] == semis[i] || j - last <= 2)) {
            if (semis[j] == semis[i])
                last = j;
            ++j;
        }
        j = last + 1;
        if (j - i >= kShortestRun) {
            Run run{from + i, from + j, semis[i], 0, 0};
            std::vector<float> cents;
            double ap = 0, partials = 0;
            for (std::size_t k = run.from; k < run.to; ++k) {
                if (semis[k - from] != run.semitone)
                    continue;
                cents.push_back(static_cast<float>(midiOf(frames[k].hz) - tuning - run.semitone));
                ap += frames[k].aperiodicity;
                partials += frames[k].lowPartials;
            }
            run.cents = 100 * percentile(cents, 0.5);
            run.aperiodicity = ap / double(cents.size());
            run.lowPartials = partials / double(cents.size());
            result.push_back(run);
        }
        i = j;
    }
    // An octave slip: a run an octave off the longest run is that note heard wrong.
    if (result.size() > 1) {
        const auto longest = std::max_element(result.begin(), result.end(), [](auto& a, auto& b) {
            return a.to - a.from < b.to - b.from;
        });
        for (Run& r : result)
            if (harmonicSlip(r.semitone - longest->semitone))
                r.semitone = longest->semitone;
        // Runs of one pitch side by side become one.
        std::vector<Run> joined;
        for (const Run& r : result) {
            if (!joined.empty() && joined.back().semitone == r.semitone) {
                joined.back().to = r.to;
                continue;
            }
            joined.push_back(r);
        }
        result = std::move(joined);
    }
    return result;
}

// A fretted change sounds within the analysis window; a slide takes longer to get there.
bool glides(const Run& a, const Run& b)
{
    return b.from >= a.to + kSlideFrames;
}

// The note before still sounding into this one, and the pitch passing from it to this one
// through the semitones between, with no louder attack: a slide the spectrum took for one.
bool slidInto(const std::vector<Frame>& frames, const std::vector<HeardNote>& notes, std::size_t at,
              const Run& run, double tuning)
{
    if (notes.empty())
        return false;
    const HeardNote& before = notes.back();
    const int low = std::min(before.pitch, run.semitone),
              high = std::max(before.pitch, run.semitone);
    if (high - low < 2 || frameTime(at) - before.offset > kFrameSeconds * 2)
        return false;
    const std::size_t from = at > kLegatoLook ? at - kLegatoLook : 0;
    float quiet = frames[from].level, loud = -120;
    int between = 0;
    for (std::size_t i = from; i < run.from; ++i) {
        if (i < at)
            quiet = std::min(quiet, frames[i].level);
        else
            loud = std::max(loud, frames[i].level);
        if (frames[i].hz <= 0)
            continue;
        const double m = midiOf(frames[i].hz) - tuning;
        if (m > low + 0.5 && m < high - 0.5)
            ++between;
    }
    return between >= kGlideFrames && loud - quiet < kLegatoRise;
}

// The thumb slaps the low strings and the fingers pop the high ones: of the struck notes,
// those well above the line's usual slapped pitch are popped.
void popsAboveSlaps(std::vector<HeardNote>& notes)
{
    std::vector<float> struck;
    for (const HeardNote& n : notes)
        if (n.technique == model::Technique::Slap)
            struck.push_back(static_cast<float>(n.pitch));
    if (struck.empty())
        return;
    const double usual = percentile(struck, 0.5);
    for (HeardNote& n : notes)
        if (n.technique == model::Technique::Slap && n.pitch >= usual + kPopAbove)
            n.technique = model::Technique::Pop;
}

std::size_t soundingEnd(const std::vector<Frame>& frames, std::size_t from, std::size_t to,
                        const Loudness& loud)
{
    // A string let go falls silent far faster than it rings down: the end is where the level
    // starts to fall that fast, or sinks under the floor, whichever comes first.
    for (std::size_t i = from + kSkipAttack; i < to; ++i) {
        if (frames[i].level < loud.floor)
            return i;
        const std::size_t later = std::min(frames.size() - 1, i + kFallFrames);
        const float fall = frames[i].level - frames[later].level;
        if (later < to && fall > kFall)
            return i + 2;
        // In a room the tail hides the end, but a string let go still makes a knee: a fall
        // well faster than the ringing before it and the reverberation after it.
        const std::size_t after = later + kFallFrames;
        if (i >= from + kSkipAttack + kFallFrames && after < to) {
            const float before = std::max(frames[i - kFallFrames].level - frames[i].level, 0.5f);
            const float tail = std::max(frames[later].level - frames[after].level, 0.5f);
            if (fall > kRoomFall && fall > kKnee * before && fall > kKnee * tail)
                return i + 2;
        }
    }
    return to;
}

} // namespace

std::vector<HeardNote> notesBetween(const std::vector<Frame>& frames,
                                    const std::vector<std::size_t>& attacks, const Loudness& loud)
{
    std::vector<HeardNote> notes;
    for (std::size_t k = 0; k < attacks.size(); ++k) {
        const std::size_t at = attacks[k];
        const std::size_t next = k + 1 < attacks.size() ? attacks[k + 1] : frames.size();
        const std::size_t end = soundingEnd(frames, at, next, loud);
        if (end <= at + kSkipAttack)
            continue;
        std::vector<Run> steady = runs(frames, at + kSkipAttack, end, loud.tuning, loud.clear);
        // A clear attack with no clear pitch after it (a slap's first tenth of a second is
        // mostly click): the pitch the unclear frames agree on, said to be in doubt.
        bool unclear = false;
        if (steady.empty()) {
            steady = runs(frames, at + kSkipAttack, end, loud.tuning, kUnclearButPitched);
            unclear = true;
        }
        if (steady.empty())
            continue;
        // A string struck hard goes sharp and settles: a first pitch a semitone off the next,
        // between the two or shorter than it, is that overshoot, not a note of its own.
        if (steady.size() >= 2 && std::abs(steady[0].semitone - steady[1].semitone) == 1 &&
            (std::abs(steady[0].cents) > kOvershootCents ||
             steady[0].to - steady[0].from < steady[1].to - steady[1].from)) {
            steady[1].from = steady[0].from;
            steady.erase(steady.begin());
        }
        std::size_t pitched = 0;
        for (const Run& r : steady)
            pitched += r.to - r.from;

        float bright = -120, level = -120;
        for (std::size_t i = at; i < std::min(end, at + kClickLook); ++i) {
            bright = std::max(bright, frames[i].bright);
            level = std::max(level, frames[i].level);
        }
        // Bright for its loudness, and brighter than just before: a click, not hiss.
        float brightBefore = -120;
        for (std::size_t i = at > kClickLook ? at - kClickLook : 0; i + 1 < at; ++i)
            brightBefore = std::max(brightBefore, frames[i].bright);
        const bool percussive = bright - level > kPercussive && bright - brightBefore > kClickRise;

        // The attacked note, then each later steady pitch long enough to be a note of its own.
        const Run* before = nullptr;
        for (const Run& run : steady) {
            const bool first = before == nullptr;
            if (!first && run.to - run.from < kShortestLegato)
                continue;
            HeardNote note;
            note.pitch = run.semitone;
            note.onset = first ? frameTime(at) + kRiseToAttack : frameTime(before->to);
            note.offset = frameTime(end);
            if (first) {
                if (percussive)
                    note.technique = model::Technique::Slap; // popped ones found below
                else if (slidInto(frames, notes, at, run, loud.tuning))
                    note.technique = model::Technique::SlideUp; // from below, as slides in go
            } else {
                notes.back().offset = note.onset;
                if (run.semitone == before->semitone)
                    continue;
                note.technique = glides(*before, run)
                                     ? model::slideBetween(before->semitone, run.semitone)
                                 : run.semitone > before->semitone ? model::Technique::HammerOn
                                                                   : model::Technique::PullOff;
            }
            const double share =
                double(run.to - run.from) / double(std::max<std::size_t>(pitched, 1));
            const double steadiness = std::clamp(1 - std::abs(run.cents) / 50, 0.0, 1.0);
            const double clarity = std::clamp(1 - run.aperiodicity / loud.clear, 0.0, 1.0);
            note.confidence = std::clamp(0.4 * (first ? std::max(share, 0.5) : 1.0) +
                                             0.3 * steadiness + 0.3 * clarity,
                                         0.0, 1.0);
            if (unclear) {
                note.doubt = "pitch unclear";
                note.confidence = std::min(note.confidence, 0.35);
            } else if (run.lowPartials < kChordPartials) {
                note.doubt = kSeveralNotes;
                note.confidence = std::min(note.confidence, 0.3);
            } else if (std::abs(run.cents) > 35)
                note.doubt = "pitch between two notes";
            else if (first && share < 0.5)
                note.doubt = "pitch unsteady";
            else if (clarity < 0.2)
                note.doubt = "pitch unclear";
            notes.push_back(note);
            before = &run;
        }
    }
    popsAboveSlaps(notes);
    return notes;
}

} // namespace quorlin::transcribe
