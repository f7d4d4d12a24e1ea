#include "ui/sheet/QtTextMeasure.h"

#include <QFontMetricsF>
#include <QString>

#include <functional>

namespace quorlin::ui {

QFont sheetFont(sheet::FontRole role, float size, SheetTypeface face, double dpi)
{
    using sheet::FontRole;
    // The numbers and the clef stay upright sans whatever the face: they must read at a glance.
    const bool sans = face == SheetTypeface::Sans || role == FontRole::Fret ||
                      role == FontRole::Clef || role == FontRole::BarNumber ||
                      role == FontRole::PageNumber || role == FontRole::TimeSignature;
    QFont font(sans ? QStringLiteral("Liberation Sans") : QStringLiteral("Liberation Serif"));
    font.setStyleHint(sans ? QFont::SansSerif : QFont::Serif);
    // Unhinted, so that widths scale with the size and the page measures as it prints.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(size * 72.0 / dpi);
    font.setBold(role == FontRole::Title || role == FontRole::Clef || role == FontRole::Tuplet ||
                 role == FontRole::TimeSignature);
    font.setItalic(role == FontRole::Tempo);
    return font;
}

std::size_t QtTextMeasure::KeyHash::operator()(const Key& key) const
{
    return std::hash<std::string>()(key.text) ^
           (std::hash<float>()(key.size) * 31 + static_cast<std::size_t>(key.role));
}

float QtTextMeasure::width(std::string_view text, sheet::FontRole role, float size) const
{
    Key key{std::string(text), role, size};
    if (const auto known = m_widths.find(key); known != m_widths.end())
        return known->second;
    const QFontMetricsF metrics(sheetFont(role, size, m_face));
    // Metrics at the screen's resolution; the page counts 72 to the inch.
    const double perPoint = metrics.fontDpi() / 72.0;
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const auto width = static_cast<float>(metrics.horizontalAdvance(string) / perPoint);
    m_widths.emplace(std::move(key), width);
    return width;
}

} // namespace quorlin::ui
