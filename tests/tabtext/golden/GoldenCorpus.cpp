#include "tests/tabtext/golden/GoldenCorpus.h"

#include "engine/VectorTabText.h"
#include "files/RecoveryFile.h"
#include "files/TabFile.h"
#include "files/WebTabImport.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TypedTabs.h"
#include "instrument/NoteCycle.h"
#include "tests/files/RecoveryCheckSum.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quorlin::golden {

namespace {

constexpr std::uint64_t kSeed = 20261209;
constexpr int kRandomTabs = 3000;
// Enough bytes for the most actions `fuzz::type` takes, each a handful of bytes.
constexpr std::size_t kMaxRandomBytes = 1200;

// Only what git holds: inputs left by a fuzz run or a build are no part of the corpus.
std::vector<std::string> committed(const std::string& pathspecs)
{
    const std::string command =
        "git -C '" QUORLIN_SOURCE_DIR "' ls-files -z -- " + pathspecs + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run " + command);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0 || out.empty())
        throw std::runtime_error("no files from " + command);
    std::vector<std::string> paths;
    for (std::size_t from = 0; from < out.size();) {
        const std::size_t end = out.find('\0', from);
        paths.push_back(out.substr(from, end - from));
        from = end + 1;
    }
    return paths;
}

std::string bytesOf(const std::string& path)
{
    std::ifstream in(QUORLIN_SOURCE_DIR "/" + path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::uint8_t* asBytes(const std::string& bytes)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

GoldenTab fromState(std::string name, std::vector<std::string> lines,
                    const engine::EditingState& state)
{
    return {std::move(name), std::move(lines), state.stringCount, state.tuning, state.tabWidth};
}

std::vector<std::string> splitAtNewlines(std::string_view text)
{
    std::vector<std::string> lines;
    for (std::string_view line : fuzz::splitLines(text))
        lines.emplace_back(line);
    return lines;
}

GoldenTab typed(std::string name, fuzz::FuzzInput& in)
{
    bool undoing = false;
    fuzz::Setup setup = fuzz::setupOf(in, undoing);
    fuzz::Tab tab(setup);
    fuzz::type(tab, setup, undoing, in);
    return fromState(std::move(name), tab.text.lines(), tab.staff.state());
}

// import_own_tab types its actions itself, with a time signature and triplets written whole.
GoldenTab typedAsOwnTab(std::string name, fuzz::FuzzInput& in)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    fuzz::typeOnStaff(staff, in);
    return fromState(std::move(name), text.lines(), staff.state());
}

// The tab a fuzz target reads from its input, as it reads it; none for a target whose
// input is no tab.
std::optional<GoldenTab> fuzzTab(const std::string& path)
{
    const std::string bytes = bytesOf(path);
    fuzz::FuzzInput in(asBytes(bytes), bytes.size());
    const std::string target = std::filesystem::path(path).parent_path().filename().string();
    const auto strings = [&in] {
        return instrument::StringCount(instrument::kMinStrings + in.pick(3));
    };

    if (target == "engine_actions" || target == "edit_columns" || target == "edit_sequence")
        return typed("typed:" + path, in);
    if (target == "import_own_tab")
        return typedAsOwnTab("typed:" + path, in);

    const std::string name = "fuzz:" + path;
    if (target == "read_tab_file") {
        const instrument::StringCount before = strings();
        const files::LoadedTab tab = files::readTabFile(in.rest(), before, instrument::Tuning());
        return GoldenTab{name, tab.lines, tab.state.stringCount, tab.state.tuning,
                         tab.state.tabWidth};
    }
    if (target == "read_score" || target == "layout_sheet") {
        GoldenTab tab{name, {}, strings(), {}, engine::kDefaultTabWidth};
        in.byte(); // the tempo
        const int options = in.byte();
        // read_score renames a string to no note; layout_sheet's options are the page's.
        if (const int unnamed = options % 8;
            target == "read_score" && unnamed >= 1 && unnamed <= instrument::kMaxStrings)
            tab.tuning.set(unnamed, "x ");
        tab.lines = splitAtNewlines(in.rest());
        return tab;
    }
    if (target == "retune") {
        GoldenTab tab{name, {}, strings(), {}, engine::kDefaultTabWidth};
        in.byte(); // the new string count
        for (int s = 1; s <= instrument::kMaxStrings; ++s) {
            const int index = in.pick(13);
            tab.tuning.set(s, index < 12 ? std::string(instrument::kNoteCycle.substr(2 * index, 2))
                                         : "x ");
        }
        for (int s = 1; s <= instrument::kMaxStrings; ++s)
            in.byte(); // the new names
        std::istringstream text(in.rest());
        for (std::string line; std::getline(text, line);)
            tab.lines.push_back(line);
        return tab;
    }
    if (target == "import_web_tab") {
        files::WebTabOptions options;
        options.smallest = in.pickFrom(engine::kDurationSymbols);
        options.tabWidth = in.byte() - 8;
        const files::ImportedTab tab = files::importWebTab(in.rest(), options);
        return GoldenTab{name, tab.lines, tab.strings, tab.tuning, options.tabWidth};
    }
    if (target == "read_recovery_file") {
        // A content built from the input (mode 2) is random lines, no copy of a tab.
        const int mode = in.pick(3);
        if (mode == 2)
            return std::nullopt;
        std::string copy = in.rest();
        if (mode == 1)
            copy += "end " + files::testing::crc32Hex(copy) + "\n";
        std::string problem;
        const std::optional<files::Recovered> read = files::readRecoveryFile(copy, problem);
        if (!read)
            return std::nullopt;
        return fromState(name, read->lines, read->snapshot.state);
    }
    return std::nullopt;
}

class Hasher {
public:
    void add(std::int64_t value)
    {
        char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
        m_hash = fnv1a({bytes, 8}, m_hash);
    }
    void add(std::string_view text)
    {
        add(static_cast<std::int64_t>(text.size()));
        m_hash = fnv1a(text, m_hash);
    }
    std::uint64_t value() const { return m_hash; }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};

std::string hex(std::uint64_t value)
{
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(value));
    return out;
}

} // namespace

