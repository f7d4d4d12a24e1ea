#include "ui/neck/DurationGlyph.h"

#include "tabtext/TabFormat.h"

#include <QPainter>
#include <QPainterPath>

#include <stdexcept>

namespace quorlin::ui {

namespace {

// Figures are laid out on the palette's 12 x 12 box. The glyph sits right against its
// button, whose right edge would otherwise lie under our first column.
constexpr qreal kBlankColumn = 1.0;
const QColor kGround(192, 192, 192);

constexpr qreal kStemLeft = 7.0;
constexpr qreal kStemTop = 1.0;
const QPointF kHeadCentre(5.5, 9.5);

void fillTiltedOval(QPainter& painter, QPointF centre, qreal rx, qreal ry, qreal degrees,
                    const QColor& colour)
{
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(), rx, ry);
    painter.restore();
}

void drawFlag(QPainter& painter, qreal top, qreal length)
{
    constexpr qreal kWidth = 1.1;
    // Start half a pen below the top so the round cap ends flush with the stem.
    const QPointF start(kStemLeft + 1.0, top + kWidth / 2);
    QPainterPath flag(start);
    flag.cubicTo(start + QPointF(0.3, 0.45 * length), start + QPointF(3.2, 0.5 * length),
                 start + QPointF(2.4, length));
    painter.strokePath(flag, QPen(Qt::black, kWidth, Qt::SolidLine, Qt::RoundCap));
}

} // namespace

DurationGlyph::DurationGlyph(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString DurationGlyph::duration() const
{
    return QString(QLatin1Char(m_symbol));
}

void DurationGlyph::setDuration(const QString& symbol)
{
    if (symbol.size() != 1 || !tabtext::isDurationSymbol(symbol.front().toLatin1()))
        throw std::out_of_range("not a duration: " + symbol.toStdString());
    m_symbol = symbol.front().toLatin1();
    update();
}

QSize DurationGlyph::sizeHint() const
{
    return QSize(12, 12);
}

void DurationGlyph::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(rect()).adjusted(kBlankColumn, 0, 0, 0), kGround);
    painter.setPen(Qt::NoPen);

    if (m_symbol == 'w') {
        // An open head whose hole leans against the oval, as engraved whole notes do.
        const QPointF centre(6.5, 6.5);
        fillTiltedOval(painter, centre, 4.3, 2.8, 0, Qt::black);
        fillTiltedOval(painter, centre, 2.2, 1.5, -55, Qt::white);
        return;
    }

    fillTiltedOval(painter, kHeadCentre, 2.6, 1.8, -20, Qt::black);
    if (m_symbol == 'h')
        fillTiltedOval(painter, kHeadCentre, 1.9, 1.05, -30, Qt::white);
    painter.fillRect(QRectF(kStemLeft, kStemTop, 1.0, kHeadCentre.y() - kStemTop), Qt::black);
    if (m_symbol == 'e')
        drawFlag(painter, kStemTop, 5.0);
    if (m_symbol == 's') {
        // Shorter flags, so the lower one keeps clear of the head.
        drawFlag(painter, kStemTop, 3.4);
        drawFlag(painter, kStemTop + 3.0, 3.4);
    }
}

} // namespace quorlin::ui
