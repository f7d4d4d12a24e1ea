#include "ui/sheet/SheetPainter.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quorlin::ui {

namespace {

using sheet::Mark;
using sheet::MarkKind;
using sheet::Rect;

QPointF point(sheet::Point p)
{
    return {p.x, p.y};
}

QRectF rect(const Rect& r)
{
    return {r.x, r.y, r.width, r.height};
}

// A straight mark's thickness is the short side of its box; a slanted one has none given.
double lineWidth(const Mark& mark)
{
    if (mark.from.y == mark.to.y)
        return mark.box.height;
    if (mark.from.x == mark.to.x)
        return mark.box.width;
    return 0.6;
}

// A tilted filled head and a stem up its right side.
void quarterNote(QPainter& painter, const Mark& mark)
{
    const QRectF box = rect(mark.box);
    const double headHeight = box.width() * 0.7;
    const QPointF head(box.left() + box.width() * 0.45, box.bottom() - headHeight / 2);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.translate(head);
    painter.rotate(-20);
    painter.drawEllipse(QPointF(), box.width() * 0.45, headHeight / 2);
    painter.restore();
    const double stem = box.width() * 0.09;
    painter.fillRect(QRectF(box.right() - stem, box.top(), stem, box.height() - headHeight / 2),
                     Qt::black);
}

// A thin line and a thick one that ends the box: the end of the piece.
void finalBarLine(QPainter& painter, const Mark& mark)
{
    constexpr double thin = 0.8;
    const double thick = mark.box.width * 0.5;
    painter.fillRect(QRectF(mark.box.x, mark.box.y, thin, mark.box.height), Qt::black);
    painter.fillRect(QRectF(mark.box.right() - thick, mark.box.y, thick, mark.box.height),
                     Qt::black);
}

void strokeLine(QPainter& painter, const Mark& mark, double width)
{
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(point(mark.from), point(mark.to));
}

// A quarter rest: a zigzag down to a hook that curls back, in the box.
QPainterPath quarterRest(const QRectF& b)
{
    const double w = b.width(), h = b.height(), x = b.left(), y = b.top();
    QPainterPath path;
    path.moveTo(x + 0.30 * w, y);
    path.lineTo(x + 0.90 * w, y + 0.30 * h);
    path.lineTo(x + 0.45 * w, y + 0.50 * h);
    path.lineTo(x + 0.95 * w, y + 0.78 * h);
    path.quadTo(x + 0.05 * w, y + 0.68 * h, x + 0.55 * w, y + h);
    path.quadTo(x - 0.20 * w, y + 0.62 * h, x + 0.62 * w, y + 0.70 * h);
    path.lineTo(x + 0.15 * w, y + 0.48 * h);
    path.lineTo(x + 0.55 * w, y + 0.28 * h);
    path.closeSubpath();
    return path;
}

// An eighth rest and shorter: a slanted stroke with one hook per level from the eighth on.
void hookedRest(QPainter& painter, const QRectF& b, int hooks)
{
    const double step = b.height() / (hooks + 1.5);
    const double radius = std::min(b.width() * 0.22, step * 0.45);
    const QPointF top(b.right(), b.top() + radius);
    const QPointF bottom(b.left() + b.width() * 0.35, b.bottom());
    painter.setPen(QPen(Qt::black, std::max(0.5, b.width() * 0.12), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(top, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (int k = 0; k < hooks; ++k) {
        const double t = (k * step) / (b.height() - radius);
        const QPointF on = top + (bottom - top) * t;
        const QPointF ball(b.left() + radius, on.y() + radius * 0.3);
        painter.drawEllipse(ball, radius, radius);
        QPainterPath hook;
        hook.moveTo(ball + QPointF(0, -radius));
        hook.quadTo(QPointF((ball.x() + on.x()) / 2, on.y() + radius * 1.6), on);
        hook.lineTo(on + QPointF(0, radius * 0.6));
        hook.quadTo(QPointF((ball.x() + on.x()) / 2, on.y() + radius * 2.4), ball);
        hook.closeSubpath();
        painter.drawPath(hook);
    }
}

void rest(QPainter& painter, const Mark& mark)
{
    const QRectF b = rect(mark.box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    if (mark.value <= sheet::kHalfLevel) {
        // The box is the block itself; a short ledger marks the line it hangs from or sits on.
        painter.fillRect(b, Qt::black);
        const double y = mark.value == sheet::kWholeLevel ? b.top() : b.bottom();
        painter.setPen(QPen(Qt::black, 0.5));
        painter.drawLine(QPointF(b.left() - b.width() * 0.3, y),
                         QPointF(b.right() + b.width() * 0.3, y));
    } else if (mark.value == 2) {
        painter.drawPath(quarterRest(b));
    } else {
        hookedRest(painter, b, mark.value - sheet::kEighthLevel + 1);
    }
}

// A flag per level below the quarter, curving down and right from the stem's end upwards.
void flag(QPainter& painter, const Mark& mark)
{
    const QRectF b = rect(mark.box);
    const int flags = std::max(1, mark.value - sheet::kEighthLevel + 1);
    const double step = flags > 1 ? (b.height() - 7) / (flags - 1) : 0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (int k = 0; k < flags; ++k) {
        // The stem ends at the bottom: the flags rise from it.
        const double base = b.bottom() - k * step;
        QPainterPath path;
        path.moveTo(b.left(), base);
        path.cubicTo(b.left() + b.width() * 0.15, base - 3, b.right() + 0.6, base - 3.5, b.right(),
                     base - 7.5);
        path.cubicTo(b.right() - 0.4, base - 5.5, b.left() + b.width() * 0.4, base - 3.6, b.left(),
                     base - 3.4);
        path.closeSubpath();
        painter.drawPath(path);
    }
}

// The arc's box reaches from its ends to its bulge, up or down.
void arc(QPainter& painter, const Mark& mark)
{
    const bool up = mark.kind == MarkKind::Slur;
    const double bulge = up ? mark.box.y : mark.box.bottom();
    const double thick = 0.8;
    const QPointF a = point(mark.from), b = point(mark.to);
    const double dx = (b.x() - a.x()) / 4;
    // Two curves, the inner one nearer the ends, filled between: thin at the ends.
    const double outer = bulge + (up ? -0.3 : 0.3) * thick;
    const double inner = bulge + (up ? 1 : -1) * thick;
    QPainterPath path;
    path.moveTo(a);
    path.cubicTo(a.x() + dx, outer, b.x() - dx, outer, b.x(), b.y());
    path.cubicTo(b.x() - dx, inner, a.x() + dx, inner, a.x(), a.y());
    painter.setPen(QPen(Qt::black, 0.2));
    painter.setBrush(Qt::black);
    painter.drawPath(path);
}

void text(QPainter& painter, const sheet::Page& page, const Mark& mark, SheetTypeface face,
          double dpi)
{
    const QFont font = sheetFont(mark.role, mark.size, face, dpi);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const std::string_view bytes = page.textOf(mark);
    const QString string = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Capitals and digits centred on the box's middle, as the layout centred the box on its line.
    const QFontMetricsF metrics(font, painter.device());
    const double baseline = mark.box.y + mark.box.height / 2 + metrics.capHeight() / 2;
    painter.drawText(QPointF(mark.box.x, baseline), string);
}

} // namespace

void paintSheetPage(QPainter& painter, const sheet::Page& page, SheetTypeface face)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    for (const Mark& mark : page.marks) {
        if (mark.knockout)
            painter.fillRect(rect(mark.box), Qt::white);
        switch (mark.kind) {
        case MarkKind::BarLine:
            if (mark.value == 1) {
                finalBarLine(painter, mark);
                break;
            }
            [[fallthrough]];
        case MarkKind::StaffLine:
        case MarkKind::Stem:
        case MarkKind::Slide:
            strokeLine(painter, mark, lineWidth(mark));
            break;
        case MarkKind::Text:
            text(painter, page, mark, face, dpi);
            break;
        case MarkKind::Slur:
        case MarkKind::Tie:
            arc(painter, mark);
            break;
        case MarkKind::Beam: {
            // A parallelogram from the stem at `from` to the one at `to`, its thickness the box's.
            const double t = mark.box.height;
            const QPointF poly[] = {point(mark.from), point(mark.to),
                                    point(mark.to) + QPointF(0, t),
                                    point(mark.from) + QPointF(0, t)};
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawPolygon(poly, 4);
            break;
        }
        case MarkKind::Flag:
            flag(painter, mark);
            break;
        case MarkKind::Dot:
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawEllipse(rect(mark.box));
            break;
        case MarkKind::Rest:
            rest(painter, mark);
            break;
        case MarkKind::QuarterNote:
            quarterNote(painter, mark);
            break;
        case MarkKind::TupletBracket: {
            // Along from -> to, the hook up at `from`, the outer end, to the box's top.
            const QPointF line[] = {QPointF(mark.from.x, mark.box.y), point(mark.from),
                                    point(mark.to)};
            painter.setPen(QPen(Qt::black, 0.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(line, 3);
            break;
        }
        }
    }
    painter.restore();
}

} // namespace quorlin::ui
