#include "files/SongToTab.h"

#include "files/MidiImport.h"
#include "instrument/NoteCycle.h"
#include "score/Fingering.h"
#include "score/Retune.h"
#include "tabtext/TabCodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <tuple>

namespace quorlin::files {

namespace {

using Ticks = std::int64_t;

constexpr Ticks kSixteenth = kSongTicksPerQuarter / 4;
constexpr Ticks kSongPerTab = kSongTicksPerQuarter / model::kTicksPerBeat;
static_assert(kSongPerTab * model::kTicksPerBeat == kSongTicksPerQuarter);

// As many as the readers list at most.
constexpr std::size_t kMostProblems = 1000;
constexpr int kLowestGuitarPitch = 40; // E2: a fretted track reaching below it is a bass
constexpr int kHighestBassString = 58; // a string above it is a guitar's, whatever its name
constexpr int kBassLowE = 28;          // E1: below it a five-string bass is set up
constexpr std::array kBassFour = {43, 38, 33, 28};
constexpr std::array kBassFive = {43, 38, 33, 28, 23};
// The General MIDI basses, 0-based: acoustic to synth bass 2.
constexpr int kFirstBassProgram = 32;
constexpr int kLastBassProgram = 39;
// What a tab is made of at most, so that a crafted song cannot make one without end: a
// bar of 64 whole notes, a song of 100,000 bars of four beats.
constexpr Ticks kLongestBar = 256 * kSongTicksPerQuarter;
constexpr Ticks kLongestSong = static_cast<Ticks>(kMostSongBars) * 4 * kSongTicksPerQuarter;
// A place a mark was found is listed for this many; the rest are counted.
constexpr std::size_t kPlacesListed = 3;

// The values a column can take, longest first, in song ticks.
struct Piece {
    Ticks length;
    char symbol;
    bool dotted;
};

constexpr Ticks value(char symbol)
{
    return tabtext::durationTicks(symbol) * kSongPerTab;
}

constexpr std::array<Piece, 10> kPieces = {{
    {value('w') * 3 / 2, 'w', true},
    {value('w'), 'w', false},
    {value('h') * 3 / 2, 'h', true},
    {value('h'), 'h', false},
    {value('q') * 3 / 2, 'q', true},
    {value('q'), 'q', false},
    {value('e') * 3 / 2, 'e', true},
    {value('e'), 'e', false},
    {value('s') * 3 / 2, 's', true},
    {value('s'), 's', false},
}};

// The triplets the editor writes, by the time between their notes.
constexpr std::array<std::pair<Ticks, char>, 3> kTriplets = {
    {{value('e') * 2 / 3, 'e'}, {value('q') * 2 / 3, 'q'}, {value('h') * 2 / 3, 'h'}}};

std::string pieceName(const Piece& piece)
{
    static const std::map<char, std::string> names = {
        {'w', "whole"}, {'h', "half"}, {'q', "quarter"}, {'e', "eighth"}, {'s', "sixteenth"}};
    return std::string(piece.dotted ? "a dotted " : "a ") + names.at(piece.symbol);
}

// A time on the sixteenths.
std::string lengthWords(Ticks ticks)
{
    const Ticks n = ticks / kSixteenth;
    return n == 1 ? "a sixteenth" : std::to_string(n) + " sixteenths";
}

Ticks nearestSixteenth(Ticks t)
{
    return t >= 0 ? (t + kSixteenth / 2) / kSixteenth * kSixteenth : 0;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool namesBass(const std::string& name)
{
    const std::string text = lower(name);
    return text.find("bass") != std::string::npos && text.find("bassoon") == std::string::npos &&
           text.find("bass drum") == std::string::npos;
}

bool fretted(const SongTrack& track)
{
    const auto n = track.tuning.size();
    return n >= instrument::kMinStrings && n <= instrument::kMaxStrings;
}

bool isBass(const SongTrack& track)
{
    if (track.percussion)
        return false;
    const bool bassProgram =
        track.midiProgram >= kFirstBassProgram && track.midiProgram <= kLastBassProgram;
    // A guitar's top string makes a guitar, dropped low or named "Bassy" as it may be.
    if (fretted(track) &&
        *std::max_element(track.tuning.begin(), track.tuning.end()) > kHighestBassString)
        return bassProgram;
    if (fretted(track) &&
        *std::min_element(track.tuning.begin(), track.tuning.end()) < kLowestGuitarPitch)
        return true;
    return namesBass(track.instrument) || namesBass(track.name) || bassProgram;
}

// "A#", "E ": a string's name as the tuning keeps it.
std::string stringName(int pitch)
{
    std::string name = instrument::noteAt("C ", ((pitch % 12) + 12) % 12);
    name.resize(2, ' ');
    return name;
}

TrackSummary summarize(const SongTrack& track)
{
    TrackSummary summary;
    summary.name = track.name;
    // A file that names no instrument still says its program, as the General MIDI names go.
    summary.instrument = !track.instrument.empty() ? track.instrument
                         : track.percussion
                             ? std::string("Percussion")
                             : std::string(generalMidiProgramName(track.midiProgram));
    summary.strings = static_cast<int>(track.tuning.size());
    for (auto pitch = track.tuning.rbegin(); pitch != track.tuning.rend(); ++pitch)
        summary.tuning += (summary.tuning.empty() ? "" : " ") + score::pitchName(*pitch);
    summary.notes = static_cast<int>(track.notes.size());
    summary.bass = isBass(track);
    if (track.percussion)
        summary.whyNot = "percussion";
    else if (!track.tuning.empty() && !fretted(track))
        summary.whyNot = std::to_string(track.tuning.size()) +
                         (track.tuning.size() == 1 ? " string" : " strings") +
                         ": Quorlin writes 4 to 6";
    else if (track.notes.empty())
        summary.whyNot = "no notes";
    summary.choosable = summary.whyNot.empty();
    return summary;
}

// How a mark is said in the summary, for one note and for several.
struct MarkWords {
    model::NoteFlags mark;
    const char* one;
    const char* many;
};

constexpr std::array<MarkWords, 17> kMarkWords = {{
    {model::kDeadNote, "dead note written as a rest", "dead notes written as rests"},
    {model::kGhostNote, "ghost note played plain", "ghost notes played plain"},
    {model::kBend, "bend played plain", "bends played plain"},
    {model::kHarmonic, "harmonic played as a plain note", "harmonics played as plain notes"},
    {model::kVibrato, "note with vibrato played plain", "notes with vibrato played plain"},
    {model::kPalmMute, "palm-muted note played plain", "palm-muted notes played plain"},
    {model::kLetRing, "let-ring note played plain", "let-ring notes played plain"},
    {model::kGraceNote, "grace note left out", "grace notes left out"},
    {model::kAccent, "accent left out", "accents left out"},
    {model::kTrill, "trill played as its first note", "trills played as their first note"},
    {model::kTremoloPicking, "tremolo played as one note", "tremolos played as one note each"},
    {model::kStaccato, "staccato played as written", "staccatos played as written"},
    {model::kTapped, "tapped note played plain", "tapped notes played plain"},
    {model::kTremoloBar, "tremolo-bar dip played plain", "tremolo-bar dips played plain"},
    {model::kSlideInOrOut, "slide into or out of a note left out",
     "slides into or out of notes left out"},
    {model::kGraceBefore, "grace note left out, the note after it played",
     "grace notes left out, the notes after them played"},
    {model::kOtherMark, "other mark left out", "other marks left out"},
}};

// A file's own text quoted in a problem: a line of it, not the whole of a crafted one.
std::string shortened(const std::string& text)
{
    constexpr std::size_t kLongest = 200;
    if (text.size() <= kLongest)
        return text;
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character
    return text.substr(0, cut) + "...";
}

// Dead and grace notes take no column of their own.
constexpr model::NoteFlags kLeftOut = model::kDeadNote | model::kGraceNote;

// A note where it sounds in the song as played, on its place on the neck.
struct Hit {
    Ticks start = 0;
    Ticks end = 0;
    int string = 0;
    int fret = 0;
    int pitch = 0;
    model::Technique technique = model::Technique::Plain;
    model::NoteFlags flags = 0;
    bool tied = false;
    bool gone = false; // joined to the note it is tied from
    int bar = 0;       // as written
    Ticks inBar = 0;
};

// Notes starting together: one column.
struct Event {
    Ticks start = 0;
    Ticks end = 0;
    std::vector<Hit> notes;
};

struct Slot {
    Ticks start = 0;           // where it is written
    std::vector<Event> events; // one, or a triplet's three
    char triplet = 0;          // the triplet's value, 0 for a column
    bool moved = false;
};

class Converter {
public:
    Converter(const Song& song, int track, const SongTabOptions& options) :
        m_song(song), m_options(options),
        m_track(track >= 0 && static_cast<std::size_t>(track) < song.tracks.size()
                    ? &song.tracks[static_cast<std::size_t>(track)]
                    : nullptr)
    {
    }

    SongTab run()
    {
        header();
        if (m_track == nullptr) {
            problem(0, 0, "the song has no such track");
            return std::move(m_result);
        }
        setup();
        std::vector<Hit> written = place();
        std::vector<Hit> hits = playOut(written);
        joinTies(hits);
        write(slots(events(hits)));
        finish();
        return std::move(m_result);
    }

private:
    void problem(int bar, double beat, std::string what)
    {
        m_result.problems.push_back({bar, beat, std::move(what)});
    }

    double beatOf(int bar, Ticks inBar) const
    {
        const SongBar& b = m_song.bars[static_cast<std::size_t>(bar)];
        const int beatType = b.beatType > 0 ? b.beatType : 4;
        const Ticks beat = kSongTicksPerQuarter * 4 / beatType;
        return 1.0 + static_cast<double>(inBar) / static_cast<double>(beat);
    }

    void problemAt(const Hit& hit, std::string what)
    {
        problem(hit.bar + 1, beatOf(hit.bar, hit.inBar), std::move(what));
    }

    void header()
    {
        SongHeader& h = m_result.header;
        const auto comment = [&h](const std::string& label, const std::string& text) {
            if (!text.empty())
                h.comments.push_back(label + text);
        };
        comment("", m_song.title);
        comment("", m_song.subtitle);
        h.artist = m_song.artist;
        h.from = m_song.author;
        comment("Album: ", m_song.album);
        comment("Words: ", m_song.words);
        comment("Music: ", m_song.music);
        comment("", m_song.copyright);
        for (const std::string& notice : m_song.notices)
            comment("", notice);

        // The tempo first in the song; the readers list the tempos in time order.
        std::vector<SongTempo> tempos = m_song.tempos;
        for (SongTempo& tempo : tempos) {
            if (!std::isfinite(tempo.quartersPerMinute) || tempo.quartersPerMinute <= 0)
                tempo.quartersPerMinute = 120;
            tempo.quartersPerMinute = std::min(tempo.quartersPerMinute, 1e6);
        }
        std::stable_sort(tempos.begin(), tempos.end(), [](const SongTempo& a, const SongTempo& b) {
            return std::tie(a.bar, a.start) < std::tie(b.bar, b.start);
        });
        const auto rounded = [](double qpm) {
            const double r = std::round(qpm);
            return static_cast<int>(std::clamp(std::isfinite(r) ? r : 120.0,
                                               double{model::kMinTempo}, double{model::kMaxTempo}));
        };
        m_result.tempo = tempos.empty() ? 120 : rounded(tempos.front().quartersPerMinute);
        if (!tempos.empty() && rounded(tempos.front().quartersPerMinute) !=
                                   std::round(tempos.front().quartersPerMinute))
            problem(tempos.front().bar + 1, 1,
                    "tempo " + std::to_string(std::lround(tempos.front().quartersPerMinute)) +
                        ": the tab's tempo is " + std::to_string(m_result.tempo));
        for (std::size_t i = 1; i < tempos.size(); ++i) {
            const SongTempo& t = tempos[i];
            if (std::lround(t.quartersPerMinute) == std::lround(tempos[i - 1].quartersPerMinute))
                continue;
            const bool inSong = t.bar >= 0 && static_cast<std::size_t>(t.bar) < m_song.bars.size();
            problem(t.bar + 1, inSong ? beatOf(t.bar, t.start) : 1,
                    "tempo changes to " + std::to_string(std::lround(t.quartersPerMinute)) +
                        ": the tab keeps " + std::to_string(m_result.tempo));
        }

        if (m_song.bars.empty())
            return;
        const SongBar& first = m_song.bars.front();
        const model::TimeSignature time{first.beats, first.beatType};
        if (model::isValid(time))
            m_result.tab.time = time;
        else
            problem(1, 1,
                    "time signature " + std::to_string(first.beats) + "/" +
                        std::to_string(first.beatType) + " cannot be saved with a tab: left out");
        for (std::size_t b = 1; b < m_song.bars.size(); ++b) {
            const SongBar& bar = m_song.bars[b];
            const SongBar& before = m_song.bars[b - 1];
            if (bar.beats != before.beats || bar.beatType != before.beatType)
                problem(static_cast<int>(b) + 1, 1,
                        "time signature changes to " + std::to_string(bar.beats) + "/" +
                            std::to_string(bar.beatType) + ": the tab keeps the first");
        }
    }

    void setup()
    {
        const SongTrack& track = *m_track;
        if (track.percussion)
            problem(0, 0, "a percussion track: its notes are pitches on no string");
        if (fretted(track) && !track.percussion) {
            m_open = track.tuning;
            m_keepPlaces = true;
            if (*std::min_element(m_open.begin(), m_open.end()) >= kLowestGuitarPitch)
                problem(0, 0,
                        "a guitar track: its tab is kept, and it will sound in the bass's octave");
            if (track.capo > 0)
                problem(0, 0,
                        "capo at fret " + std::to_string(track.capo) +
                            ": the frets are written as the file gives them");
        } else {
            if (!track.tuning.empty() && !track.percussion)
                problem(0, 0,
                        std::to_string(track.tuning.size()) +
                            " strings: the notes are placed on a bass's strings");
            int lowest = kBassLowE;
            for (const SongNote& note : track.notes)
                lowest = std::min(lowest, note.pitch);
            if (lowest < kBassLowE)
                m_open.assign(kBassFive.begin(), kBassFive.end());
            else
                m_open.assign(kBassFour.begin(), kBassFour.end());
        }
        const int count = static_cast<int>(m_open.size());
        m_result.tab.strings = instrument::StringCount(count);
        for (int k = 1; k <= count; ++k)
            m_result.tab.tuning.set(k, stringName(m_open[static_cast<std::size_t>(k - 1)]));
    }

    // The first voice's notes where the file has them, each on a string and fret; the marks
    // and the other voices counted.
    std::vector<Hit> place()
    {
        std::vector<Hit> hits;
        std::vector<score::ToPlace> toPlace;
        std::vector<std::size_t> toPlaceHit;
        int chord = -1;
        std::pair<int, Ticks> chordAt{-1, -1};
        const int strings = static_cast<int>(m_open.size());
        for (const SongNote& note : m_track->notes) {
            if (note.bar < 0 || static_cast<std::size_t>(note.bar) >= m_song.bars.size() ||
                note.start < 0)
                continue;
            Hit hit;
            hit.start = std::min(note.start, kLongestBar);
            hit.end = hit.start + std::clamp<Ticks>(note.length, 0, kLongestBar);
            hit.pitch = note.pitch;
            hit.technique = note.technique;
            hit.flags = note.marks;
            hit.tied = note.tiedToNext;
            hit.bar = note.bar;
            hit.inBar = hit.start;
            if (note.voice != 0) {
                count(m_otherVoices, hit);
                continue;
            }
            for (const MarkWords& words : kMarkWords) {
                if (note.marks & words.mark & ~tabtext::kWrittenMarks)
                    count(m_marks[words.mark], hit);
            }
            if (note.marks & kLeftOut)
                continue;
            if (m_keepPlaces && note.string >= 1 && note.string <= strings) {
                const int open = m_open[static_cast<std::size_t>(note.string - 1)];
                hit.string = note.string;
                hit.fret = note.fret >= 0 ? note.fret : note.pitch - open;
                // A fret worked out from the pitch is no fret the file wrote: say the pitch.
                if (note.fret < 0 && hit.fret < 0) {
                    problemAt(hit, score::pitchName(note.pitch) + " on string " +
                                       std::to_string(note.string) +
                                       ": below its open note, left out");
                    continue;
                }
                if (hit.fret > instrument::kFrets) {
                    problemAt(hit, (note.fret >= 0 ? "fret " + std::to_string(hit.fret)
                                                   : score::pitchName(note.pitch)) +
                                       " on string " + std::to_string(note.string) +
                                       ": past the neck's " + std::to_string(instrument::kFrets) +
                                       " frets, left out");
                    continue;
                }
            } else if (m_keepPlaces && note.string != 0) {
                problemAt(hit, "a note on string " + std::to_string(note.string) +
                                   ", which the track does not have: left out");
                continue;
            } else {
                if (std::pair{note.bar, note.start} != chordAt) {
                    ++chord;
                    chordAt = {note.bar, note.start};
                }
                toPlace.push_back({note.pitch, chord});
                toPlaceHit.push_back(hits.size());
            }
            hits.push_back(hit);
        }
        const std::vector<score::Place> places = score::chooseFingering(toPlace, m_open);
        for (std::size_t i = 0; i < places.size(); ++i) {
            Hit& hit = hits[toPlaceHit[i]];
            hit.string = places[i].string;
            hit.fret = places[i].fret;
            if (hit.string == 0) {
                problemAt(hit, score::pitchName(hit.pitch) + ": no string reaches it, left out");
                hit.gone = true;
            }
        }
        std::erase_if(hits, [](const Hit& hit) { return hit.gone; });
        return hits;
    }

    struct Counted {
        int count = 0;
        std::vector<std::pair<int, double>> places;
    };

    void count(Counted& counted, const Hit& hit)
    {
        ++counted.count;
        if (counted.places.size() < kPlacesListed)
            counted.places.emplace_back(hit.bar + 1, beatOf(hit.bar, hit.inBar));
    }

    // The bars in the order a player plays them.
    std::vector<std::size_t> order()
    {
        const std::vector<SongBar>& bars = m_song.bars;
        std::vector<std::size_t> played;
        if (m_options.repeatsOnce) {
            for (std::size_t b = 0; b < bars.size(); ++b)
                played.push_back(b);
            return played;
        }
        std::size_t sectionStart = 0;
        int pass = 1;
        bool jumped = false;
        bool inEndings = false;
        for (std::size_t b = 0; b < bars.size();) {
            const SongBar& bar = bars[b];
            if (bar.endings == 0 && inEndings) {
                // Past the last ending: a new section starts here.
                inEndings = false;
                pass = 1;
                sectionStart = b;
            }
            if (bar.repeatStart && !jumped) {
                sectionStart = b;
                pass = 1;
            }
            jumped = false;
            if (bar.endings != 0) {
                inEndings = true;
                if (pass > 32 || (bar.endings & (1u << (pass - 1))) == 0) {
                    ++b;
                    continue;
                }
            }
            if (played.size() == kMostSongBars) {
                problem(static_cast<int>(b) + 1, 1,
                        "the repeats play more than " + std::to_string(kMostSongBars) +
                            " bars: the rest is left out");
                break;
            }
            played.push_back(b);
            if (bar.repeatEnd > 0 && pass < bar.repeatEnd) {
                ++pass;
                b = sectionStart;
                jumped = true;
                inEndings = false;
                continue;
            }
            if (bar.repeatEnd > 0) {
                pass = 1;
                sectionStart = b + 1;
                inEndings = false;
            }
            ++b;
        }
        return played;
    }

    std::vector<Hit> playOut(const std::vector<Hit>& written)
    {
        for (std::size_t b = 0; b < m_song.bars.size(); ++b) {
            if (!m_song.bars[b].direction.empty())
                problem(static_cast<int>(b) + 1, 1,
                        "\"" + shortened(m_song.bars[b].direction) + "\": not followed");
        }
        std::vector<std::vector<const Hit*>> byBar(m_song.bars.size());
        for (const Hit& hit : written)
            byBar[static_cast<std::size_t>(hit.bar)].push_back(&hit);
        std::vector<Hit> hits;
        Ticks at = 0;
        for (const std::size_t b : order()) {
            // A crafted song must not make a tab without end: its bars or repeats stop here.
            if (hits.size() + byBar[b].size() > kMostSongNotes || at > kLongestSong) {
                problem(static_cast<int>(b) + 1, 1,
                        "the song as played is longer than Quorlin writes: the rest is left out");
                break;
            }
            if (m_options.repeatsOnce)
                barMark(b, at);
            for (const Hit* hit : byBar[b]) {
                Hit played = *hit;
                played.start += at;
                played.end += at;
                hits.push_back(played);
            }
            at += std::clamp<Ticks>(m_song.bars[b].length, 0, kLongestBar);
        }
        m_end = at;
        std::stable_sort(hits.begin(), hits.end(),
                         [](const Hit& a, const Hit& b) { return a.start < b.start; });
        return hits;
    }

    // Written once, the repeats keep their signs as marks of the song, where the bar starts
    // on the tab's sixteenths.
    void barMark(std::size_t b, Ticks at)
    {
        const SongBar& bar = m_song.bars[b];
        if (!bar.repeatStart && bar.repeatEnd <= 0 && bar.endings == 0 && bar.direction.empty())
            return;
        model::BarMark mark;
        mark.tick = nearestSixteenth(at) / kSongPerTab;
        mark.repeatStart = bar.repeatStart;
        mark.repeatEnd = std::max(bar.repeatEnd, 0);
        mark.endings = bar.endings;
        mark.direction = shortened(bar.direction);
        m_result.song.marks.push_back(std::move(mark));
    }

    // A note tied to the next of its pitch and string lasts until that one ends.
    static void joinTies(std::vector<Hit>& hits)
    {
        for (std::size_t i = 0; i < hits.size(); ++i) {
            Hit& hit = hits[i];
            for (std::size_t j = i + 1; hit.tied && !hit.gone && j < hits.size(); ++j) {
                Hit& next = hits[j];
                if (next.gone || next.string != hit.string || next.pitch != hit.pitch ||
                    next.start < hit.end)
                    continue;
                if (next.start > hit.end)
                    break;
                hit.end = next.end;
                hit.tied = next.tied;
                hit.flags |= next.flags;
                next.gone = true;
            }
        }
        std::erase_if(hits, [](const Hit& hit) { return hit.gone; });
    }

    std::vector<Event> events(const std::vector<Hit>& hits)
    {
        std::vector<Event> result;
        for (const Hit& hit : hits) {
            if (result.empty() || result.back().start != hit.start)
                result.push_back({hit.start, hit.end, {}});
            Event& event = result.back();
            if (std::ranges::any_of(event.notes,
                                    [&](const Hit& n) { return n.string == hit.string; })) {
                problemAt(hit, "two notes on string " + std::to_string(hit.string) +
                                   " at once: one left out");
                continue;
            }
            event.end = std::max(event.end, hit.end);
            m_end = std::max(m_end, hit.end);
            event.notes.push_back(hit);
        }
        return result;
    }

    static bool oneNote(const Event& event, const Hit& lead)
    {
        return event.notes.size() == 1 && event.notes.front().string == lead.string &&
               event.notes.front().fret == lead.fret;
    }

    // The triplet value of three notes starting at `at`, as the engine writes a triplet: one
    // note three times, the last may be a chord holding it.
    static char triplet(const std::vector<Event>& events, std::size_t at)
    {
        if (at + 2 >= events.size() || events[at].start % kSixteenth != 0 ||
            events[at].notes.size() != 1)
            return 0;
        const Hit& lead = events[at].notes.front();
        for (const auto& [step, symbol] : kTriplets) {
            const Ticks a = events[at].start;
            if (events[at + 1].start != a + step || events[at + 2].start != a + 2 * step)
                continue;
            if (at + 3 < events.size() && events[at + 3].start < a + 3 * step)
                continue;
            const bool holds = std::ranges::any_of(events[at + 2].notes, [&](const Hit& n) {
                return n.string == lead.string && n.fret == lead.fret;
            });
            if (oneNote(events[at + 1], lead) && holds)
                return symbol;
        }
        return 0;
    }

    std::vector<Slot> slots(std::vector<Event> events)
    {
        std::vector<Slot> result;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (const char symbol = triplet(events, i)) {
                result.push_back(
                    {events[i].start, {events[i], events[i + 1], events[i + 2]}, symbol, false});
                i += 2;
                continue;
            }
            Event& event = events[i];
            const Ticks start = nearestSixteenth(event.start);
            const bool moved = start != event.start;
            if (moved)
                problemAt(event.notes.front(),
                          event.start % (value('e') * 2 / 3) == 0
                              ? "a triplet of different notes, which Quorlin does not write: "
                                "moved to the nearest sixteenth"
                              : "starts between sixteenths: moved to the nearest");
            if (!result.empty()) {
                Slot& before = result.back();
                const Ticks beforeEnd =
                    before.triplet
                        ? before.start + 3 * (before.events[1].start - before.events[0].start)
                        : before.start + kSixteenth;
                if (start < beforeEnd) {
                    if (!before.triplet && joinInto(before.events.front(), event))
                        continue;
                    // A note on its own time keeps it: a note only moved there gives way.
                    if (!moved && before.moved && !before.triplet) {
                        for (const Hit& hit : before.events.front().notes)
                            problemAt(hit, "no room between the notes around it: left out");
                        before = {start, {std::move(event)}, 0, false};
                        continue;
                    }
                    problemAt(event.notes.front(), "no room between the notes around it: left out");
                    continue;
                }
            }
            result.push_back({start, {std::move(event)}, 0, moved});
        }
        return result;
    }

    // A note moved onto the column before joins its chord where its strings are free.
    bool joinInto(Event& chord, const Event& event)
    {
        for (const Hit& hit : event.notes) {
            if (std::ranges::any_of(chord.notes,
                                    [&](const Hit& n) { return n.string == hit.string; }))
                return false;
        }
        chord.notes.insert(chord.notes.end(), event.notes.begin(), event.notes.end());
        chord.end = std::max(chord.end, event.end);
        return true;
    }

    void rests(Ticks from, Ticks to)
    {
        while (to - from >= kSixteenth) {
            const Piece& piece = *std::ranges::find_if(
                kPieces, [&](const Piece& p) { return p.length <= to - from; });
            model::Beat rest;
            rest.value = tabtext::valueOf(piece.symbol);
            rest.dotted = piece.dotted;
            m_beats.push_back(rest);
            m_fixedLead.push_back(0);
            from += piece.length;
        }
    }

    // The note carrying a technique first, then the others by string.
    static std::vector<Hit> ordered(std::vector<Hit> notes)
    {
        std::stable_sort(notes.begin(), notes.end(), [](const Hit& a, const Hit& b) {
            const bool ma = a.technique != model::Technique::Plain;
            const bool mb = b.technique != model::Technique::Plain;
            return ma != mb ? ma : a.string < b.string;
        });
        return notes;
    }

    static model::Note modelNote(const Hit& hit)
    {
        return {hit.string, hit.fret, model::Technique::Plain, hit.flags};
    }

    // The beat's notes as the tab reads them back: a tie's or a triplet's own note first, the
    // others by string.
    void push(model::Beat beat, model::Technique technique, int fixedLead)
    {
        const bool tie = model::isTie(technique);
        std::sort(beat.notes.begin() + (tie || beat.triplet ? 1 : 0), beat.notes.end(),
                  [](const model::Note& a, const model::Note& b) { return a.string < b.string; });
        if (tie)
            beat.notes.front().technique = technique;
        else if (technique != model::Technique::Plain)
            for (model::Note& note : beat.notes)
                note.technique = technique;
        m_notes += static_cast<int>(beat.notes.size());
        m_beats.push_back(std::move(beat));
        m_fixedLead.push_back(fixedLead);
    }

    void column(const Event& event, const Piece& piece)
    {
        const std::vector<Hit> notes = ordered(event.notes);
        model::Beat beat;
        beat.value = tabtext::valueOf(piece.symbol);
        beat.dotted = piece.dotted;
        for (const Hit& hit : notes)
            beat.notes.push_back(modelNote(hit));
        const Hit& lead = notes.front();
        const bool slap = std::ranges::any_of(
            notes, [](const Hit& n) { return n.technique == model::Technique::Slap; });
        const bool pop = std::ranges::any_of(
            notes, [](const Hit& n) { return n.technique == model::Technique::Pop; });
        using model::Technique;
        for (std::size_t n = 1; n < notes.size(); ++n) {
            const Technique t = notes[n].technique;
            if (t != Technique::Plain && t != Technique::Slap && t != Technique::Pop)
                problemAt(notes[n], "a hammer-on, pull-off or slide on a second note of a chord: "
                                    "played plain");
        }
        Technique technique = Technique::Plain;
        int fixedLead = 0;
        if (slap || pop) {
            technique = slap ? Technique::Slap : Technique::Pop;
            if (slap && pop)
                problemAt(lead, "slap and pop on one chord: slapped");
        } else if (lead.technique != Technique::Plain) {
            technique = legato(lead);
            if (model::isTie(technique))
                fixedLead = lead.string;
            // The editor slides on from the chord note played last, and a chord's tie note is
            // played first: a slide from that note of a chord is written plain.
            if (model::isSlide(technique) && slidesFromChordLead(lead.string))
                technique = Technique::Plain;
        }
        if ((slap || pop) && lead.technique != Technique::Plain &&
            lead.technique != Technique::Slap && lead.technique != Technique::Pop)
            problemAt(lead, std::string("a hammer-on, pull-off or slide on a ") +
                                (slap ? "slapped" : "popped") + " note: played plain");
        push(std::move(beat), technique, fixedLead);
    }

    // The beat before, on the string, is a chord led by its tie's or its triplet's note there.
    bool slidesFromChordLead(int string) const
    {
        for (std::size_t b = m_beats.size(); b-- > 0;) {
            if (!m_beats[b].rest())
                return m_beats[b].chord() && m_fixedLead[b] == string;
        }
        return false;
    }

    // Hammer-on or pull-off by the pitch it goes to, a slide up or down, from the note before
    // on the same string; plain, and listed, when there is none.
    model::Technique legato(const Hit& lead)
    {
        using model::Technique;
        const model::Note* before = nullptr;
        for (auto b = m_beats.rbegin(); b != m_beats.rend() && before == nullptr; ++b) {
            if (b->rest())
                continue;
            const auto on = std::ranges::find(b->notes, lead.string, &model::Note::string);
            if (on == b->notes.end())
                break;
            before = &*on;
        }
        const char* name = model::isSlide(lead.technique) ? "slide" : "hammer-on or pull-off";
        if (before == nullptr) {
            problemAt(lead, std::string("a ") + name + " from no note on its string: played plain");
            return Technique::Plain;
        }
        if (before->fret == lead.fret) {
            problemAt(lead, std::string("a ") + name + " to the same fret: played plain");
            return Technique::Plain;
        }
        const bool up = lead.fret > before->fret;
        if (model::isSlide(lead.technique))
            return up ? Technique::SlideUp : Technique::SlideDown;
        return up ? Technique::HammerOn : Technique::PullOff;
    }

    // One note three times; the last may be a chord holding it.
    void tripletBeats(const Slot& slot)
    {
        const Hit& lead = slot.events.front().notes.front();
        for (int part = 0; part < 3; ++part) {
            const Event& event = slot.events[static_cast<std::size_t>(part)];
            model::Beat beat;
            beat.value = tabtext::valueOf(slot.triplet);
            beat.triplet = true;
            beat.tripletPart = static_cast<std::int8_t>(part);
            beat.notes.push_back(modelNote(lead));
            for (const Hit& hit : event.notes) {
                if (hit.technique != model::Technique::Plain)
                    problemAt(hit, "a technique inside a triplet: played plain");
                if (hit.string != lead.string)
                    beat.notes.push_back(modelNote(hit));
                else
                    beat.notes.front().flags = hit.flags;
            }
            push(std::move(beat), model::Technique::Plain, lead.string);
        }
    }

    void write(const std::vector<Slot>& slots)
    {
        const Ticks end = std::max(nearestSixteenth(m_end + kSixteenth / 2 - 1),
                                   slots.empty() ? Ticks{0} : slots.back().start + kSixteenth);
        Ticks at = 0;
        for (std::size_t k = 0; k < slots.size(); ++k) {
            const Slot& slot = slots[k];
            rests(at, slot.start);
            if (slot.triplet) {
                tripletBeats(slot);
                at = slot.start + 3 * (slot.events[1].start - slot.events[0].start);
                continue;
            }
            const Event& event = slot.events.front();
            const Ticks next = k + 1 < slots.size() ? slots[k + 1].start : end;
            const Ticks gap = next - slot.start;
            const Ticks held =
                std::clamp(nearestSixteenth(event.end) - slot.start, kSixteenth, gap);
            // The value nearest the time held that fits before the next note, the shorter of
            // two as near.
            const Piece* best = nullptr;
            for (const Piece& piece : kPieces) {
                if (piece.length <= gap && (best == nullptr || std::abs(piece.length - held) <=
                                                                   std::abs(best->length - held)))
                    best = &piece;
            }
            column(event, *best);
            // Held to the nearest sixteenth as its start is: a note a little short of its
            // value, as MIDI files play them, is that value and no problem.
            if (best->length != held)
                problemAt(event.notes.front(), "held " + lengthWords(held) + ": written as " +
                                                   pieceName(*best) +
                                                   (best->length < gap ? " and a rest" : ""));
            at = slot.start + best->length;
        }
        rests(at, end);

        model::Song& song = m_result.song;
        song.tempo = m_result.tempo;
        song.time = m_result.tab.time.value_or(model::TimeSignature{});
        song.width = std::min(m_options.tabWidth, model::kMaxWidth);
        model::Track& track = song.tracks.emplace_back();
        track.name = m_track->name;
        track.strings = m_result.tab.strings;
        track.tuning = m_result.tab.tuning;
        track.beats = std::move(m_beats);
        const tabtext::Setup setup{track.strings, track.tuning, song.width};
        m_result.tab.lines = tabtext::writeTab(track, tabtext::layOut(track, setup), setup);
        m_result.tab.notes = m_notes;
    }

    static std::string placesText(const Counted& counted)
    {
        std::string text;
        for (const auto& [bar, beat] : counted.places)
            text += (text.empty() ? "" : ", ") + std::string("bar ") + std::to_string(bar) +
                    " beat " + beatText(beat);
        if (counted.count > static_cast<int>(counted.places.size()))
            text += ", ...";
        return text;
    }

    void mark(const Counted& counted, const char* one, const char* many)
    {
        if (counted.count == 0)
            return;
        const std::string what =
            std::to_string(counted.count) + " " + (counted.count == 1 ? one : many);
        m_result.marks.push_back(what);
        const auto [bar, beat] = counted.places.front();
        problem(bar, beat, what + " (" + placesText(counted) + ")");
    }

    void finish()
    {
        for (const MarkWords& words : kMarkWords)
            mark(m_marks[words.mark], words.one, words.many);
        mark(m_otherVoices, "note of a second voice left out", "notes of second voices left out");
        for (const SongProblem& p : m_song.problems)
            m_result.problems.push_back(p);
        std::vector<SongProblem>& problems = m_result.problems;
        std::stable_sort(problems.begin(), problems.end(),
                         [](const SongProblem& a, const SongProblem& b) {
                             return std::tie(a.bar, a.beat) < std::tie(b.bar, b.beat);
                         });
        // A place played again by a repeat says the same once.
        problems.erase(std::unique(problems.begin(), problems.end(),
                                   [](const SongProblem& a, const SongProblem& b) {
                                       return a.bar == b.bar && a.beat == b.beat &&
                                              a.what == b.what;
                                   }),
                       problems.end());
        // A crafted song can make a problem of every note: the counted kinds, then the first
        // of the rest by place, are listed, and the others counted.
        if (problems.size() > kMostProblems) {
            std::erase_if(problems, [](const SongProblem& p) {
                return p.bar == 0 && p.what == "more problems than these, not listed";
            });
            std::stable_partition(problems.begin(), problems.end(), [this](const SongProblem& p) {
                return std::ranges::any_of(m_result.marks, [&](const std::string& mark) {
                    return p.what.starts_with(mark + " (");
                });
            });
            m_result.unlisted = static_cast<int>(problems.size() - kMostProblems);
            problems.resize(kMostProblems);
            std::stable_sort(problems.begin(), problems.end(),
                             [](const SongProblem& a, const SongProblem& b) {
                                 return std::tie(a.bar, a.beat) < std::tie(b.bar, b.beat);
                             });
            problems.push_back({0, 0, "more problems than these, not listed"});
        }
    }

    const Song& m_song;
    const SongTabOptions& m_options;
    const SongTrack* m_track;
    SongTab m_result;
    std::vector<int> m_open; // highest first
    bool m_keepPlaces = false;
    Ticks m_end = 0;
    std::map<model::NoteFlags, Counted> m_marks;
    Counted m_otherVoices;
    std::vector<model::Beat> m_beats;
    // The string of each beat's note that the editor plays first (a tie's or a triplet's
    // own), 0 where any may be.
    std::vector<int> m_fixedLead;
    int m_notes = 0;
};

} // namespace

std::vector<TrackSummary> listTracks(const Song& song)
{
    std::vector<TrackSummary> list;
    for (const SongTrack& track : song.tracks)
        list.push_back(summarize(track));
    return list;
}

int defaultTrack(const Song& song)
{
    const std::vector<TrackSummary> list = listTracks(song);
    for (const bool bassOnly : {true, false}) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].choosable && (list[i].bass || !bassOnly))
                return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<int> trackOrder(const Song& song)
{
    const std::vector<TrackSummary> list = listTracks(song);
    std::vector<int> order;
    for (const bool bass : {true, false}) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].bass == bass)
                order.push_back(static_cast<int>(i));
        }
    }
    return order;
}