std::vector<GoldenTab> goldenCorpus()
{
    std::vector<GoldenTab> corpus;
    for (const std::string& path : committed("'*.tab'")) {
        const files::LoadedTab tab =
            files::readTabFile(bytesOf(path), instrument::StringCount(), instrument::Tuning());
        corpus.push_back({"file:" + path, tab.lines, tab.state.stringCount, tab.state.tuning,
                          tab.state.tabWidth});
    }
    for (const std::string& path : committed("fuzz/corpus fuzz/crashes")) {
        if (std::optional<GoldenTab> tab = fuzzTab(path))
            corpus.push_back(std::move(*tab));
    }
    // The standard fixes mt19937_64's output (its distributions are the library's own).
    std::mt19937_64 random(kSeed);
    for (int i = 0; i < kRandomTabs; ++i) {
        std::string bytes(2 + random() % (kMaxRandomBytes - 1), '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() & 0xFF);
        fuzz::FuzzInput in(asBytes(bytes), bytes.size());
        corpus.push_back(typed("random:" + std::to_string(i), in));
    }
    return corpus;
}

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::uint64_t textHash(const std::vector<std::string>& lines)
{
    std::uint64_t hash = fnv1a({});
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            hash = fnv1a("\n", hash);
        hash = fnv1a(lines[i], hash);
    }
    return hash;
}

