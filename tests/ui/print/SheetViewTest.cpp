// View > Sheet beside the window: what is typed reaches the pages a moment later, the tab
// cursor, the selection and the sounding column are marked where the layout put their
// columns, and nothing is laid out while the panel is hidden.

#include "ui/print/SheetView.h"
#include "document/Document.h"
#include "tests/ui/entry/TabWindow.h"
#include "ui/print/DockRoom.h"
#include "ui/print/LiveSheet.h"
#include "ui/print/PrintFeature.h"
#include "ui/print/SheetSource.h"

#include <QDockWidget>
#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace quorlin;
using ui::testing::child;

Q_DECLARE_METATYPE(quorlin::ui::DockPlace)

namespace {

// Wide enough for every test's notes in one block.
constexpr int kWidth = 80;

struct SheetWindow : ui::testing::TabWindow {
    SheetWindow() : TabWindow(kWidth) {}

    ui::SheetView& view() const { return *child<ui::SheetView>(form, "SheetView"); }
    ui::LiveSheet& live() { return form.printing().liveSheet(); }
    void showSheet()
    {
        run(ui::Command::ViewSheet);
        QTRY_VERIFY(view().isVisible());
    }
    // Notes over more than one page, in sight.
    void showLongTab()
    {
        showSheet();
        for (int i = 0; i < 300; ++i)
            run(ui::Command::WriteNote);
        settle();
        QVERIFY(view().sheet().pages.size() > 1);
    }
    bool laidOutAsFromScratch()
    {
        const ui::SheetSource& source = form.printing().source();
        const score::Score score = source.score();
        return view().sheet() ==
               sheet::layoutSheet(score, source.input(score), ui::QtTextMeasure{});
    }
    // Every update asked for so far, done.
    void settle()
    {
        QCoreApplication::processEvents();
        live().flush();
    }

    // The fret numbers on the pages, left to right, a chord's from the top down.
    QStringList frets() const
    {
        const sheet::Sheet& laid = view().sheet();
        std::vector<std::tuple<int, float, float, QString>> found;
        for (std::size_t p = 0; p < laid.pages.size(); ++p)
            for (const sheet::Mark& mark : laid.pages[p].marks)
                if (mark.kind == sheet::MarkKind::Text && mark.role == sheet::FontRole::Fret)
                    found.emplace_back(
                        static_cast<int>(p), mark.box.x, mark.box.y,
                        QString::fromStdString(std::string(laid.pages[p].textOf(mark))));
        std::sort(found.begin(), found.end());
        QStringList texts;
        for (const auto& f : found)
            texts << std::get<3>(f);
        return texts;
    }

    // Whether the mark stands over the column where the layout printed it.
    bool marksColumn(const ui::SheetView::Marked& mark, int column) const
    {
        const sheet::Sheet& laid = view().sheet();
        const sheet::ColumnPlace& place = laid.columns.at(static_cast<std::size_t>(column));
        const sheet::Rect& staff = laid.systems.at(static_cast<std::size_t>(place.system)).staff;
        return mark.page == place.page && std::abs(mark.rect.center().x() - place.x) < 1e-3 &&
               mark.rect.top() < staff.y && mark.rect.bottom() > staff.bottom();
    }
};

} // namespace

