#pragma once

// What the status bar says, worked out from plain values so that it can be checked alone.

#include "engine/Columns.h"
#include "engine/Staff.h"

#include <QString>

#include <cstdint>
#include <span>

class QFontMetrics;

namespace quorlin::ui {

// "A string, fret 5: D": the note cursor and the note it would write.
QString cursorText(const engine::EditingState& state, int fret, int string);
// "bar 2, beat 3 (block 3, column 7): q. on A fret 5": the column the tab cursor is on,
// counted from 1, starting `start` ticks into the tab, in bars of the tab's time signature.
QString columnText(const engine::EditingState& state, const engine::Column& column,
                   std::int64_t start);
// The same for columns[at].
QString columnText(const engine::EditingState& state, std::span<const engine::Column> columns,
                   std::size_t at);
// "dotted quarter, HammerOn": what the next note will be.
QString choiceText(char duration, bool dotted, const QString& technique);
// "Line 12, block 2": where the text cursor is; lines count from 1.
QString textPlaceText(const engine::EditingState& state, int line);

// As many whole words of `text` as fit `width` with an ellipsis after them; a first word too
// long for the room is cut inside.
QString elideAtWord(const QString& text, const QFontMetrics& metrics, int width);

} // namespace quorlin::ui
