#pragma once

// A duration travels from the palette in a mime type of our own, so that drop targets know
// it without looking at the source widget, and text from other programs is never taken
// for a duration.

#include <QString>

#include <optional>

class QDropEvent;
class QMimeData;

namespace quorlin::ui {

inline const QString kDurationMimeType = QStringLiteral("application/x-quorlin-duration");

QMimeData* durationMimeData(char symbol);
// The duration carried by a drag, if it is one of ours.
std::optional<char> durationOf(const QMimeData* data);
// Takes a drop that carries one of our durations and refuses any other.
std::optional<char> takeDuration(QDropEvent* event);

} // namespace quorlin::ui
