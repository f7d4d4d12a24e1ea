// The palette's note figures: drawn at the screen's resolution, each readable as its duration.

#include "ui/neck/DurationGlyph.h"

#include <QTest>

class GlyphTest : public QObject {
    Q_OBJECT

private slots:
    void figure_data()
    {
        QTest::addColumn<QString>("duration");
        QTest::addColumn<int>("dpr");
        QTest::addColumn<bool>("hollow");
        QTest::addColumn<int>("flags"); // -1: no stem at all
        for (int dpr : {1, 3})
            for (auto [name, hollow, flags] : {std::tuple("s", false, 2),
                                               {"e", false, 1},
                                               {"q", false, 0},
                                               {"h", true, 0},
                                               {"w", true, -1}})
                QTest::addRow("%s@%d", name, dpr) << name << dpr << hollow << flags;
    }

    void figure()
    {
        QFETCH(QString, duration);
        QFETCH(int, dpr);
        QFETCH(bool, hollow);
        QFETCH(int, flags);
        quorlin::ui::DurationGlyph glyph;
        glyph.setDuration(duration);
        glyph.resize(12, 12);
        QImage image(glyph.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        glyph.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        const auto count = [&](QRect area, auto test) {
            int found = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    found += test(image.pixel(x, y));
            return found;
        };
        const auto dark = [](QRgb pixel) { return qAlpha(pixel) == 255 && qGray(pixel) < 96; };
        const auto shade = [](QRgb pixel) { return qGray(pixel) > 16 && qGray(pixel) < 176; };
        const int size = image.width();

        // The button's edge under our first column stays visible.
        QCOMPARE(count(QRect(0, 0, dpr, size), [](QRgb pixel) { return qAlpha(pixel) > 0; }), 0);
        QCOMPARE(image.pixel(dpr, 0), qRgb(192, 192, 192));
        // Nothing runs into the edge, where the widget would cut it off.
        QCOMPARE(count(image.rect(), dark), count(image.rect().adjusted(1, 1, -1, -1), dark));

        const QPoint head = flags < 0 ? QPoint(6, 6) * dpr : QPoint(5, 9) * dpr;
        QCOMPARE(dark(image.pixel(head)), !hollow);
        QVERIFY(!hollow || (qGray(image.pixel(head)) > 160 &&
                            count(QRect(head.x() - 3 * dpr, head.y(), 2 * dpr, 1), dark) > 0));
        QCOMPARE(count(QRect(0, 0, size, 3 * dpr), dark) > 0, flags >= 0);
        // A line down through the flags crosses each of them once.
        int crossed = 0;
        for (int x = 19 * dpr / 2, y = 1; flags >= 0 && y < 8 * dpr; ++y)
            crossed += dark(image.pixel(x, y)) && !dark(image.pixel(x, y - 1));
        QCOMPARE(crossed, std::max(flags, 0));

        // Antialiased, and not an upscaled 12-pixel bitmap made of uniform dpr x dpr blocks.
        QVERIFY(count(image.rect(), shade) > 4);
        QVERIFY(dpr == 1 || image != image.scaled(12, 12).scaled(size, size));
    }
};

QTEST_MAIN(GlyphTest)
#include "GlyphTest.moc"
