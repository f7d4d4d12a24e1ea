// The printed pages from the command line: a PDF of as many pages as the layout made, SVG
// pages one file each, the title block alone for a tab of no notes, and nothing written for
// a file that cannot be read, is no tab, or whose pages would replace it.

#include "app/CommandLine.h"
#include "files/WebTabImport.h"
#include "score/Score.h"
#include "storage/AtomicFile.h"
#include "storage/RegularFile.h"
#include "ui/sheet/QtTextMeasure.h"

#include "tests/sheet/Tabs.h"
#include "tests/storage/ScratchFolder.h"

#include <QGuiApplication>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

namespace quorlin::app {
namespace {

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string slurp(const std::string& path)
{
    return storage::readRegularFile(path).bytes;
}

// The page objects, not the one page tree ("/Type /Pages").
std::size_t pageObjects(const std::string& pdf)
{
    const std::string key = "/Type /Page";
    std::size_t n = 0;
    for (std::size_t at = pdf.find(key); at != std::string::npos; at = pdf.find(key, at + 1))
        n += pdf.compare(at + key.size(), 1, "s") != 0;
    return n;
}

// A tab of `quarters` notes, a header with a title, saved as the window saves it.
std::string tabFile(int quarters, const std::string& rhythm = "  q")
{
    const std::vector<std::string> lines =
        sheet::test::block(4, sheet::test::notes(std::vector<std::string>(quarters, rhythm)));
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    engine::EditingState state;
    state.stringCount = instrument::StringCount(4);
    state.tuning = sheet::test::tuningFor(4);
    files::SongHeader header;
    header.artist = "The Band";
    header.comments = {"Long Song"};
    return files::tabFileText(views, state, header);
}

// The pages the layout makes of the file, laid out as the export lays them out.
std::size_t pagesOf(const CommandLine& line, const std::string& file)
{
    const files::LoadedTab tab =
        files::readTabFile(file, instrument::StringCount(), instrument::Tuning());
    const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
    const score::Score score =
        score::readScore(lines, tab.state.stringCount, tab.state.tuning, tab.state.tempo);
    return sheet::layoutSheet(score, sheetInput(line, score, tab), ui::QtTextMeasure())
        .pages.size();
}

TEST(SheetExport, WritesEveryPageOrNothing)
{
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);

    // The first bytes of a PNG file: no tab, and no column in it.
    static constexpr char kPng[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10";
    const std::string png(kPng, sizeof kPng - 1);
    struct Row {
        const char* what;
        CommandLine::Mode mode;
        int quarters;                     // -1: the bytes below instead of a tab
        std::optional<std::string> bytes; // none: no such input file
        const char* input;
        const char* output;
        std::optional<sheet::Paper> paper;
        int status;
        const char* said; // on stderr, when the export fails
    };
    const Row rows[] = {
        {"one-page PDF",
         CommandLine::Mode::ExportPdf,
         8,
         {},
         "song.tab",
         "song.pdf",
         std::nullopt,
         0,
         ""},
        {"long PDF on Letter",
         CommandLine::Mode::ExportPdf,
         600,
         {},
         "song.tab",
         "song.pdf",
         sheet::Paper::Letter,
         0,
         ""},
        {"one SVG page",
         CommandLine::Mode::ExportSvg,
         8,
         {},
         "song.tab",
         "song.svg",
         sheet::Paper::A4,
         0,
         ""},
        {"SVG pages",
         CommandLine::Mode::ExportSvg,
         600,
         {},
         "song.tab",
         "song.svg",
         std::nullopt,
         0,
         ""},
        {"PDF of no notes: the title block alone",
         CommandLine::Mode::ExportPdf,
         0,
         {},
         "song.tab",
         "song.pdf",
         std::nullopt,
         0,
         ""},
        {"SVG of no file", CommandLine::Mode::ExportSvg, -1, std::nullopt, "song.tab", "song.svg",
         std::nullopt, 1, "cannot read"},
        // The second page's own name is the input's.
        {"SVG pages over their tab",
         CommandLine::Mode::ExportSvg,
         600,
         {},
         "song-2.tab",
         "song.tab",
         std::nullopt,
         1,
         "song-2.tab: it is the tab"},
        {"PDF of a picture", CommandLine::Mode::ExportPdf, -1, png, "song.png", "song.pdf",
         std::nullopt, 1, "song.png is no Quorlin tab and holds no note or rest to export"},
        {"SVG of an empty file", CommandLine::Mode::ExportSvg, -1, std::string(), "song.tab",
         "song.svg", std::nullopt, 1, "is no Quorlin tab and holds no note"},
        {"PDF into a missing folder",
         CommandLine::Mode::ExportPdf,
         8,
         {},
         "song.tab",
         "none/song.pdf",
         std::nullopt,
         1,
         "none/song.pdf: No such file or directory"},
        // The reason first, then that nothing is left.
        {"MIDI of columns that cannot be read", CommandLine::Mode::ExportMidi, -1,
         tabFile(2, "  z"), "song.tab", "song.mid", std::nullopt, 1,
         "song.tab: 2 columns could not be read, line 1 of the tab as the window shows it\n"
         "quorlin: "},
        {"PDF of a tab longer than any", CommandLine::Mode::ExportPdf, -1,
         std::string(files::kLargestWebTab + 1, '\n'), "song.tab", "song.pdf", std::nullopt, 1,
         "is longer than 2 MB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        tests::ScratchFolder folder;
        const bool pdf = row.mode == CommandLine::Mode::ExportPdf;
        CommandLine line;
        line.mode = row.mode;
        line.input = folder / row.input;
        line.output = folder / row.output;
        line.paper = row.paper;
        const std::optional<std::string> file =
            row.quarters >= 0 ? std::optional(tabFile(row.quarters)) : row.bytes;
        if (file) {
            std::string problem;
            ASSERT_TRUE(storage::writeFile(line.input, *file, {}, problem)) << problem;
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(runExport(line), row.status);
        const std::string said = testing::internal::GetCapturedStderr();
        if (row.status != 0) {
            EXPECT_NE(said.find(row.said), std::string::npos) << said;
            // Nothing beside the input, which is as it was.
            std::size_t entries = 0;
            for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
                entries += entry.path().filename() != row.input;
            EXPECT_EQ(entries, 0u);
            if (file) {
                EXPECT_EQ(slurp(line.input), *file);
            }
            continue;
        }
        const std::size_t pages = pagesOf(line, *file);
        EXPECT_GE(pages, 1u);
        EXPECT_EQ(pages > 1, row.quarters > 100);
        if (pdf) {
            const std::string bytes = slurp(line.output);
            EXPECT_TRUE(bytes.starts_with("%PDF"));
            EXPECT_EQ(pageObjects(bytes), pages);
            EXPECT_NE(bytes.find("Long Song"), std::string::npos);
            continue;
        }
        if (pages == 1)
            EXPECT_FALSE(exists(folder / "song-1.svg"));
        for (std::size_t page = 1; page <= pages + 1; ++page) {
            const std::string svg = pages == 1 && page == 1
                                        ? line.output
                                        : folder / ("song-" + std::to_string(page) + ".svg");
            // One file a page, and none after the last.
            ASSERT_EQ(exists(svg), page <= pages) << svg;
            if (page > pages)
                break;
            QXmlStreamReader xml(QByteArray::fromStdString(slurp(svg)));
            while (!xml.atEnd())
                xml.readNext();
            EXPECT_FALSE(xml.hasError()) << svg << ' ' << xml.errorString().toStdString();
        }
    }
}

} // namespace
} // namespace quorlin::app
