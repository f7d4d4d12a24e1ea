#include "score/Performance.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

namespace quorlin::score {
namespace {

using T = Technique;
using K = EventKind;
constexpr int Q = kTicksPerBeat;
constexpr T H = T::HammerOn, P = T::PullOff, Up = T::SlideUp, Down = T::SlideDown;

Note note(int string, int pitch, Technique technique = T::Plain)
{
    return {string, 0, pitch, technique};
}

Column column(std::int64_t start, std::int64_t length, std::vector<Note> notes)
{
    return {.start = start, .length = length, .rest = notes.empty(), .notes = std::move(notes)};
}

// Columns one after another, each `length` long.
Score scoreOf(std::vector<std::vector<Note>> columns, std::int64_t length = Q)
{
    Score s;
    for (auto& notes : columns) {
        s.columns.push_back(column(s.length, length, std::move(notes)));
        s.length += length;
    }
    return s;
}

Score scoreAt(std::vector<Column> columns)
{
    return {.columns = std::move(columns)};
}

Performance bare(const Score& s, PerformOptions options = {})
{
    options.setup = false;
    return perform(s, options);
}

std::vector<Event> filtered(const Performance& p, EventKind kind, int channel = -1)
{
    std::vector<Event> out;
    std::copy_if(p.events.begin(), p.events.end(), std::back_inserter(out), [&](const Event& e) {
        return e.kind == kind && (channel < 0 || e.channel == channel);
    });
    return out;
}

std::optional<std::int64_t> offOf(const Performance& p, int channel, int key, std::int64_t after)
{
    for (const Event& e : filtered(p, K::NoteOff, channel))
        if (e.number == key && e.tick > after)
            return e.tick;
    return std::nullopt;
}

// The ticks where the legato pedal goes down and up again.
std::vector<std::int64_t> pedal(const Performance& p)
{
    std::vector<std::int64_t> out;
    for (const Event& e : filtered(p, K::Controller, 0))
        if (e.number == 68)
            out.push_back(e.tick);
    return out;
}

TEST(Perform, SetupComesFirstAtTheStartOfTheRange)
{
    const Score s = scoreOf({{note(1, 40)}, {note(1, 45, Up)}});
    std::vector<std::tuple<int, int, int, int>> setup; // kind, channel, number, value or bend
    for (const Event& e : perform(s, {.firstColumn = 1}).events) {
        if (e.tick != Q || e.kind == K::NoteOn)
            break;
        setup.emplace_back(int(e.kind), e.channel, e.number,
                           e.kind == K::PitchBend ? e.bend : e.value);
    }
    constexpr int G = int(K::Program), C = int(K::Controller), B = int(K::PitchBend);
    // The glide of the range's first column comes after the setup's centred bend.
    const std::vector<std::tuple<int, int, int, int>> expected = {{G, 0, kFingerProgram, 0},
                                                                  {G, 1, kSlapProgram, 0},
                                                                  {G, 2, kPopProgram, 0},
                                                                  {C, 0, 101, 0},
                                                                  {C, 0, 100, 0},
                                                                  {C, 0, 6, 12},
                                                                  {C, 0, 38, 0},
                                                                  {C, 0, 101, 127},
                                                                  {C, 0, 100, 127},
                                                                  {C, 0, 68, 0},
                                                                  {B, 0, 0, 0},
                                                                  {B, 0, 0, -3413}};
    EXPECT_EQ(setup, expected);
    EXPECT_TRUE(filtered(bare(s), K::Program).empty());
}

// How hard a note is struck, against a plain pluck: what the numbers are is the sound's business.
enum class Strike { Pluck, Softer, Harder };

// The velocity of the first NoteOn of `key`, or -1.
int velocityOf(const Performance& p, int key)
{
    for (const Event& e : filtered(p, K::NoteOn))
        if (e.number == key)
            return e.value;
    return -1;
}

TEST(Perform, ANoteEndsWithItsColumnOrItsStringOrRingsIntoALegatoNoteAlone)
{
    // Key 40's channel, strike and NoteOff, and whether the legato pedal ties it to the note
    // after it. Each technique after a rest, so that a legato note has nothing to tie to and
    // the column index shows. kIntoNext: key 40 rings into the next column's start, by less
    // than that note lasts, so that the new note is heard on its own before it ends.
    constexpr std::int64_t kIntoNext = -1;
    const auto afterRest = [](Technique t) { return scoreOf({{}, {note(1, 40, t)}}); };
    const auto twoBeats = [](Note next, std::int64_t at, std::int64_t length = Q) {
        return scoreAt({column(0, 2 * Q, {note(1, 40)}), column(at, length, {next})});
    };
    const Note n40 = note(1, 40), n42H = note(1, 42, H), n28 = note(3, 28);
    const Score ringing =
        scoreAt({column(0, 3 * Q, {n28}), column(Q / 2, Q / 2, {n40}), column(Q, Q, {n42H})});
    using S = Strike;
    const std::tuple<const char*, int, Strike, std::int64_t, bool, Score> cases[] = {
        {"plain", 0, S::Pluck, 2 * Q, false, afterRest(T::Plain)},
        {"hammer-on", 0, S::Softer, 2 * Q, false, afterRest(H)},
        {"pull-off", 0, S::Softer, 2 * Q, false, afterRest(P)},
        {"slide up", 0, S::Softer, 2 * Q, false, afterRest(Up)},
        {"slide down", 0, S::Softer, 2 * Q, false, afterRest(Down)},
        {"slap", 1, S::Harder, 2 * Q, false, afterRest(T::Slap)},
        {"pop", 2, S::Harder, 2 * Q, false, afterRest(T::Pop)},
        {"rest next", 0, S::Pluck, Q / 2, false, scoreOf({{n40}, {}}, Q / 2)},
        {"string again", 0, S::Pluck, Q, false, twoBeats(note(1, 43), Q)},
        {"slapped again", 0, S::Pluck, Q / 4, false, twoBeats(note(1, 43, T::Slap), Q / 4)},
        {"other string within", 0, S::Pluck, 2 * Q, false, twoBeats(note(2, 43), Q)},
        {"chord", 0, S::Pluck, Q, false, scoreOf({{n40, note(2, 35)}, {n40, note(2, 35)}})},
        // Legato: the note before rings a little into it, held by the pedal.
        {"hammered", 0, S::Pluck, kIntoNext, true, scoreOf({{n40}, {n42H}})},
        {"pulled", 0, S::Pluck, kIntoNext, true, scoreOf({{n40}, {note(1, 38, P)}})},
        {"pulled short", 0, S::Pluck, kIntoNext, true, twoBeats(note(1, 42, P), Q, 9)},
        {"hammered very short", 0, S::Pluck, kIntoNext, true, twoBeats(note(1, 42, H), Q, 3)},
        {"same key", 0, S::Pluck, Q, false, scoreOf({{n40}, {note(1, 40, H)}})},
        // The pedal makes FluidSynth's channel play one note at a time: it would cut these.
        {"into a chord", 0, S::Pluck, kIntoNext, false, scoreOf({{n40}, {n42H, n28}})},
        {"after a chord", 0, S::Pluck, kIntoNext, false, scoreOf({{n40, n28}, {n42H}})},
        {"rings from before", 0, S::Pluck, kIntoNext, false, ringing},
        {"slapped", 1, S::Harder, kIntoNext, false, scoreOf({{note(1, 40, T::Slap)}, {n42H}})},
    };
    const int pluck = velocityOf(bare(afterRest(T::Plain)), 40);
    for (const auto& [name, channel, strike, off, pedalled, score] : cases) {
        SCOPED_TRACE(name);
        const Performance p = bare(score);
        for (const Event& e : filtered(p, K::NoteOn))
            EXPECT_EQ(e.tick, score.columns[std::size_t(e.column)].start);
        const auto on = std::find_if(p.events.begin(), p.events.end(),
                                     [](auto& e) { return e.kind == K::NoteOn && e.number == 40; });
        ASSERT_NE(on, p.events.end());
        EXPECT_EQ(int(on->channel), channel);
        const int velocity = on->value;
        EXPECT_EQ(strike, velocity < pluck ? S::Softer : velocity > pluck ? S::Harder : S::Pluck);
        const auto end = std::find_if(on, p.events.end(), [&](auto& e) {
            return e.kind == K::NoteOff && e.number == 40 && e.channel == on->channel;
        });
        ASSERT_NE(end, p.events.end());
        EXPECT_EQ(int(end->value), 64);
        std::vector<std::int64_t> expectedPedal;
        if (off != kIntoNext) {
            EXPECT_EQ(end->tick, off);
        } else {
            // The legato note: the last column's first note.
            const Column& next = score.columns.back();
            EXPECT_GT(end->tick, next.start);
            EXPECT_LT(end->tick - next.start, next.length);
            if (next.notes.front().technique == H || next.notes.front().technique == P) {
                EXPECT_LT(velocityOf(p, next.notes.front().pitch), velocity);
            }
            if (pedalled)
                expectedPedal = {next.start, end->tick};
        }
        EXPECT_EQ(pedal(p), expectedPedal);
    }
}

TEST(Perform, ASlideGlidesFromThePitchBeforeItBackToTheCentreBeforeTheNextNote)
{
    // The slide is column 1's first note; the bend is back at 0 at `end`.
    const std::tuple<const char*, Score, std::size_t, int, std::int64_t> cases[] = {
        {"up", scoreOf({{note(1, 40)}, {note(1, 45, Up)}}), 0, -3413, Q + 60},
        {"down", scoreOf({{note(1, 50)}, {note(1, 45, Down)}}), 0, 3413, Q + 60},
        {"up from nowhere", scoreOf({{}, {note(1, 45, Up)}}), 0, -1365, Q + 60},
        {"24 frets up", scoreOf({{note(1, 28)}, {note(1, 52, Up)}}), 0, -8192, Q + 60},
        {"from before the range", scoreOf({{note(1, 40)}, {note(1, 45, Up)}}), 1, -3413, Q + 60},
        {"short", scoreOf({{note(1, 40)}, {note(1, 45, Up)}}, 40), 0, -3413, 60},
        {"next note soon",
         scoreAt({column(0, Q, {note(1, 40)}),
                  column(Q, Q, {note(1, 45, Up), note(2, 40, T::Slap)}),
                  column(Q + 20, Q, {note(2, 33)})}),
         0, -3413, Q + 20},
        {"two in a column: the first glides",
         scoreOf({{note(1, 40), note(2, 35)}, {note(1, 45, Up), note(2, 30, Down)}}), 0, -3413,
         Q + 60},
    };
    for (const auto& [name, score, first, startBend, end] : cases) {
        SCOPED_TRACE(name);
        const Performance p = bare(score, {.firstColumn = first});
        const std::int64_t start = score.columns[1].start;
        const auto bends = filtered(p, K::PitchBend);
        ASSERT_EQ(bends.size(), 5u);
        EXPECT_EQ(bends.front().tick, start);
        EXPECT_EQ(bends.front().bend, startBend);
        EXPECT_EQ(std::tuple(bends.back().tick, bends.back().bend), std::tuple(end, 0));
        for (std::size_t i = 1; i < bends.size(); ++i)
            EXPECT_LT(std::abs(bends[i].bend), std::abs(bends[i - 1].bend));
        const auto firstAtStart = std::find_if(p.events.begin(), p.events.end(), [&](auto& e) {
            return e.tick == start && (e.kind == K::NoteOn || e.kind == K::PitchBend);
        });
        EXPECT_EQ(firstAtStart->kind, K::PitchBend);
    }
    EXPECT_TRUE(filtered(bare(scoreOf({{note(1, 45)}, {note(1, 45, Up)}})), K::PitchBend).empty());
}

TEST(Perform, ARangePlaysItsColumnsAtTheirTicksAndClicksOnItsBeats)
{
    // Keys 40, 41 and 43 at their beats; a rest at beat 2; the last column a half beat long.
    Score s = scoreOf({{note(1, 40)}, {note(1, 41)}, {}, {note(1, 43)}});
    s.columns.push_back(column(4 * Q, Q / 2, {}));
    s.columns.push_back(column(9 * Q / 2, Q, {}));
    s.length = 11 * Q / 2;
    const std::tuple<std::size_t, std::size_t, std::int64_t, std::int64_t, std::vector<int>,
                     std::vector<std::int64_t>>
        cases[] = {
            {0, std::size_t(-1), 0, 11 * Q / 2, {40, 41, 43}, {0, Q, 2 * Q, 3 * Q, 4 * Q, 5 * Q}},
            {1, 2, Q, 2 * Q, {41}, {Q}},
            {2, 4, 2 * Q, 4 * Q, {43}, {2 * Q, 3 * Q}},
            {5, 6, 9 * Q / 2, 11 * Q / 2, {}, {5 * Q}}, // from within a beat: its next one
            {6, 9, 11 * Q / 2, 11 * Q / 2, {}, {}},
            {3, 1, 3 * Q, 3 * Q, {}, {}},
        };
    for (const auto& [first, end, startTick, endTick, keys, beats] : cases) {
        SCOPED_TRACE(testing::Message() << first << ".." << end);
        const Performance p = bare(s, {.firstColumn = first, .endColumn = end, .metronome = true});
        EXPECT_EQ(std::tuple(p.startTick, p.endTick), std::tuple(startTick, endTick));
        std::vector<int> played;
        std::vector<std::int64_t> clicks;
        for (const Event& e : filtered(p, K::NoteOn)) {
            if (e.channel == kClickChannel) {
                clicks.push_back(e.tick);
                EXPECT_EQ(e.number, kClickKey);
                EXPECT_LE(offOf(p, kClickChannel, kClickKey, e.tick).value_or(1 << 30), endTick);
                continue;
            }
            played.push_back(e.number);
            EXPECT_EQ(e.tick, (e.number - 40) * Q);
        }
        EXPECT_EQ(played, keys);
        EXPECT_EQ(clicks, beats);
    }
    EXPECT_TRUE(filtered(bare(s), K::NoteOn, kClickChannel).empty());
    s.columns.push_back(column(s.length, 0, {note(1, 40)})); // of no length: nothing to play
    EXPECT_TRUE(bare(s, {.firstColumn = 6}).events.empty());
}

TEST(Perform, ALongBusyTabIsInOrderAndPaired)
{
    // Every technique, chords and rests, the same every run.
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const std::int64_t lengths[] = {Q, Q / 2, Q / 4, Q / 3, 2 * Q / 3, Q / 8, Q / 12, 2 * Q};
    std::vector<std::vector<Note>> columns(50'000);
    std::size_t written = 0;
    Score s;
    for (auto& notes : columns) {
        for (int string = 1; string <= 4; ++string) {
            if (next(3) == 0)
                notes.push_back(note(string, 28 + int(next(30)), Technique(next(7))));
        }
        written += notes.size();
        s.columns.push_back(column(s.length, lengths[next(8)], std::move(notes)));
        s.length += s.columns.back().length;
    }
    const Performance p = perform(s, {.metronome = true});

    // At one tick NoteOffs first, NoteOns last; every NoteOff ends a sounding note.
    const auto rank = [](K k) { return k == K::NoteOff ? 0 : k == K::NoteOn ? 2 : 1; };
    std::map<std::pair<int, int>, int> sounding; // by channel and key
    std::size_t notes = 0;
    for (std::size_t i = 0; i < p.events.size(); ++i) {
        const Event &b = p.events[i ? i - 1 : 0], &e = p.events[i];
        ASSERT_TRUE(b.tick < e.tick || (b.tick == e.tick && rank(b.kind) <= rank(e.kind))) << i;
        int& open = sounding[{e.channel, e.number}];
        if (e.kind == K::NoteOn) {
            ASSERT_TRUE(e.value >= 1 && e.value <= 127) << i;
            ++open;
            notes += e.channel != kClickChannel;
        } else if (e.kind == K::NoteOff) {
            ASSERT_GT(open--, 0) << i;
        }
    }
    for (const auto& [key, open] : sounding)
        EXPECT_EQ(open, 0) << key.first << ' ' << key.second;
    EXPECT_EQ(notes, written);
    EXPECT_EQ(filtered(p, K::PitchBend).back().bend, 0);
    EXPECT_GT(pedal(p).size(), 200u); // over a hundred ties, down and up
}

} // namespace
} // namespace quorlin::score
