// Edits at the tab cursor, typed on the neck of the real window. Every tab an edit should
// leave is typed from scratch in a window of its own, as the user would type those notes.

#include "tests/ui/entry/TabWindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QMimeData>
#include <QRadioButton>
#include <QStatusBar>

using namespace quorlin;
using ui::testing::child;

namespace {

// Three columns a block, so that most edits cross a block's edge.
constexpr int kWidth = 11;

// Eight columns over three blocks: G5 G7(hammer-on) D7 | A3 D5 rest | E0 G2.
const QString kTab = QStringLiteral("q G5 Shift+H G7 Shift+D D7 e A3 D5 q r E0 G2");

constexpr int kAnyColumn = -2; // where the cursor is left, not checked

const QString kPlain = QStringLiteral("A plain note now, with no note before it on its string: ");

struct Window : ui::testing::TabWindow {
    Window() : TabWindow(kWidth) {}

    bool chordEnabled() const { return child<QRadioButton>(form, "RadioChord")->isEnabled(); }
    QString status() const { return form.statusBar()->currentMessage(); }
    // Back to appending with a whole plain note chosen, dot off as a click on its box leaves it.
    void appendAfter()
    {
        type(QStringLiteral("Alt+End Shift+D w"));
        child<QCheckBox>(form, "CheckHalf")->setChecked(false);
        type(QStringLiteral("A4"));
    }
};

// What typing `notes` on a fresh window gives: its text, the Chord button's state, and the
// text once a note is appended.
struct Typed {
    QString tab;
    bool chord = false;
    QString appended;
};

Typed typed(const QString& notes)
{
    Window w;
    w.type(notes);
    Typed t{w.tab(), w.chordEnabled(), {}};
    w.appendAfter();
    t.appended = w.tab();
    return t;
}

struct Place {
    QString tab;
    std::optional<int> cursor;
    QStringList marks;
};

Place placeOf(const Window& w)
{
    return {w.tab(), w.form.tabCursor(), w.marks()};
}

void compare(const Place& actual, const Place& expected)
{
    QCOMPARE(actual.tab, expected.tab);
    QCOMPARE(actual.cursor, expected.cursor);
    QCOMPARE(actual.marks, expected.marks);
}

} // namespace

class EditAtCursorTest : public QObject {
    Q_OBJECT

private slots:
    void edits_data()
    {
        QTest::addColumn<QString>("setup"); // keys after kTab, before the edit
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("after"); // the notes the tab then holds
        QTest::addColumn<int>("cursor");    // the column the cursor is left on, -1 appending
        QTest::addColumn<QString>("box");   // a refusal's box, as "title|text"
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const QString& setup, const char* edit,
                            const QString& after, int cursor = kAnyColumn,
                            const QString& status = {}) {
            QTest::newRow(name) << setup << QString(edit) << after << cursor << QString() << status;
        };
        const auto refused = [](const char* name, const QString& setup, const char* edit,
                                const QString& after, const QString& box) {
            QTest::newRow(name) << setup << QString(edit) << after << kAnyColumn << box
                                << QString();
        };
        const QString tail = QStringLiteral("D7 e A3 D5 q r E0 G2"); // after the hammer-on
        const QString g7 = QStringLiteral("q on G fret 7");
        const QString hammer = QStringLiteral("(error) You're too strong|Can't hammer on or pull "
                                              "off from another string");
        const QString chord = QStringLiteral("Error !|Can't make a chord with \rdifferent "
                                             "durations or\ror with notes on the same string !");

