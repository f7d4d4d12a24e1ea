#pragma once

class QPlainTextEdit;

namespace quorlin::ui {

// Scrolls the area, if it must, until text lines `first` to `last` are in view however they
// wrap, or as many of them as fit, from the first. The user's text cursor and selection stay
// where they are: this moves the view only.
void showLines(QPlainTextEdit& area, int first, int last);

} // namespace quorlin::ui