std::uint64_t scoreHash(const score::Score& score)
{
    Hasher h;
    h.add(static_cast<std::int64_t>(score.columns.size()));
    for (const score::Column& c : score.columns) {
        for (const std::int64_t field :
             {std::int64_t{c.block}, std::int64_t{c.line}, std::int64_t{c.offset},
              std::int64_t{c.width}, c.start, c.length, std::int64_t{c.symbol},
              std::int64_t{c.dotted}, std::int64_t{c.triplet}, std::int64_t{c.rest}})
            h.add(field);
        h.add(static_cast<std::int64_t>(c.notes.size()));
        for (const score::Note& n : c.notes) {
            h.add(n.string);
            h.add(n.fret);
            h.add(n.pitch);
            h.add(static_cast<std::int64_t>(n.technique));
        }
    }
    h.add(static_cast<std::int64_t>(score.blocks.size()));
    for (const score::Block& b : score.blocks) {
        h.add(b.line);
        h.add(static_cast<std::int64_t>(b.firstColumn));
        h.add(static_cast<std::int64_t>(b.columnCount));
        h.add(b.start);
        h.add(b.length);
    }
    h.add(static_cast<std::int64_t>(score.skipped.size()));
    for (const score::Skip& s : score.skipped) {
        h.add(s.line);
        h.add(s.offset);
    }
    h.add(score.length);
    return h.value();
}

std::uint64_t columnsHash(const std::vector<engine::Column>& columns)
{
    Hasher h;
    h.add("columns");
    h.add(static_cast<std::int64_t>(columns.size()));
    for (const engine::Column& c : columns) {
        h.add(static_cast<std::int64_t>(c.notes.size()));
        for (const engine::ColumnNote& n : c.notes) {
            h.add(n.string);
            h.add(n.fret);
        }
        // A triplet's columns were once a technique of their own, after the others: hashed so
        // still, the manifest being frozen before they became a part number alone.
        const int technique = c.tripletPart >= 0 ? 7 : static_cast<int>(c.technique());
        for (const int field :
             {technique, int{c.symbol()}, int{c.dotted}, int{c.newLineBefore},
              c.tripletGroup, int{c.tripletPart}, c.block, c.indexInBlock, c.firstLine, c.character})
            h.add(field);
    }
    return h.value();
}

std::uint64_t refusalHash(std::string_view message)
{
    Hasher h;
    h.add("refused");
    h.add(message);
    return h.value();
}

Reading readBoth(const GoldenTab& tab)
{
    Reading reading;
    const std::vector<std::string_view> views(tab.lines.begin(), tab.lines.end());
    reading.score = score::readScore(views, tab.strings, tab.tuning, score::kDefaultTempo);
    engine::EditingState state;
    state.stringCount = tab.strings;
    state.tuning = tab.tuning;
    state.tabWidth = tab.width;
    try {
        reading.columns = engine::readColumns(engine::VectorTabText(tab.lines), state);
        reading.strict = true;
    } catch (const std::exception& e) {
        reading.refusal = e.what();
    }
    return reading;
}

Hashes hashesOf(const GoldenTab& tab, const Reading& reading)
{
    return {textHash(tab.lines), scoreHash(reading.score),
            reading.strict ? columnsHash(reading.columns) : refusalHash(reading.refusal)};
}

std::string manifestLine(const std::string& name, const Hashes& hashes)
{
    return name + ' ' + hex(hashes.text) + ' ' + hex(hashes.score) + ' ' + hex(hashes.columns);
}

bool parseManifestLine(std::string_view line, std::string& name, Hashes& hashes)
{
    // Three hashes of 16 digits at the end; the name is all before them.
    constexpr std::size_t kTail = 3 * 17;
    if (line.empty() || line.front() == '#' || line.size() <= kTail)
        return false;
    name = std::string(line.substr(0, line.size() - kTail));
    std::uint64_t* fields[] = {&hashes.text, &hashes.score, &hashes.columns};
    for (int i = 0; i < 3; ++i) {
        const std::string_view field = line.substr(line.size() - kTail + 17 * i, 17);
        if (field.front() != ' ' ||
            field.find_first_not_of("0123456789abcdef", 1) != std::string_view::npos)
            return false;
        *fields[i] = std::stoull(std::string(field.substr(1)), nullptr, 16);
    }
    return true;
}

std::string manifestPath()
{
    return QUORLIN_SOURCE_DIR "/tests/tabtext/golden/golden.txt";
}

} // namespace quorlin::golden
