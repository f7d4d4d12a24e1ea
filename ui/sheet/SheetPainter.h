#pragma once

// Draws a laid-out page as its marks say, in black on white, with vector shapes only: no
// music font is needed for the rests, flags or clef.

#include "sheet/Marks.h"
#include "ui/sheet/QtTextMeasure.h"

class QPainter;

namespace quorlin::ui {

// `painter` works in points from the page's top left corner (its transform maps them to the
// device); the page's paper is expected white already.
void paintSheetPage(QPainter& painter, const sheet::Page& page,
                    SheetTypeface face = SheetTypeface::Serif);

} // namespace quorlin::ui
