#pragma once

// How wide a text is printed. The layout asks this port, so the window can answer with its
// real fonts; the estimate here is enough to lay out a page without any.

#include "sheet/Marks.h"

#include <string_view>

namespace quorlin::sheet {

class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    // Points, for `text` (UTF-8) in the font of `role` at `size` points.
    virtual float width(std::string_view text, FontRole role, float size) const = 0;
};

// Digits and most letters 0.6 em, narrow ones (i, l, 1...) 0.3, wide ones (M, W) 0.9; a
// character of several bytes counts once.
class EstimatedTextMeasure : public TextMeasure {
public:
    float width(std::string_view text, FontRole role, float size) const override;
};

} // namespace quorlin::sheet
