#pragma once

#include "tests/ui/QuietWindow.h"
#include "ui/neck/NeckWidget.h"

#include <QRegularExpression>
#include <QSpinBox>

namespace quorlin::ui::testing {

// The main window, active, with a narrow tab and the neck holding the keyboard.
struct TabWindow : QuietWindow {
    explicit TabWindow(int width)
    {
        form.show();
        activate();
        child<QSpinBox>(form, "MaxLineLen")->setValue(width);
        neck().setFocus();
    }

    NeckWidget& neck() const { return *child<NeckWidget>(form, "BassNeck"); }
    // Keys as QKeySequence names them, and two shorthands: "@3" puts the tab cursor on
    // column 3 from the first, "A7" moves the neck's cursor to the A string's fret 7 and
    // presses Return ("Ins:A7" presses Ins instead).
    void type(const QString& keys)
    {
        static const QRegularExpression note(QStringLiteral("^(?:(.+):)?([GDAE])(\\d+)$"));
        static const QRegularExpression column(QStringLiteral("^@(\\d+)$"));
        activate();
        for (const QString& token : keys.split(u' ', Qt::SkipEmptyParts)) {
            if (const auto at = column.match(token); at.hasMatch()) {
                press(QStringLiteral("Alt+Home"));
                for (int i = at.captured(1).toInt(); i > 0; --i)
                    press(QStringLiteral("Alt+Right"));
            } else if (const auto on = note.match(token); on.hasMatch()) {
                const int row =
                    static_cast<int>(QStringLiteral("GDAE").indexOf(on.captured(2))) + 1;
                for (int r = neck().cursorCell().y(); r != row; r += r < row ? 1 : -1)
                    press(r < row ? QStringLiteral("Down") : QStringLiteral("Up"));
                for (const QChar digit : on.captured(3))
                    press(digit);
                press(on.hasCaptured(1) ? on.captured(1) : QStringLiteral("Return"));
            } else {
                press(token);
            }
        }
    }
};

} // namespace quorlin::ui::testing
