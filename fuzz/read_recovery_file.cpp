// A recovery copy from anywhere: reading never crashes, a copy that reads writes back to the
// same bytes, and any valid window content written and read comes back exactly. Whatever a
// copy that reads claims of its editing state, the notes written after its restore land in
// whole blocks and never change a line that is no block's.

#include "files/RecoveryFile.h"
#include "files/TextEncoding.h"
#include "fuzz/Fakes.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NeckLabels.h"
#include "tabtext/TabFormat.h"
#include "tabtext/TextWidth.h"
#include "tests/files/RecoveryCheckSum.h"

#include <algorithm>

using namespace quorlin;

namespace {

// A random valid content, each field in its range; bytes from the input, any at all.
files::Recovered built(fuzz::FuzzInput& in)
{
    files::Recovered r;
    // What a text area hands over: UTF-8, and now and then a block of these strings.
    for (int n = in.pick(12); n > 0 && !in.empty(); --n)
        r.lines.push_back(files::toUtf8(in.text(40)));
    engine::EditingState& s = r.snapshot.state;
    s.stringCount = instrument::StringCount(instrument::kMinStrings + in.pick(3));
    // Any printable name, as a loaded header line may give it.
    for (int k = 1; k <= instrument::kMaxStrings; ++k)
        s.tuning.set(k,
                     {static_cast<char>(' ' + in.pick(95)), static_cast<char>(' ' + in.pick(95))});
    if (in.flag()) {
        const int strings = s.stringCount.value();
        const std::size_t at = r.lines.size();
        r.lines.push_back("| ");
        for (int k = 1; k <= strings; ++k)
            r.lines.push_back(s.tuning.at(k));
        r.lines.push_back("> ");
        for (int columns = in.pick(4); columns > 0; --columns)
            for (std::size_t i = at; i < r.lines.size(); ++i)
                r.lines[i] += i == at ? "  q" : i + 1 == r.lines.size() ? "   " : "--3";
    }
    s.tempo = engine::kMinTempo + in.int32() % (engine::kMaxTempo - engine::kMinTempo + 1);
    if (s.tempo < engine::kMinTempo)
        s.tempo += engine::kMaxTempo - engine::kMinTempo + 1;
    s.time = {1 + in.pick(model::kMaxBeats), 1 << in.pick(6)};
    s.tabWidth = std::min(in.int32(), engine::kMaxTabWidth);
    s.blockStart = r.lines.empty() ? 0 : in.pick(static_cast<int>(r.lines.size()));
    s.lastString = in.pick(s.stringCount.value() + 1);
    s.lastFret = in.int32() & 0x7FFFFFFF;
    s.markCol = in.pick(instrument::kNeckColumns);
    s.markRow = in.pick(instrument::kMaxStrings + 1);
    s.setupUnlocked = in.flag();
    s.chordAvailable = in.flag();
    r.snapshot.needsBlock = in.flag();
    r.snapshot.strippedBlanks = in.flag();
    r.header.from = in.text(20);
    r.header.artist = in.text(20);
    r.header.bassPerf = in.text(20);
    for (int n = in.pick(4); n > 0 && !in.empty(); --n)
        r.header.comments.push_back(in.text(20));
    r.sourcePath = in.text(30);
    return r;
}

// Whether `lines` hold a block of the present strings at `start`: each line opens with its head
// (the rhythm and articulation lines may have lost their blanks to an editor).
bool blockAt(const std::vector<std::string>& lines, int start, const engine::EditingState& s)
{
    const int strings = s.stringCount.value();
    if (start < 0 || start + strings + 2 > static_cast<int>(lines.size()))
        return false;
    const auto opens = [&](int index, std::string_view head) {
        std::string line = lines[static_cast<std::size_t>(index)].substr(0, head.size());
        line.resize(head.size(), ' ');
        return line == head;
    };
    for (int k = 1; k <= strings; ++k)
        if (!lines[static_cast<std::size_t>(start + k)].starts_with(s.tuning.at(k)))
            return false;
    return opens(start, tabtext::kRhythmPrefix) &&
           (opens(start + strings + 1, tabtext::kArticulationPrefix) ||
            opens(start + strings + 1, tabtext::kRestArticulationPrefix));
}

// Every line the action changed belonged to a block before it; a note or rest it took is at
// the end of the text's last block, whose lines all hold as many characters.
void requireInBlocks(const std::vector<std::string>& before, const fuzz::HandTabText& text,
                     const engine::EditingState& state, bool wrote)
{
    const int strings = state.stringCount.value();
    const std::vector<std::string> after = text.lines();
    QUORLIN_REQUIRE(after.size() >= before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] == before[i])
            continue;
        const int index = static_cast<int>(i);
        bool inBlock = false;
        for (int start = std::max(0, index - strings - 1); start <= index && !inBlock; ++start)
            inBlock = blockAt(before, start, state);
        QUORLIN_REQUIRE(inBlock);
    }
    if (!wrote)
        return;
    const int start = state.blockStart;
    QUORLIN_REQUIRE(start + strings + 2 == text.count() && blockAt(after, start, state));
    const std::size_t width = tabtext::characterCount(after[static_cast<std::size_t>(start + 1)]);
    for (int k = 0; k < strings + 2; ++k)
        QUORLIN_REQUIRE(tabtext::characterCount(after[static_cast<std::size_t>(start + k)]) ==
                        width);
}