class SheetViewTest : public QObject {
    Q_OBJECT

private slots:
    // Notes typed on the neck, and edits of them, come out as the fret numbers typed.
    void typedNotesReachTheSheet_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("frets");
        QTest::newRow("single notes") << "G5 G7 D3 E0" << QStringList{"5", "7", "3", "0"};
        QTest::newRow("two digits") << "A12 E10 G0" << QStringList{"12", "10", "0"};
        QTest::newRow("chord") << "G5 Shift+C D7" << QStringList{"5", "7"};
        QTest::newRow("replaced at the cursor") << "G5 G7 @0 D9" << QStringList{"9", "7"};
        QTest::newRow("inserted at the cursor") << "G5 G7 @1 Ins:A2" << QStringList{"5", "2", "7"};
        QTest::newRow("deleted last") << "G5 G7 D3 BackSpace" << QStringList{"5", "7"};
        QTest::newRow("undone") << "G5 G7 Ctrl+Z" << QStringList{"5"};
    }

    void typedNotesReachTheSheet()
    {
        QFETCH(QString, keys);
        QFETCH(QStringList, frets);
        SheetWindow w;
        w.showSheet();
        w.type(keys);
        QTRY_COMPARE(w.frets(), frets);
        QVERIFY(w.laidOutAsFromScratch());
    }

    // Laid out again from the changed column on, a long tab's sheet is the one laid out from
    // scratch, whether the edit is on its first system or its last.
    void editsOfALongTabLaidOutFromTheirSystem_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("replaced first") << "@0 D9";
        QTest::newRow("inserted early") << "@3 Ins:A2";
        QTest::newRow("appended") << "G5 G7";
        QTest::newRow("deleted last") << "BackSpace";
        QTest::newRow("undone") << "@0 D9 Ctrl+Z";
    }

    void editsOfALongTabLaidOutFromTheirSystem()
    {
        QFETCH(QString, keys);
        SheetWindow w;
        w.showLongTab();
        w.type(keys);
        w.settle();
        QVERIFY(w.laidOutAsFromScratch());
    }

    // Many changes in one turn of the event loop are laid out once; a hidden panel lays out
    // nothing until it shows again.
    void layoutsAreCoalescedAndOnlyInSight()
    {
        SheetWindow w;
        w.type(QStringLiteral("G5 G7"));
        w.settle();
        QCOMPARE(w.live().layouts(), 0);
        w.showSheet();
        w.settle();
        QCOMPARE(w.live().layouts(), 1);
        QCOMPARE(w.frets(), (QStringList{"5", "7"}));
        for (int i = 0; i < 3; ++i)
            w.run(ui::Command::WriteNote);
        w.settle();
        QCOMPARE(w.live().layouts(), 2);
        QCOMPARE(w.frets().size(), 5);
        w.run(ui::Command::ViewSheet);
        QVERIFY(!w.view().isVisible());
        w.type(QStringLiteral("D3 D4"));
        w.settle();
        QCOMPARE(w.live().layouts(), 2);
        w.showSheet();
        QTRY_COMPARE(w.frets().size(), 7);
        QCOMPARE(w.live().layouts(), 3);
    }

    // The bar stands on the cursor's column; a selection bands its columns; moving the cursor
    // marks again without laying out.
    void cursorBarFollowsTheTabCursor_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("column"); // -1: appending, no bar
        QTest::newRow("last column") << "Alt+Left" << 4;
        QTest::newRow("two back") << "Alt+Left Alt+Left Alt+Left" << 2;
        QTest::newRow("first") << "Alt+Home" << 0;
        QTest::newRow("into the second block") << "Alt+Home Alt+Right Alt+Right Alt+Right" << 3;
        QTest::newRow("back to appending") << "Alt+Left Alt+End" << -1;
        QTest::newRow("selecting") << "Alt+Home Shift+Alt+Right Shift+Alt+Right" << 2;
    }

    void cursorBarFollowsTheTabCursor()
    {
        QFETCH(QString, keys);
        QFETCH(int, column);
        SheetWindow w;
        w.showSheet();
        // Two blocks: the columns' places in the text differ from their indices.
        w.type(QStringLiteral("G5 G7 D3 Ctrl+Return A2 E0"));
        w.settle();
        const int layouts = w.live().layouts();
        w.type(keys);
        const ui::SheetView::Marked mark = w.view().cursorMark();
        if (column < 0)
            QCOMPARE(mark.page, -1);
        else
            QVERIFY(w.marksColumn(mark, column));
        QCOMPARE(w.live().layouts(), layouts);
        if (QByteArray(QTest::currentDataTag()) == "selecting") {
            QImage shot = w.view().viewport()->grab().toImage();
            const ui::SheetView& view = w.view();
            const auto shade = [&](int c) {
                const QPointF at = view.shownRect(view.columnMark(c)).center();
                return shot.pixelColor(at.toPoint());
            };
            // Columns 0 to 2 are selected, 3 is not: its paper stays white under the stem line.
            QVERIFY(shade(1) != shade(3));
            QVERIFY(shade(0).blue() > shade(0).red());
        }
    }

    // The sounding column is marked apart from the cursor and followed into sight; line -1
    // takes the mark away.
    void playbackMarker()
    {
        SheetWindow w;
        w.showLongTab();
        const std::vector<engine::Column>& columns = w.form.document().columns();
        ui::SheetView& view = w.view();
        for (const int c : {0, 299, 150}) {
            const engine::Column& column = columns.at(static_cast<std::size_t>(c));
            w.form.printing().showPlaying(column.firstLine, column.character);
            QVERIFY(w.marksColumn(view.playingMark(), c));
            QVERIFY(view.viewport()->rect().contains(view.shownRect(view.playingMark()).toRect()));
        }
        QCOMPARE(view.cursorMark().page, -1);
        w.form.printing().showPlaying(-1, 0);
        QCOMPARE(view.playingMark().page, -1);
    }

    // After an edit the place written is in sight: the end while appending, else the cursor.
    void editedPlaceInSight()
    {
        SheetWindow w;
        w.showLongTab();
        ui::SheetView& view = w.view();
        const auto inSight = [&view](int c) {
            return view.viewport()->rect().contains(view.shownRect(view.columnMark(c)).toRect());
        };
        QVERIFY(inSight(299));
        QVERIFY(!inSight(0));
        w.type(QStringLiteral("Alt+Home"));
        QVERIFY(inSight(0));
        w.type(QStringLiteral("G9"));
        w.settle();
        QVERIFY(inSight(0));
    }

    // The zoom keys reach the pages from anywhere in the window; Ctrl+0 fits the width again.
    void zoomKeysAndWheel_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("notches"); // of the wheel with Ctrl, after the keys
        QTest::addColumn<int>("larger");  // 1 larger than fitting the width, -1 smaller, 0 the same
        QTest::newRow("in") << "Ctrl++" << 0 << 1;
        QTest::newRow("out") << "Ctrl+-" << 0 << -1;
        QTest::newRow("in and back") << "Ctrl++ Ctrl++ Ctrl+0" << 0 << 0;
        QTest::newRow("wheel up") << "" << 1 << 1;
        QTest::newRow("wheel down") << "" << -2 << -1;
        QTest::newRow("wheel after fitting") << "Ctrl+- Ctrl+0" << 1 << 1;
    }

    void zoomKeysAndWheel()
    {
        QFETCH(QString, keys);
        QFETCH(int, notches);
        QFETCH(int, larger);
        SheetWindow w;
        w.showSheet();
        w.type(QStringLiteral("G5"));
        w.settle();
        ui::SheetView& view = w.view();
        const double fit = view.scale();
        w.type(keys);
        QVERIFY(w.neck().hasFocus());
        if (notches != 0) {
            const QPoint at = view.viewport()->rect().center();
            QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), {}, {0, 120 * notches},
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(view.viewport(), &wheel);
        }
        const double scale = view.scale();
        QCOMPARE(scale > fit * 1.01 ? 1 : scale < fit * 0.99 ? -1 : 0, larger);
        if (larger == 0)
            QCOMPARE(scale, fit);
        // The page is painted at that scale: wider than the view when zoomed in.
        if (larger > 0)
            QVERIFY(view.horizontalScrollBar()->maximum() > 0);
        // The first view reads well however narrow the panel: fret numbers of 8 points are
        // 10 pixels or more.
        QVERIFY(fit * 8 >= 10);
        QVERIFY(w.form.commands()[ui::Command::ZoomIn]->isEnabled());
    }

    // Beside the area while the screen has room, narrower while the area has more than its
    // designed width to give, floating when not even the least readable width is left.
    void dockPlaces_data()
    {
        QTest::addColumn<int>("canGrow");
        QTest::addColumn<int>("spare");
        QTest::addColumn<ui::DockPlace>("place");
        QTest::newRow("room to spare") << 1000 << 0 << ui::DockPlace{false, 566, 560};
        QTest::newRow("just room") << 566 << 0 << ui::DockPlace{false, 566, 560};
        QTest::newRow("the area gives the rest") << 300 << 647 << ui::DockPlace{false, 300, 560};
        QTest::newRow("narrower") << 100 << 300 << ui::DockPlace{false, 100, 394};
        QTest::newRow("the least") << 0 << 366 << ui::DockPlace{false, 0, 360};
        QTest::newRow("floating") << 0 << 365 << ui::DockPlace{true, 0, 560};
        QTest::newRow("a window past the screen") << -200 << 100 << ui::DockPlace{true, 0, 560};
    }

    void dockPlaces()
    {
        QFETCH(int, canGrow);
        QFETCH(int, spare);
        QFETCH(ui::DockPlace, place);
        QCOMPARE(ui::placeDock(560, 6, canGrow, spare, 360), place);
    }

    // Columns the score could not read are named once, below the pages.
    void unreadColumnsNamed()
    {
        SheetWindow w;
        w.showSheet();
        w.type(QStringLiteral("G5 G7"));
        w.settle();
        auto* skipped = child<QLabel>(w.form, "SheetSkipped");
        QVERIFY(skipped->isHidden());
        // The user's hands put a letter where a fret number was.
        QTextCursor cursor = w.area().document()->find(QStringLiteral("5"));
        cursor.insertText(QStringLiteral("x"));
        QTRY_COMPARE(skipped->text(), QStringLiteral("1 column could not be read, line 1"));
        QVERIFY(!skipped->isHidden());
        QCOMPARE(w.frets(), QStringList{"7"});
    }
};

QUORLIN_GUARDED_TEST_MAIN(SheetViewTest)

#include "SheetViewTest.moc"
