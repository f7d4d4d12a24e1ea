// The import of a web tab: a generated tab of 10,000 lines (and one of 1,000, to show the time
// grows with the lines alone), against the engine writing the same notes itself. Prints
// "name value" lines, nanoseconds; run.sh makes the table.

#include "bench/TabGenerator.h"
#include "files/WebTabImport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quorlin;

namespace {

struct Note {
    int string = 1;
    int fret = 0;
    int units = 1; // spacings to the next note
};

constexpr int kSpacing = 2;
constexpr int kBars = 4;
constexpr int kNotesPerBar = 8;

// Systems of four strings written as people post them: names, bars, hammer-ons and slides,
// a line of lyrics under every other one; about `lines` lines in all.
std::string webTab(int lines, std::vector<Note>& notes)
{
    std::string text = "Generated groove\nTuning: Standard\n\n";
    int written = 3;
    for (int system = 0; written < lines; ++system) {
        std::string rows[4] = {"G|", "D|", "A|", "E|"};
        for (int bar = 0; bar < kBars; ++bar) {
            for (std::string& row : rows)
                row += '-';
            for (int n = 0; n < kNotesPerBar; ++n) {
                const int i = static_cast<int>(notes.size());
                // Pairs of notes on one string, so that the second can slide.
                const Note note{1 + (i / 2 * 3 + system) % 4, i * 5 % 10, 1 + (n % 3 == 2)};
                const char mark = i % 4 == 1 ? '/' : i % 11 == 6 ? 'h' : '-';
                for (int k = 1; k <= 4; ++k) {
                    std::string& row = rows[k - 1];
                    std::string cell = k == note.string ? std::to_string(note.fret) : "";
                    if (k == note.string)
                        row.back() = mark;
                    cell.resize(static_cast<std::size_t>(note.units * kSpacing), '-');
                    row += cell;
                }
                notes.push_back(note);
            }
            for (std::string& row : rows)
                row += '|';
        }
        for (const std::string& row : rows)
            text += row + '\n';
        text += system % 2 == 0 ? "   walking all the way down   to the river\n\n" : "\n";
        written += system % 2 == 0 ? 6 : 5;
    }
    return text;
}

// The engine alone: the same notes, eighths and quarters as the spacing makes them.
void engineWrites(const std::vector<Note>& notes)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    for (const Note& note : notes)
        staff.Dropped({note.fret, note.string, note.units == 1 ? 's' : 'e'});
}

double nanoseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - since)
        .count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    for (const int lines : {1000, 10000}) {
        std::vector<Note> notes;
        const std::string text = webTab(lines, notes);
        std::vector<double> imports, floors;
        for (int r = 0; r < repeats; ++r) {
            auto start = std::chrono::steady_clock::now();
            const files::ImportedTab tab = files::importWebTab(text, {});
            imports.push_back(nanoseconds(start));
            if (tab.notes != static_cast<int>(notes.size()) || !tab.problems.empty()) {
                std::fprintf(stderr, "the generated tab imported %d of %zu notes\n", tab.notes,
                             notes.size());
                return 1;
            }
            start = std::chrono::steady_clock::now();
            engineWrites(notes);
            floors.push_back(nanoseconds(start));
        }
        std::printf("webtab_import_%d %.6g\nwebtab_engine_%d %.6g\n", lines, median(imports), lines,
                    median(floors));
    }
    return 0;
}
