#include "ui/sheet/QtTextMeasure.h"

#include <QFontMetricsF>
#include <QString>

namespace quorlin::ui {

QFont sheetFont(sheet::FontRole role, float size, SheetTypeface face, double dpi)
{
    using sheet::FontRole;
    // The numbers and the clef stay upright sans whatever the face: they must read at a glance.
    const bool sans = face == SheetTypeface::Sans || role == FontRole::Fret ||
                      role == FontRole::Clef || role == FontRole::BarNumber ||
                      role == FontRole::PageNumber;
    QFont font(sans ? QStringLiteral("Liberation Sans") : QStringLiteral("Liberation Serif"));
    font.setStyleHint(sans ? QFont::SansSerif : QFont::Serif);
    // Unhinted, so that widths scale with the size and the page measures as it prints.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(size * 72.0 / dpi);
    font.setBold(role == FontRole::Title || role == FontRole::Clef || role == FontRole::Tuplet);
    font.setItalic(role == FontRole::Tempo);
    return font;
}

float QtTextMeasure::width(std::string_view text, sheet::FontRole role, float size) const
{
    const QFontMetricsF metrics(sheetFont(role, size, m_face));
    // Metrics at the screen's resolution; the page counts 72 to the inch.
    const double perPoint = metrics.fontDpi() / 72.0;
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return static_cast<float>(metrics.horizontalAdvance(string) / perPoint);
}

} // namespace quorlin::ui
