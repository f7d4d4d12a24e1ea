// The tab cursor: moved by keys on the neck and by Alt+click in the text, shown as a mark
// across its column and named in the status bar, without touching the user's own caret.

#include "tests/ui/entry/TabWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>

using namespace quorlin;
using ui::testing::child;

namespace {

// At width 11 a block holds three columns: "| " and three cells of three characters.
constexpr int kWidth = 11;
constexpr int kBlockLines = 6; // rhythm, four strings, articulation

// Five columns over two blocks, typed on the neck as the user would. The cursor starts on
// the G string (row 1); Down goes to D, then A.
const char* const kNotes = "5 Return q r Down 7 Return "
                           "e . 3 Return Shift+C Down 2 Return Shift+D . q r";

// In 4/4 the five start on the beats of bar 1, the last a dotted eighth after the fourth.
const char* const kColumnTexts[] = {
    "bar 1, beat 1 (block 1, column 1): q on G fret 5",
    "bar 1, beat 2 (block 1, column 2): q rest",
    "bar 1, beat 3 (block 1, column 3): q on D fret 7",
    "bar 1, beat 4 (block 2, column 1): e. on D fret 3, A fret 2",
    "bar 1, beat 4.75 (block 2, column 2): q rest",
};

struct Tabbed : ui::testing::TabWindow {
    Tabbed() : TabWindow(kWidth)
    {
        type(kNotes);
        // The user's own selection in the text, which the tab cursor must leave alone.
        QTextCursor selection(area().document());
        selection.setPosition(3);
        selection.setPosition(9, QTextCursor::KeepAnchor);
        area().setTextCursor(selection);
        appendingText = status();
    }

    QString status() const { return child<QLabel>(form, "CursorStatus")->text(); }

    QString appendingText;
};

// What a column's mark covers, worked out from the layout: its cell on all six lines.
QStringList columnMarks(int column)
{
    QStringList ranges;
    const int block = column / 3;
    for (int line = block * kBlockLines; line < (block + 1) * kBlockLines; ++line)
        ranges << QStringLiteral("%1:%2+3").arg(line).arg(2 + 3 * (column % 3));
    return ranges;
}

} // namespace

