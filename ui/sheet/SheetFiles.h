#pragma once

// The laid-out sheet as a PDF file, or as one SVG file per page, written whole or not at all.
// Each page goes to the file as it is drawn, so that no more than one is held. Needs a
// QGuiApplication for its fonts, not a display.

#include "files/SongHeader.h"
#include "model/TimeSignature.h"
#include "sheet/SheetLayout.h"
#include "ui/sheet/QtTextMeasure.h"

#include <functional>
#include <string>
#include <vector>

namespace quorlin::ui {

struct SheetDocument {
    std::string title;
    std::string author;
    SheetTypeface face = SheetTypeface::Serif;
    // The tab the pages come from, which no page may replace by any name: an SVG page's own
    // name ("OUT-2.svg") may be the tab's. Empty when it has no file.
    std::string tabFile;
};

// Letter where the locale's country uses it (the US and Canada), else A4.
sheet::Paper localPaper();

// What the page shows of the tab beside its notes: the title is the first comment line
// unless `title` gives another.
sheet::SheetInput sheetInput(const files::SongHeader& header, const instrument::Tuning& tuning,
                             model::TimeSignature time, int tempo, sheet::Paper paper,
                             const std::string& title = {});

// Told after each page is drawn: the pages drawn so far and all of them. False stops the
// write, which then leaves nothing and fails with an empty problem.
using SheetProgress = std::function<bool(std::size_t drawn, std::size_t pages)>;

bool writeSheetPdf(const sheet::Sheet& sheet, const SheetDocument& document,
                   const std::string& target, std::string& problem,
                   const SheetProgress& progress = {});

// "OUT.svg" for one page, else "OUT-1.svg", "OUT-2.svg"...: the names the pages go to.
std::vector<std::string> svgPageNames(const std::string& target, std::size_t pages);

// Every page or none: each is written beside its name and all are moved into place at the
// end, so that a failure leaves nothing and a signal (storage::removePartialFilesOnSignals)
// removes them all. Refused before anything is written when a page's name is the tab's file.
bool writeSheetSvg(const sheet::Sheet& sheet, const SheetDocument& document,
                   const std::string& target, std::string& problem,
                   const SheetProgress& progress = {});

} // namespace quorlin::ui