// The copy restored as the window restores it, then notes, rests and the rest of the palette
// written as the input says, or by a fixed script when it says nothing more.
void writeAfterRestore(const files::Recovered& copy, fuzz::FuzzInput& in)
{
    fuzz::HandTabText text;
    engine::Staff staff(text);
    files::restoreRecovered(copy, text, staff);
    fuzz::requireNeckFits(staff);
    QUORLIN_REQUIRE(text.count() == static_cast<int>(copy.lines.size()));
    // The text area takes no other bytes: it would have made U+FFFD of them first.
    if (!std::ranges::all_of(copy.lines, files::isValidUtf8))
        return;
    for (const std::string& line : text.lines()) {
        QUORLIN_REQUIRE(line.find_first_of("\r\n") == std::string::npos);
        QUORLIN_REQUIRE(!files::hasLineBreaker(line));
    }
    const bool scripted = in.empty();
    const int strings = staff.state().stringCount.value();
    for (int step = 0; step < 12; ++step) {
        const int action = scripted ? step % 6 : in.pick(6);
        const int string = 1 + (scripted ? step % strings : in.pick(strings));
        const int fret = scripted ? step * 5 % 13 : in.pick(instrument::kFrets + 1);
        const char symbol =
            tabtext::kDurationSymbols[static_cast<std::size_t>(scripted ? step % 5 : in.pick(5))];
        const std::vector<std::string> before = text.lines();
        bool wrote = false;
        switch (action) {
        case 0:
            wrote = staff.Dropped({fret, string, symbol}) == engine::DropOutcome::Written;
            break;
        case 1:
            wrote = staff.Dropped({fret, string, symbol, engine::Technique::Plain, false,
                                   engine::Entry::Chord}) == engine::DropOutcome::Written;
            break;
        case 2:
            staff.WriteTriplet(string, fret, symbol, false);
            wrote = true;
            break;
        case 3:
            staff.setRest(symbol, step % 2 == 1);
            wrote = true;
            break;
        case 4:
            staff.RepeatLast(step % 2 == 1);
            break;
        default:
            staff.JumpLine();
            break;
        }
        requireInBlocks(before, text, staff.state(), wrote);
        fuzz::requireNeckFits(staff);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    // First byte: 0 the rest is a copy as it is; 1 the rest is a copy whose check sum gets
    // put right, so the fields behind it are fuzzed too; 2 the rest builds a content.
    const int mode = input.pick(3);
    std::string problem;
    if (mode == 2) {
        const files::Recovered written = built(input);
        const std::string text = files::recoveryFileText(written);
        const std::optional<files::Recovered> read = files::readRecoveryFile(text, problem);
        QUORLIN_REQUIRE(read.has_value() && problem.empty());
        QUORLIN_REQUIRE(*read == written);
        writeAfterRestore(*read, input);
        return 0;
    }

    std::string bytes = input.rest();
    if (mode == 1) {
        bytes += "end " + files::testing::crc32Hex(bytes) + "\n";
    }
    const std::optional<files::Recovered> read = files::readRecoveryFile(bytes, problem);
    QUORLIN_REQUIRE(read.has_value() == problem.empty());
    if (read) {
        QUORLIN_REQUIRE(files::recoveryFileText(*read) == bytes);
        writeAfterRestore(*read, input);
    }
    return 0;
}
