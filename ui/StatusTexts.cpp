#include "ui/StatusTexts.h"

#include "instrument/NoteCycle.h"

namespace quorlin::ui {

QString cursorText(const engine::EditingState& state, int fret, int string)
{
    if (string < 1 || string > state.stringCount.value())
        return {};
    const std::string& open = state.tuning.at(string);
    QString text = QStringLiteral("String %1 (%2), fret %3")
                       .arg(string)
                       .arg(QString::fromStdString(open).trimmed())
                       .arg(fret);
    // A name from a hand-made file may be no note at all.
    if (const std::string note = instrument::noteAt(open, fret); !note.empty())
        text += QStringLiteral(": ") + QString::fromStdString(note);
    return text;
}

QString choiceText(char duration, bool dotted, const QString& technique)
{
    static const char* const kNames[] = {"sixteenth", "eighth", "quarter", "half", "whole"};
    const auto at = std::string_view("seqhw").find(duration);
    QString text = QString(QLatin1Char(duration)) + QLatin1Char(' ') +
                   QLatin1String(at < std::size(kNames) ? kNames[at] : "");
    if (dotted)
        text += QStringLiteral(", dotted");
    return text + QStringLiteral(", ") + technique;
}

QString textPlaceText(const engine::EditingState& state, int line)
{
    // Blocks are counted as they are written, one after another from the top.
    const int block = (line - 1) / (state.stringCount.value() + 2) + 1;
    return QStringLiteral("Line %1, block %2").arg(line).arg(block);
}

} // namespace quorlin::ui