        row("replace", "@2", "A9", "q G5 Shift+H G7 Shift+D A9 e A3 D5 q r E0 G2", 2);
        // A fret typed over a column changes the fret: the column keeps its value, dot and
        // technique, whatever the palette and the radio buttons chose for the next note.
        row("replace keeps the value, the dot and the technique", "h . Shift+P @3", "A5",
            "q G5 Shift+H G7 Shift+D D7 e A5 D5 q r E0 G2", 3);
        row("replace keeps a hammer-on", "Alt+End Shift+D @1", "G9",
            "q G5 Shift+H G9 Shift+D " + tail, 1);
        row("replace a rest: laid out again, the rest's value kept", "h @5", "E3",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q E3 E0 G2");
        row("replace the note a hammer-on plays from", "@0", "D5", "q D5 G7 " + tail, 0,
            kPlain + "bar 1, beat 2 (block 1, column 2): " + g7);
        row("chord note added", "@2", "Shift+C A5",
            "q G5 Shift+H G7 Shift+D D7 Shift+C A5 Shift+D e A3 D5 q r E0 G2");
        row("chord note on its string replaced", "@2 Shift+C A5", "A7",
            "q G5 Shift+H G7 Shift+D D7 Shift+C A7 Shift+D e A3 D5 q r E0 G2");
        row("chord replaced by one note", "@2 Shift+C A5 Alt+End Shift+D @2", "E3",
            "q G5 Shift+H G7 Shift+D E3 e A3 D5 q r E0 G2");
        refused("chord on a rest", "@5", "Shift+C A5", kTab, chord);
        row("chord note of the column's duration", "@3", "Shift+C G2",
            "q G5 Shift+H G7 Shift+D D7 e A3 Shift+C G2 Shift+D D5 q r E0 G2");
        row("rest at a block's first column", "@3", "r",
            "q G5 Shift+H G7 Shift+D D7 r e D5 q r E0 G2");
        row("rest on the last column", "@7", "r", "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r E0 r");
        row("rest on the note a hammer-on plays from", "@0", "r", "q r G7 " + tail, 0,
            kPlain + "bar 1, beat 2 (block 1, column 2): " + g7);
        row("duration", "@1", "e", "q G5 Shift+H e G7 Shift+D q " + tail);
        row("duration of a rest", "@5", "w", "q G5 Shift+H G7 Shift+D D7 e A3 D5 w r q E0 G2");
        row("dotted rest", ". @3", "r", "q G5 Shift+H G7 Shift+D D7 q . r . e D5 q r E0 G2");
        row("dot", "@3", ".", "q G5 Shift+H G7 Shift+D D7 e . A3 . D5 q r E0 G2");
        row("dot with the box already checked", ". @3", ".",
            "q G5 Shift+H G7 Shift+D D7 e . A3 . D5 q r E0 G2");
        row("pull-off", "@1", "Shift+P", "q G5 Shift+P G7 Shift+D " + tail);
        row("slide", "@1", "Shift+S", "q G5 Shift+S G7 Shift+D " + tail);
        row("plain", "@1", "Shift+D", "q G5 G7 " + tail);
        row("slap", "@6", "Shift+A",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r Shift+A E0 Shift+D G2");
        row("triplet: laid out again", "@2", "Shift+T",
            "q G5 Shift+H G7 Shift+T D7 Shift+D e A3 D5 q r E0 G2", 2);
        row("hammer-on over a rest", "@6 D7", "Shift+H",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r Shift+H D7 Shift+D G2");
        refused("hammer-on from another string", "@2", "Shift+H", kTab, hammer);
        refused("pull-off from no note", "@0", "Shift+P", kTab, hammer);
        refused("slide from another string", "@3", "Shift+S", kTab,
                QStringLiteral("(error) You're too strong|Can't slide from one string to another"));

        row("insert at a block's first column", "@3", "Ins:E2",
            "q G5 Shift+H G7 Shift+D D7 E2 e A3 D5 q r E0 G2", 4);
        row("insert while appending", "Alt+End", "Ins:E2", kTab + " E2", -1);
        row("insert before a hammer-on", "@1", "Ins:D2", "q G5 D2 G7 " + tail, 2,
            kPlain + "bar 1, beat 3 (block 1, column 3): " + g7);
        row("insert a hammer-on", "Alt+End Shift+H @2", "Ins:G9",
            "q G5 Shift+H G7 G9 Shift+D " + tail, 3);
        refused("insert a hammer-on from another string", "Alt+End Shift+H @2", "Ins:D9", kTab,
                hammer);
        row("delete", "@1", "Del", "q G5 D7 e A3 D5 q r E0 G2", 1);
        row("delete a selection across blocks", "@2 Shift+Alt+Right", "Del",
            "q G5 Shift+H G7 Shift+D e D5 q r E0 G2", 2);
        row("delete the last two", "@7 Shift+Alt+Left", "Del",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r", -1);
        row("delete the note a hammer-on plays from", "@0", "Del", "q G7 " + tail, 0,
            kPlain + "bar 1, beat 1 (block 1, column 1): " + g7);
        row("backspace", "@3", "Backspace", "q G5 Shift+H G7 Shift+D e A3 D5 q r E0 G2", 2);
        row("paste across blocks", "@2 Shift+Alt+Right Ctrl+C Alt+End Alt+Left Alt+Left", "Ctrl+V",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r D7 e A3 q E0 G2", 8);
        row("paste a hammer-on after another string", "@1 Ctrl+C @5", "Ctrl+V",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q G7 r E0 G2", 6,
            kPlain + "bar 2, beat 1 (block 2, column 3): " + g7);
        row("paste while appending", "@2 Shift+Alt+Right Ctrl+C Alt+End", "Ctrl+V",
            kTab + " D7 e A3", -1);
        row("cut, then paste at the end", "@2 Shift+Alt+Right Ctrl+X Alt+End", "Ctrl+V",
            "q G5 Shift+H G7 Shift+D e D5 q r E0 G2 D7 e A3", -1);

        // A triplet appended as columns 8 to 10.
        const QString triplet = QStringLiteral("Alt+End Shift+T A5 Shift+D ");
        row("rest on a triplet", triplet + "@9", "r", kTab + " r", 8);
        row("replace in a triplet: still a triplet", triplet + "@9", "E3",
            kTab + " Shift+T E3 Shift+D", 9);
        row("plain in a triplet: one note", triplet + "@9", "Shift+D", kTab + " A5", 8);
        row("chord note on a triplet", triplet + "@10", "Shift+C E2",
            kTab + " Shift+T A5 Shift+C E2 Shift+D");
        refused("chord on a triplet's own string", triplet + "@10", "Shift+C A2",
                kTab + " Shift+T A5 Shift+D", chord);
        row("copy into a triplet, paste at the end", triplet + "@7 Shift+Alt+Right Ctrl+C Alt+End",
            "Ctrl+V", kTab + " Shift+T A5 Shift+D G2 Shift+T A5 Shift+D", -1);
        row("duration of a triplet", triplet + "@10", "e", kTab + " e Shift+T A5 Shift+D");
        row("delete in a triplet: all of it", triplet + "@9", "Del", kTab, -1);
        row("cut into a triplet: all of it", triplet + "@7 Shift+Alt+Right", "Ctrl+X",
            "q G5 Shift+H G7 Shift+D D7 e A3 D5 q r E0", -1);
        row("backspace after a triplet: all of it", triplet + "D3 @11", "Backspace", kTab + " D3",
            8);
        row("insert in a triplet: before it", triplet + "@9", "Ins:E2",
            kTab + " E2 Shift+T A5 Shift+D", 10);
        row("paste in a triplet: before it", triplet + "@0 Ctrl+C @10", "Ctrl+V",
            kTab + " G5 Shift+T A5 Shift+D", 11);
        row("transpose in a triplet: all of it", triplet + "@9", "Ctrl+Up",
            kTab + " Shift+T A6 Shift+D");

        // A "New line" before column 8.
        const QString broken = QStringLiteral("Alt+End Ctrl+Return D3 D4 ");
        const QString beforeBreak = QStringLiteral("q G5 Shift+H G7 Shift+D D7 e A3 D5 q r E0");
        row("delete after a new line", broken + "@8", "Del", kTab + " Ctrl+Return D4", 8);
        row("insert after a new line", broken + "@8", "Ins:E2", kTab + " Ctrl+Return E2 D3 D4", 9);
        row("backspace over a new line", broken + "@8", "Backspace",
            beforeBreak + " Ctrl+Return D3 D4", 7);
        row("paste after a new line", broken + "@1 Ctrl+C @8", "Ctrl+V",
            kTab + " Ctrl+Return Shift+H G7 Shift+D D3 D4", 9);
        row("delete all after a new line", broken + "@8 Shift+Alt+Right", "Del",
            kTab + " Ctrl+Return", -1);
        row("delete before a new line the tab ends in", "Alt+End Ctrl+Return @7", "Del",
            beforeBreak + " Ctrl+Return", -1);

        row("a semitone up across blocks", "@4 Shift+Alt+Left Shift+Alt+Left", "Ctrl+Up",
            "q G5 Shift+H G7 Shift+D D8 e A4 D6 q r E0 G2", 2);
        // C2 D2 A1 in second position, as the A3 after them: A3, A5 (the hammer-on kept), and
        // the open A rather than a reach back to E5.
        row("an octave down onto other strings", "@2 Shift+Alt+Left Shift+Alt+Left",
            "Ctrl+Shift+Down", "q A3 Shift+H A5 Shift+D A0 e A3 D5 q r E0 G2", 0);
        // A3 D5 up an octave: the same shape a string over, not A15 D17.
        row("an octave up onto the next strings", "@4 Shift+Alt+Left", "Ctrl+Shift+Up",
            "q G5 Shift+H G7 Shift+D D7 e D10 G12 q r E0 G2");
        // G5 an octave down: E8, under the hand that plays G7 and D7 next (A3 would shift).
        row("the note a hammer-on plays from an octave down", "@0", "Ctrl+Shift+Down",
            "q E8 G7 " + tail, 0, kPlain + "bar 1, beat 2 (block 1, column 2): " + g7);
        row("a chord a semitone up", "@2 Shift+C A5 Alt+End Shift+D @2", "Ctrl+Up",
            "q G5 Shift+H G7 Shift+D D8 Shift+C A6 Shift+D e A3 D5 q r E0 G2", 2);
        refused("an octave up off the neck", "Alt+End G24 @8", "Ctrl+Shift+Up", kTab + " G24",
                QStringLiteral("Transpose|Nothing was moved: these notes would fit nowhere on "
                               "the neck.\n\nbar 2, beat 4 (block 3, column 3): q on G fret 24"));
    }
    void edits()
    {
        QFETCH(QString, setup);
        QFETCH(QString, edit);
        QFETCH(QString, after);
        QFETCH(int, cursor);
        QFETCH(QString, box);
        QFETCH(QString, status);
        const Typed expected = typed(after);

        Window w;
        w.type(kTab + ' ' + setup);
        const Place before = placeOf(w);
        w.type(edit);
        QCOMPARE(w.tab(), expected.tab);
        QCOMPARE(w.prompter.asked, box.isEmpty() ? QStringList() : QStringList{box});
        if (!status.isEmpty())
            QCOMPARE(w.status(), status);
        else
            QVERIFY2(!w.status().contains(QStringLiteral("plain note")), qPrintable(w.status()));
        QCOMPARE(w.chordEnabled(), expected.chord);
        if (cursor != kAnyColumn)
            QCOMPARE(w.form.tabCursor().value_or(-1), cursor);
        if (box.isEmpty()) {
            // One step back gives the text, cursor and selection as they were; one forward
            // those the edit left.
            const Place done = placeOf(w);
            w.type(QStringLiteral("Ctrl+Z"));
            compare(placeOf(w), before);
            w.type(QStringLiteral("Ctrl+Shift+Z"));
            compare(placeOf(w), done);
        }
        w.appendAfter();
        QCOMPARE(w.tab(), expected.appended);
        if (box.isEmpty()) {
            // Undone, the tab appends as it did before the edit.
            w.type(QStringLiteral("Ctrl+Z Ctrl+Z"));
            w.appendAfter();
            Window unedited;
            unedited.type(kTab + ' ' + setup);
            unedited.appendAfter();
            QCOMPARE(w.tab(), unedited.tab());
        }
    }

    // A choice clicked on its button changes the tab cursor's column as its key does, also a
    // button that was already checked.
    void buttonsDoWhatTheirKeysDo_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
            {"eighth", "@1", "ButtonE", "e"},
            {"quarter, chosen already", "@3", "ButtonQ", "q"},
            {"dot", "@2", "CheckHalf", "."},
            {"pull-off", "@1", "RadioP", "Shift+P"},
            {"default, chosen already", "@1", "RadioDefault", "Shift+D"}};
        for (const auto& [name, setup, button, key] : rows)
            QTest::newRow(name) << QString(setup) << QString(button) << QString(key);
    }
    void buttonsDoWhatTheirKeysDo()
    {
        QFETCH(QString, setup);
        QFETCH(QString, button);
        QFETCH(QString, key);
        Window keyed;
        keyed.type(kTab + ' ' + setup + ' ' + key);
        Window clicked;
        clicked.type(kTab + ' ' + setup);
        const QString before = clicked.tab();
        auto* on = child<QAbstractButton>(clicked.form, qPrintable(button));
        // Near the left edge: a check box's or radio button's indicator, inside a push button.
        QTest::mouseClick(on, Qt::LeftButton, Qt::NoModifier, QPoint(8, on->height() / 2));
        QVERIFY(clicked.tab() != before);
        QCOMPARE(clicked.tab(), keyed.tab());
        QCOMPARE(clicked.form.tabCursor(), keyed.form.tabCursor());
        QVERIFY(clicked.neck().hasFocus());
    }

    // Tab text copied from elsewhere pastes as the columns it reads as.
    void pasteTabText()
    {
        QGuiApplication::clipboard()->setText(typed(QStringLiteral("e A3 D5")).tab);
        Window w;
        w.type(kTab + QStringLiteral(" @3 Ctrl+V"));
        QCOMPARE(w.tab(), typed("q G5 Shift+H G7 Shift+D D7 e A3 D5 A3 D5 q r E0 G2").tab);
    }

    // In the text area the copy and paste keys are its own, on its characters.
    void textAreaKeys()
    {
        Window w;
        w.type(kTab + " @1 Shift+Alt+Right Ctrl+C");
        const QString columnsText = QGuiApplication::clipboard()->text();
        QVERIFY(!columnsText.isEmpty());
        const QString tab = w.tab();

        // With columns in the clipboard, their text goes in at the caret as characters.
        w.area().setFocus();
        QTextCursor caret(w.area().document());
        caret.setPosition(13);
        w.area().setTextCursor(caret);
        QTest::keyClick(&w.area(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.tab(), QString(tab).insert(13, columnsText));

        caret.setPosition(2);
        caret.setPosition(9, QTextCursor::KeepAnchor);
        w.area().setTextCursor(caret);
        QTest::keyClick(&w.area(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData& copied = *QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied.text(), tab.mid(2, 7));
        QVERIFY(!copied.hasFormat(QStringLiteral("application/x-quorlin-columns")));
    }
};

QUORLIN_GUARDED_TEST_MAIN(EditAtCursorTest)

#include "EditAtCursorTest.moc"