SongTab songToTab(const Song& song, int track, const SongTabOptions& options)
{
    return Converter(song, track, options).run();
}

std::string beatText(double beat)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::round(beat * 1000) / 1000);
    std::string shown = text;
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.')
        shown.pop_back();
    return shown;
}

std::string songSummary(const SongTab& tab)
{
    const int notes = tab.tab.notes;
    std::string text = notes == 0   ? std::string("No notes imported")
                       : notes == 1 ? std::string("1 note imported")
                                    : std::to_string(notes) + " notes imported";
    for (const std::string& mark : tab.marks)
        text += "; " + mark;
    // The line saying more are not listed is none of them.
    const std::size_t others = tab.problems.size() -
                               std::min(tab.problems.size(), tab.marks.size()) +
                               static_cast<std::size_t>(tab.unlisted) - (tab.unlisted > 0 ? 1 : 0);
    if (others == 0)
        return text;
    int first = 0;
    int last = 0;
    for (const SongProblem& p : tab.problems) {
        if (p.bar > 0) {
            first = first == 0 ? p.bar : std::min(first, p.bar);
            last = std::max(last, p.bar);
        }
    }
    text += "; " + std::to_string(others) + (others == 1 ? " other problem" : " other problems");
    if (first == 0)
        return text;
    // Past the listed ones the last bar is not known.
    if (tab.unlisted > 0)
        return text + ", from bar " + std::to_string(first);
    return text + (first == last
                       ? ", bar " + std::to_string(first)
                       : ", bars " + std::to_string(first) + " to " + std::to_string(last));
}

} // namespace quorlin::files
