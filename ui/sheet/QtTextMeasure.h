#pragma once

// Text widths from the fonts the painter draws with, so that a fret number's knock-out box
// is as wide as its digits.

#include "sheet/TextMeasure.h"

#include <QFont>

namespace quorlin::ui {

enum class SheetTypeface : std::uint8_t { Serif, Sans };

// The font of `role` at `size` points, as a device of `dpi` dots per inch scales it: drawn
// with a painter whose units are points, it comes out `size` points tall.
QFont sheetFont(sheet::FontRole role, float size, SheetTypeface face, double dpi = 72);

class QtTextMeasure : public sheet::TextMeasure {
public:
    explicit QtTextMeasure(SheetTypeface face = SheetTypeface::Serif) : m_face(face) {}
    float width(std::string_view text, sheet::FontRole role, float size) const override;

private:
    SheetTypeface m_face;
};

} // namespace quorlin::ui
