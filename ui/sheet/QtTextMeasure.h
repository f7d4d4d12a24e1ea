#pragma once

// Text widths from the fonts the painter draws with, so that a fret number's knock-out box
// is as wide as its digits.

#include "sheet/TextMeasure.h"

#include <QFont>

#include <string>
#include <unordered_map>

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
    // A page asks the same few fret numbers thousands of times, and shaping each anew is
    // most of the layout's time.
    struct Key {
        std::string text;
        sheet::FontRole role;
        float size;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    mutable std::unordered_map<Key, float, KeyHash> m_widths;
};

} // namespace quorlin::ui
