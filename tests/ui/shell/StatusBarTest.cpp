// The status bar at the window's smallest width: every field whole in everyday use, and when
// the texts are long, the least needed field gives way first, elided, its whole text a tip.
// Without a home, what it says for the whole run.

#include "tests/platform/WithoutHome.h"
#include "tests/ui/QuietWindow.h"
#include "ui/common/Fonts.h"
#include "ui/common/StatusTexts.h"
#include "ui/shell/ElidedLabel.h"
#include "ui/shell/GiveWayLayout.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QStatusBar>
#include <QTextDocumentFragment>
#include <QToolTip>

using namespace quorlin;
using ui::testing::child;

namespace {

const char* const kFields[] = {"FileStatus", "CursorStatus", "ChoiceStatus", "PlaceStatus"};

// A widget that asks for a set width and can be squeezed to another.
class Sized : public QWidget {
public:
    Sized(int wanted, int least) : m_wanted(wanted), m_least(least) {}
    QSize sizeHint() const override { return {m_wanted, 10}; }
    QSize minimumSizeHint() const override { return {m_least, 10}; }

private:
    int m_wanted, m_least;
};

struct Item {
    int wanted, least, rank;
};

} // namespace

Q_DECLARE_METATYPE(Item)

class StatusBarTest : public QObject {
    Q_OBJECT

private slots:
    // In a fixed-pitch font a text's width is its length, so what fits is counted in letters.
    void elidesBetweenWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("letters");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fits") << "quarter, Default" << 16 << "quarter, Default";
        QTest::newRow("one word less, its comma too")
            << "dotted sixteenth, HammerOn" << 20 << "dotted sixteenth…";
        QTest::newRow("two words less") << "dotted sixteenth, HammerOn" << 16 << "dotted…";
        QTest::newRow("the ellipsis needs room too") << "Line 12, block 2" << 14 << "Line 12…";
        QTest::newRow("a first word too long is cut")
            << "dotted sixteenth, HammerOn" << 5 << "dott…";
        QTest::newRow("one long word") << "blues-in-F.tab" << 8 << "blues-i…";
    }
    void elidesBetweenWords()
    {
        QFETCH(QString, text);
        QFETCH(int, letters);
        QFETCH(QString, shown);
        const QFontMetrics metrics(ui::fonts::window());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("x…")),
                 metrics.horizontalAdvance(QStringLiteral("xx")));
        // A pixel over, as the letters' widths are not whole pixels.
        const int width = metrics.horizontalAdvance(QString(letters, u'x')) + 1;
        QCOMPARE(ui::elideAtWord(text, metrics, width), shown);
    }

    // Widths as the rule gives them: the lowest rank gives way first, down to its least,
    // then the next; the order on screen stays the order of adding. Gaps are 3 pixels.
    void givesWayInRankOrder_data()
    {
        QTest::addColumn<QList<Item>>("items");
        QTest::addColumn<int>("room");
        QTest::addColumn<QList<int>>("widths");
        const QList<Item> four = {{100, 20, 3}, {80, 20, 2}, {60, 20, 1}, {50, 10, 0}};
        // Wanted: 290 and three gaps of 3.
        QTest::newRow("room to spare") << four << 400 << QList<int>{100, 80, 60, 50};
        QTest::newRow("just enough") << four << 299 << QList<int>{100, 80, 60, 50};
        QTest::newRow("the last rank gives") << four << 279 << QList<int>{100, 80, 60, 30};
        QTest::newRow("down to its least, then the next")
            << four << 239 << QList<int>{100, 80, 40, 10};
        QTest::newRow("all at their least") << four << 50 << QList<int>{20, 20, 20, 10};
        QTest::newRow("ranks apart from places")
            << QList<Item>{{50, 10, 2}, {60, 20, 0}, {70, 30, 1}} << 126 << QList<int>{50, 20, 50};
    }
    void givesWayInRankOrder()
    {
        QFETCH(QList<Item>, items);
        QFETCH(int, room);
        QFETCH(QList<int>, widths);
        QWidget row;
        auto* layout = new ui::GiveWayLayout(&row);
        layout->setSpacing(3);
        QList<QWidget*> made;
        for (const Item& item : items) {
            made << new Sized(item.wanted, item.least);
            layout->addWidget(made.constLast(), item.rank);
        }
        layout->setGeometry(QRect(0, 0, room, 10));
        int x = 0;
        for (int i = 0; i < made.size(); ++i) {
            QCOMPARE(made[i]->geometry(), QRect(x, 0, widths[i], 10));
            x += widths[i] + 3;
        }
    }

    // A saved tab with a change, the cursor on the neck, at the smallest width.
    void everyFieldWholeAtTheSmallestSize()
    {
        ui::testing::QuietWindow w;
        const QString path = w.path("blues-in-F.tab");
        ui::testing::writeFile(path, "FTH80:G D A E ;\r\n====================\r\n"
                                     "====================\r\n\r\n");
        w.form.show();
        QVERIFY(w.form.openFile(path));
        w.run(ui::Command::WriteNote);
        w.form.resize(100, 100);
        w.form.statusBar()->clearMessage();
        QTRY_COMPARE(child<QLabel>(w.form, "FileStatus")->text(),
                     QStringLiteral("blues-in-F.tab, unsaved"));
        QCOMPARE(w.form.width(), 653);
        for (const char* name : kFields) {
            const auto* field = child<ui::ElidedLabel>(w.form, name);
            QVERIFY2(!field->text().isEmpty(), name);
            QTRY_COMPARE(field->shownText(), field->text());
        }
    }

    // Texts longer than everyday ones, set on the real fields at the smallest width.
    void longTextsGiveWayInOrder_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<bool>>("whole");
        const QString name = QStringLiteral("blues-in-F.tab, unsaved");
        const QString cursor = QStringLiteral("C# string, fret 24: C#");
        QTest::newRow("the longest choice")
            << QStringList{name, cursor, "dotted sixteenth, HammerOn", "Line 1234, block 206"}
            << QList<bool>{true, true, true, false};
        QTest::newRow("a very long name")
            << QStringList{QString(120, u'n') + ".tab, unsaved", cursor, "quarter, Default",
                           "Line 7, block 2"}
            << QList<bool>{false, true, true, false};
        QTest::newRow("markup in a long name")
            << QStringList{"<b>riff</b> & <i>solo</i> " + QString(60, u'n') + ".tab, unsaved",
                           cursor, "quarter, Default", "Line 7, block 2"}
            << QList<bool>{false, true, true, false};
    }
    void longTextsGiveWayInOrder()
    {
        QFETCH(QStringList, texts);
        QFETCH(QList<bool>, whole);
        ui::testing::QuietWindow w;
        w.form.show();
        w.form.resize(100, 100);
        w.form.statusBar()->clearMessage();
        // The window's own texts, which come once its first events are done, come first.
        QCoreApplication::processEvents();
        for (int i = 0; i < texts.size(); ++i)
            child<QLabel>(w.form, kFields[i])->setText(texts[i]);
        QCOMPARE(w.form.width(), 653);
        // Laid out again.
        QCoreApplication::processEvents();
        const auto room = [&w](int i) {
            const auto* field = child<ui::ElidedLabel>(w.form, kFields[i]);
            return field->sizeHint().width() -
                   field->fontMetrics().horizontalAdvance(field->text());
        };
        for (int i = 0; i < texts.size(); ++i) {
            auto* field = child<ui::ElidedLabel>(w.form, kFields[i]);
            // Every field asks for its letters as they are, none read as markup; letters are
            // not whole pixels wide.
            QVERIFY2(qAbs(room(i) - room(3)) <= 1, kFields[i]);
            QTRY_COMPARE(field->shownText() == texts[i], whole[i]);
            QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), field->mapToGlobal(QPoint(2, 2)));
            QCoreApplication::sendEvent(field, &help);
            QTRY_COMPARE(QToolTip::isVisible(), !whole[i]);
            if (!whole[i]) {
                // The tip reads as the text, markup and all.
                QCOMPARE(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(), texts[i]);
                // Cut in the middle, the name keeps its end and whether it is saved.
                if (i == 0)
                    QVERIFY2(field->shownText().endsWith(QStringLiteral(".tab, unsaved")),
                             qPrintable(field->shownText()));
            }
        }
    }

    // Said once in the message line and for the whole run beside the fields, without a box;
    // the window's own state files land nowhere, not at the root of the file system.
    void withoutAHomeTheWindowSaysItKeepsNothing()
    {
        const platform::testing::WithoutHome noHome;
        const bool configBefore = QFileInfo::exists("/.config"),
                   dataBefore = QFileInfo::exists("/.local");
        ui::testing::ScriptedPrompter prompter;
        ui::TBassForm form(&prompter, nullptr, nullptr, ui::testing::silentDevices());
        QVERIFY(form.statusBar()->currentMessage().startsWith("No home folder"));
        QVERIFY(child<QLabel>(form, "NoHomeStatus")->toolTip().startsWith("No home"));
        QCOMPARE(prompter.asked, QStringList());
        QCOMPARE(QFileInfo::exists("/.config"), configBefore);
        QCOMPARE(QFileInfo::exists("/.local"), dataBefore);
    }
};

QTEST_MAIN(StatusBarTest)
#include "StatusBarTest.moc"
