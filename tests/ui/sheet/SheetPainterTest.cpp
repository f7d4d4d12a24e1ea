// The painter draws each mark where the layout put it: fret numbers inked in their boxes, the
// string line cleared beside the digits, and the shapes of the rhythm inked in theirs. The
// positions come from the layout's marks; what is looked at is the painter's image.

#include "ui/sheet/SheetPainter.h"
#include "sheet/SheetLayout.h"

#include "tests/sheet/Tabs.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace quorlin;
using sheet::test::Col;

namespace {

constexpr double kScale = 4; // pixels per point

struct Drawn {
    sheet::Sheet sheet;
    QImage image; // the first page
};

Drawn draw(const std::vector<Col>& cols, ui::SheetTypeface face)
{
    Drawn drawn;
    sheet::SheetInput input;
    input.title = "Riff";
    input.tuning = sheet::test::tuningFor(4);
    const ui::QtTextMeasure measure(face);
    drawn.sheet =
        sheet::layoutSheet(sheet::test::read(4, sheet::test::block(4, cols)), input, measure);
    QImage& image = drawn.image;
    image = QImage(qRound(drawn.sheet.size.width * kScale),
                   qRound(drawn.sheet.size.height * kScale), QImage::Format_RGB32);
    // The device's own resolution, so that its point-sized fonts meet the transform.
    const int dotsPerMeter = qRound(72 * kScale / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kScale, kScale);
    ui::paintSheetPage(painter, drawn.sheet.pages.front(), face);
    return drawn;
}

int grey(const QImage& image, double x, double y)
{
    return qGray(image.pixel(qRound(x * kScale), qRound(y * kScale)));
}

// The lightest pixel on the row at y from x0 to x1: the side bearing of a digit is narrow.
int lightest(const QImage& image, double x0, double x1, double y)
{
    int light = 0;
    for (double x = x0; x <= x1; x += 1 / kScale)
        light = std::max(light, grey(image, x, y));
    return light;
}

// The darkest pixel in the middle half of a box.
int darkestInside(const QImage& image, const sheet::Rect& box)
{
    int darkest = 255;
    for (double y = box.y + box.height / 4; y <= box.bottom() - box.height / 4; y += 1 / kScale)
        for (double x = box.x + box.width / 4; x <= box.right() - box.width / 4; x += 1 / kScale)
            darkest = std::min(darkest, grey(image, x, y));
    return darkest;
}

constexpr int kDark = 100;
constexpr int kWhite = 230;

} // namespace

Q_DECLARE_METATYPE(std::vector<Col>)
Q_DECLARE_METATYPE(ui::SheetTypeface)

class SheetPainterTest : public QObject {
    Q_OBJECT

private slots:
    void marksAreDrawnInTheirPlaces_data()
    {
        QTest::addColumn<std::vector<Col>>("cols");
        QTest::addColumn<ui::SheetTypeface>("face");
        const std::vector<Col> riff{{"  e", {{2, "--5"}}},
                                    {"  e", {{2, "H12"}}},
                                    {"  s", {{3, "--3"}}},
                                    {"  s", {{3, "--7"}}},
                                    {"  e", {{1, "-10"}, {4, "--8"}}},
                                    {"  q", {}, 'r'},
                                    {"  e", {}, 'r'},
                                    {"  s", {}, 'r'},
                                    {"  s", {{4, "--1"}}},
                                    {"  h", {{2, "--9"}}}};
        QTest::newRow("beamed riff with rests, serif") << riff << ui::SheetTypeface::Serif;
        QTest::newRow("beamed riff with rests, sans") << riff << ui::SheetTypeface::Sans;
        QTest::newRow("lone eighth flagged, rests, bracketed triplet")
            << std::vector<Col>{{"  e", {{3, "-11"}}}, {"  q", {}, 'r'},      {" h.", {}, 'r'},
                                {"  w", {}, 'r'},      {"  q", {{1, "--5"}}}, {"  q", {{1, "~~5"}}},
                                {"  q", {{1, "~~7"}}}}
            << ui::SheetTypeface::Serif;
    }
    void marksAreDrawnInTheirPlaces()
    {
        QFETCH(std::vector<Col>, cols);
        QFETCH(ui::SheetTypeface, face);
        const Drawn drawn = draw(cols, face);
        const sheet::Page& page = drawn.sheet.pages.front();
        std::vector<float> lines;
        for (const sheet::Mark& m : page.marks)
            if (m.kind == sheet::MarkKind::StaffLine)
                lines.push_back(m.from.y);
        int frets = 0;
        for (const sheet::Mark& m : page.marks) {
            const std::string what = std::string(page.textOf(m));
            if (m.kind == sheet::MarkKind::Text && m.role == sheet::FontRole::Fret) {
                ++frets;
                QVERIFY2(darkestInside(drawn.image, m.box) < kDark, what.c_str());
                // The string line through the box is cleared beside the digits, drawn outside.
                const float y = m.box.y + m.box.height / 2;
                QVERIFY2(std::find(lines.begin(), lines.end(), y) != lines.end(), what.c_str());
                QVERIFY2(lightest(drawn.image, m.box.x, m.box.x + 1, y) > kWhite, what.c_str());
                QVERIFY2(lightest(drawn.image, m.box.right() - 1, m.box.right(), y) > kWhite,
                         what.c_str());
                QVERIFY2(grey(drawn.image, m.box.x - 1.5, y) < kDark, what.c_str());
            }
            // The rhythm's shapes leave ink where they were put.
            const bool shape = m.kind == sheet::MarkKind::Rest || m.kind == sheet::MarkKind::Flag ||
                               m.kind == sheet::MarkKind::Beam || m.kind == sheet::MarkKind::Dot;
            if (shape)
                QVERIFY2(darkestInside(drawn.image, m.box) < kDark,
                         std::to_string(static_cast<int>(m.kind)).c_str());
        }
        int expected = 0;
        for (const Col& c : cols)
            expected += static_cast<int>(c.cells.size());
        QCOMPARE(frets, expected);
    }
};

QTEST_MAIN(SheetPainterTest)
#include "SheetPainterTest.moc"