class TabCursorTest : public QObject {
    Q_OBJECT

private slots:
    void keysOnTheNeck_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("column"); // -1: appending
        QTest::newRow("left from appending: the last column") << "Alt+Left" << 4;
        QTest::newRow("left again") << "Alt+Left Alt+Left" << 3;
        QTest::newRow("right off the last: appending") << "Alt+Left Alt+Right" << -1;
        QTest::newRow("right while appending stays") << "Alt+Right" << -1;
        QTest::newRow("home") << "Alt+Home" << 0;
        QTest::newRow("left at the first stays") << "Alt+Home Alt+Left" << 0;
        QTest::newRow("right across blocks") << "Alt+Home Alt+Right Alt+Right Alt+Right" << 3;
        QTest::newRow("down: same column number") << "Alt+Home Alt+Right Alt+Down" << 4;
        QTest::newRow("down: the shorter block's last")
            << "Alt+Home Alt+Right Alt+Right Alt+Down" << 4;
        QTest::newRow("up: same column number") << "Alt+Left Alt+Up" << 1;
        QTest::newRow("up at the first block stays") << "Alt+Home Alt+Right Alt+Up" << 1;
        QTest::newRow("up from appending: the block above's last") << "Alt+Up" << 2;
        QTest::newRow("down from the last block: appending") << "Alt+Left Alt+Down" << -1;
        QTest::newRow("end") << "Alt+Home Alt+End" << -1;
        QTest::newRow("escape") << "Alt+Home Escape" << -1;
    }
    void keysOnTheNeck()
    {
        QFETCH(QString, keys);
        QFETCH(int, column);
        Tabbed w;
        const QString tab = w.tab();
        QCOMPARE(w.form.state().blockStart, kBlockLines);
        w.type(keys);
        QCOMPARE(w.form.tabCursor().value_or(-1), column);
        QCOMPARE(w.marks(), column < 0 ? QStringList() : columnMarks(column));
        QCOMPARE(w.status(), column < 0 ? w.appendingText : QString(kColumnTexts[column]));
        QVERIFY(w.neck().hasFocus());
        QCOMPARE(w.area().textCursor().anchor(), 3);
        QCOMPARE(w.area().textCursor().position(), 9);
        QCOMPARE(w.tab(), tab);
    }

    // Alt+click on any line of a column's cells, its middle character or its edges.
    void altClick_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("character");
        QTest::addColumn<int>("column");
        QTest::newRow("rhythm line, first cell") << 0 << 3 << 0;
        QTest::newRow("string line, a cell's first character") << 2 << 5 << 1;
        QTest::newRow("articulation line, a cell's last character") << 5 << 10 << 2;
        QTest::newRow("second block, chord cell") << 9 << 3 << 3;
        QTest::newRow("second block, rest") << 7 << 6 << 4;
    }
    void altClick()
    {
        QFETCH(int, line);
        QFETCH(int, character);
        QFETCH(int, column);
        Tabbed w;
        w.area().setFocus();
        QTextCursor at(w.area().document()->findBlockByNumber(line));
        at.setPosition(at.position() + character);
        const QRect left = w.area().cursorRect(at);
        at.movePosition(QTextCursor::NextCharacter);
        const QRect right = w.area().cursorRect(at);
        // In the character's right half, nearer the gap after it than the one before.
        const QPoint inside(left.x() + (right.x() - left.x()) * 3 / 4, left.center().y());
        QTest::mouseClick(w.area().viewport(), Qt::LeftButton, Qt::AltModifier, inside);
        QCOMPARE(w.form.tabCursor().value_or(-1), column);
        QCOMPARE(w.marks(), columnMarks(column));
        QCOMPARE(w.status(), QString(kColumnTexts[column]));
        QVERIFY(w.neck().hasFocus());
        QCOMPARE(w.area().textCursor().anchor(), 3);
        QCOMPARE(w.area().textCursor().position(), 9);
    }

    // A hand edit: the cursor keeps its column number while the text still reads.
    void handEdits_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("replaced"); // the character at `at`
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("status");
        // Line 1, the G string: "G --5..." from character 0; the fret is character 4.
        QTest::newRow("a fret retyped")
            << 4 << "5"
            << "6" << 0 << "bar 1, beat 1 (block 1, column 1): q on G fret 6";
        QTest::newRow("a line the engine never writes") << 4 << "5"
                                                        << "5\nhello" << -1 << "";
    }
    void handEdits()
    {
        QFETCH(int, at);
        QFETCH(QString, replaced);
        QFETCH(QString, typed);
        QFETCH(int, column);
        QFETCH(QString, status);
        Tabbed w;
        w.type("Alt+Home");
        QCOMPARE(w.form.tabCursor(), std::optional(0));
        QTextCursor edit(w.area().document()->findBlockByNumber(1));
        edit.setPosition(edit.position() + at);
        edit.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        QCOMPARE(edit.selectedText(), replaced);
        edit.insertText(typed);
        // The edit is taken in once its events are done.
        QTRY_COMPARE(w.status(), column < 0 ? w.appendingText : status);
        QCOMPARE(w.form.tabCursor().value_or(-1), column);
        QCOMPARE(w.marks(), column < 0 ? QStringList() : columnMarks(column));
        if (column < 0) {
            // The keys say why the cursor cannot stand there, rather than do nothing.
            w.type("Alt+Left");
            QVERIFY(!w.form.tabCursor());
            QVERIFY(w.form.statusBar()->currentMessage().startsWith(
                "The tab cursor needs the tab as Quorlin writes it: Line "));
        }
    }

    // The first block deleted by hand: the cursor on the next block stays on its note.
    void aHandEditBeforeTheCursorKeepsItOnItsNote()
    {
        Tabbed w;
        w.type("Alt+Home Alt+Right Alt+Right Alt+Right");
        QCOMPARE(w.status(), QString(kColumnTexts[3]));
        QTextCursor edit(w.area().document());
        edit.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, kBlockLines);
        edit.removeSelectedText();
        QTRY_COMPARE(w.status(),
                     QStringLiteral("bar 1, beat 1 (block 1, column 1): e. on D fret 3, A fret 2"));
        QCOMPARE(w.form.tabCursor(), std::optional(0));
        QCOMPARE(w.marks(), columnMarks(0));
    }

    // Bars of the tab's time signature: h G5, h G7 | w G3 | q G2 in 4/4, the whole in bar 2
    // from beat 2 on in 3/4.
    void bars_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QList<int>>("typed"); // into the Go to bar box; none: Cancel
        QTest::addColumn<int>("column");       // -1: appending
        QTest::addColumn<QString>("asked");
        const QList<int> none;
        QTest::newRow("next bar") << "Alt+Home Alt+PgDown"
                                  << "4/4" << none << 2 << "";
        QTest::newRow("next again") << "Alt+Home Alt+PgDown Alt+PgDown"
                                    << "4/4" << none << 3 << "";
        QTest::newRow("past the last bar: appending") << "Alt+Home Alt+PgDown Alt+PgDown Alt+PgDown"
                                                      << "4/4" << none << -1 << "";
        QTest::newRow("previous from appending: the last bar's first") << "Alt+PgUp"
                                                                       << "4/4" << none << 3 << "";
        QTest::newRow("previous from a bar's first: the bar before") << "Alt+Left Alt+PgUp"
                                                                     << "4/4" << none << 2 << "";
        QTest::newRow("previous inside a bar: its first") << "Alt+Home Alt+Right Alt+PgUp"
                                                          << "4/4" << none << 0 << "";
        QTest::newRow("in 3/4 the next bar starts inside the whole")
            << "Alt+Home Alt+PgDown Alt+PgDown"
            << "3/4" << none << 3 << "";
        QTest::newRow("go to bar 2") << "Ctrl+G"
                                     << "4/4" << QList<int>{2} << 2 << "Go to bar|Bar, 1 to 3: [3]";
        QTest::newRow("go to a bar begun inside the whole")
            << "Alt+Home Ctrl+G"
            << "3/4" << QList<int>{3} << 2 << "Go to bar|Bar, 1 to 3: [1]";
        QTest::newRow("go to bar, cancelled") << "Alt+Home Alt+Right Ctrl+G"
                                              << "4/4" << none << 1 << "Go to bar|Bar, 1 to 3: [1]";
    }
    void bars()
    {
        QFETCH(QString, keys);
        QFETCH(QString, time);
        QFETCH(QList<int>, typed);
        QFETCH(int, column);
        QFETCH(QString, asked);
        ui::testing::TabWindow w(kWidth);
        child<QComboBox>(w.form, "TimeSignatureField")->setCurrentText(time);
        w.type(QStringLiteral("h G5 G7 w G3 q G2"));
        w.prompter.numbers = typed;
        w.type(keys);
        QCOMPARE(w.form.tabCursor().value_or(-1), column);
        QCOMPARE(w.prompter.asked, asked.isEmpty() ? QStringList() : QStringList{asked});
        QVERIFY(w.neck().hasFocus());
    }

    // A long tab: the cursor's whole block is brought into sight, the caret left alone.
    void theTextScrollsToTheCursorsBlock_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("block");
        QTest::newRow("first column") << "Alt+Home" << 0;
        QTest::newRow("down the tab") << "Alt+Home Alt+Down Alt+Down Alt+Down Alt+Down" << 4;
        QTest::newRow("back to the last") << "Alt+Home Alt+End Alt+Left" << 19;
        QTest::newRow("up from the end") << "Alt+Home Alt+End Alt+Up Alt+Up" << 17;
    }
    void theTextScrollsToTheCursorsBlock()
    {
        QFETCH(QString, keys);
        QFETCH(int, block);
        Tabbed w;
        // Twenty blocks in all, far more than the text area shows.
        for (int i = 0; i < 55; ++i)
            w.type(QStringLiteral("Return"));
        const int caret = w.area().textCursor().position();
        w.type(keys);
        const QRect view = w.area().viewport()->rect();
        for (const int line : {block * kBlockLines, (block + 1) * kBlockLines - 1}) {
            const QTextCursor place(w.area().document()->findBlockByNumber(line));
            QVERIFY2(view.contains(w.area().cursorRect(place)), qPrintable(QString::number(line)));
        }
        QCOMPARE(w.area().textCursor().position(), caret);
    }
};

QUORLIN_GUARDED_TEST_MAIN(TabCursorTest)

#include "TabCursorTest.moc"
