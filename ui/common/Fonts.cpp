#include "ui/common/Fonts.h"

namespace quorlin::ui::fonts {

namespace {

QFont fixedPitch(const QString& family, int pixelSize)
{
    QFont font(family);
    // Any monospace family will do where DejaVu is missing. Shaping only adds kerning and
    // ligatures to Latin text, which fixed pitch must not have, and it is most of the cost
    // of laying out a long tab's changed lines.
    font.setStyleHint(QFont::Monospace,
                      QFont::StyleStrategy(QFont::PreferMatch | QFont::PreferNoShaping));
    font.setFixedPitch(true);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

QFont window()
{
    return fixedPitch(QStringLiteral("DejaVu Sans Mono"), 12);
}

QFont typewriter(int pixelSize)
{
    return fixedPitch(QStringLiteral("Liberation Mono"), pixelSize);
}

QFont dialog(int pixelSize)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QFont title()
{
    QFont font = dialog(16);
    font.setBold(true);
    font.setItalic(true);
    return font;
}

} // namespace quorlin::ui::fonts
