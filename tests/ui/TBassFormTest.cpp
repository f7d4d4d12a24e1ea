// The main window's own wiring and the paths where it fails or turns back. The end-to-end
// journey walks the ones that work.

#include "ui/BassU1/TBassForm.h"
#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FormTesting.h"
#include "ui/DurationDrag.h"
#include "ui/NeckWidget.h"
#include "ui/Tunning/TTunningF.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlin;
using ui::testing::child;
using Answer = ui::Prompter::Answer;

namespace {

// The drawn pitch of the neck, not the widget's constants: a neck laid out otherwise drops
// notes where the player did not aim.
QPoint cellCentre(int column, int row)
{
    return {column * 21 + 10, row * 17 + 8};
}

// A window with its questions answered from a script, and a note written unless not wanted.
struct Window {
    ui::testing::ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    ui::TBassForm form{&prompter, &store};

    explicit Window(bool note = true)
    {
        if (note)
            drop(cellCentre(3, 1));
    }
    QPlainTextEdit& tab() const { return *child<QPlainTextEdit>(form, "Tab"); }
    void click(const char* button) { QTest::mouseClick(child(form, button), Qt::LeftButton); }
    // `payload` is a duration symbol, or "text" for plain text.
    bool drop(QPoint point, const char* payload = "q", const char* target = "BassNeck")
    {
        QMimeData data;
        if (payload == QLatin1String("text"))
            data.setText(QStringLiteral("q"));
        else
            data.setData(ui::kDurationMimeType, payload);
        QWidget* widget = child(form, target);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            widget = area->viewport();
        return ui::testing::dragAndDrop(widget, point, data);
    }
    // Answers the next file dialog with `path`; `onChosen` runs once the dialog has taken
    // the name and before the window acts on it.
    void choose(const char* dialog, const QString& path, std::function<void()> onChosen = {})
    {
        ui::testing::whenVisible<QFileDialog>(form, dialog, [path, onChosen](QFileDialog* d) {
            if (onChosen)
                QObject::connect(d, &QFileDialog::fileSelected, d, onChosen,
                                 Qt::SingleShotConnection);
            d->setOption(QFileDialog::DontConfirmOverwrite);
            d->selectFile(path);
            static_cast<QDialog*>(d)->accept();
        });
    }
};

struct Drag {
    const char *target, *payload; // a duration symbol, or "text"
    QPoint point, current;        // current: the neck's current (column, row) afterwards
    bool taken, writes;
};

struct RightClick {
    QPoint cell;
    bool right, afterANote;
    QString shown, name; // the pop-up's note, empty when it stays shut; the string's name
};

struct Closing {
    bool write, exit, closed; // exit: by "Exit" rather than the window's frame
    Answer choice;
    const char* target; // where "Yes" saves
};

} // namespace

Q_DECLARE_METATYPE(Drag)
Q_DECLARE_METATYPE(RightClick)
Q_DECLARE_METATYPE(Closing)

class TBassFormTest : public QObject {
    Q_OBJECT

private slots:
    void drags_data()
    {
        QTest::addColumn<Drag>("drag");
        const QPoint none(-1, -1);
        QTest::newRow("fret numbers") << Drag{"BassNeck", "q", {100, 8}, none, false, false};
        QTest::newRow("string names") << Drag{"BassNeck", "q", {10, 40}, none, true, true};
        QTest::newRow("a fret") << Drag{"BassNeck", "q", cellCentre(7, 2), {7, 2}, true, true};
        QTest::newRow("below the strings") << Drag{"BassNeck", "q", {100, 110}, none, true, false};
        QTest::newRow("text") << Drag{"BassNeck", "text", cellCentre(3, 1), none, false, false};
        QTest::newRow("no duration") << Drag{"BassNeck", "x", cellCentre(3, 1), none, false, false};
        QTest::newRow("rest") << Drag{"PanelRest", "h", {5, 5}, none, true, true};
        QTest::newRow("text as a rest") << Drag{"PanelRest", "text", {5, 5}, none, false, false};
        // The text area takes text, but never a duration.
        QTest::newRow("duration on the text") << Drag{"Tab", "q", {5, 5}, none, false, false};
    }

    // What lands locks the set-up.
    void drags()
    {
        QFETCH(Drag, drag);
        Window w(false);
        auto* neck = child<ui::NeckWidget>(w.form, "BassNeck");
        neck->setCurrentCell(-1, -1);
        QCOMPARE(w.drop(drag.point, drag.payload, drag.target), drag.taken);
        QCOMPARE(QPoint(neck->currentColumn(), neck->currentRow()), drag.current);
        QCOMPARE(!w.tab().toPlainText().isEmpty(), drag.writes);
        QCOMPARE(child(w.form, "MaxLineLen")->isEnabled(), !drag.writes);
    }

    // A chord left checked with its button disabled could never be unchecked.
    void aRefusedChordSaysWhyAndClearingUnchecksIt()
    {
        Window w;
        child<QRadioButton>(w.form, "RadioChord")->setChecked(true);
        w.drop(cellCentre(9, 2), "e");
        QCOMPARE(w.prompter.asked, QStringList{"Error !|Can't make a chord with \rdifferent "
                                               "durations or\ror with notes on the same string !"});
        w.prompter.answers << true;
        w.click("ButtonClear");
        QVERIFY(!child(w.form, "RadioChord")->isEnabled());
        QVERIFY(child<QRadioButton>(w.form, "RadioDefault")->isChecked());
    }

    void rightClick_data()
    {
        QTest::addColumn<RightClick>("click");
        QTest::newRow("string name") << RightClick{{0, 2}, true, false, "D ", "D#"};
        QTest::newRow("first fret") << RightClick{{1, 4}, true, false, "E ", "F "};
        QTest::newRow("second fret") << RightClick{{2, 2}, true, false, "", "D "};
        QTest::newRow("fret numbers") << RightClick{{0, 0}, true, false, "", ""};
        QTest::newRow("left button") << RightClick{{0, 3}, false, false, "", "A "};
        QTest::newRow("after a note") << RightClick{{1, 3}, true, true, "", "A "};
    }

    // The pop-up steps the name one semitone up.
    void rightClick()
    {
        QFETCH(RightClick, click);
        Window w(click.afterANote);
        w.form.setTuningPopup(new ui::TTunningF(&w.form));
        w.form.show();
        QString seen;
        ui::testing::whenVisible<ui::TTunningF>(w.form, "TunningF", [&](ui::TTunningF* popup) {
            seen = child<QLabel>(*popup, "Note")->text();
            QTest::mouseClick(child(*popup, "Up"), Qt::LeftButton);
            QTest::mouseClick(child(*popup, "ButtonOk"), Qt::LeftButton);
        });
        const auto* neck = child<ui::NeckWidget>(w.form, "BassNeck");
        QTest::mouseClick(neck->viewport(), click.right ? Qt::RightButton : Qt::LeftButton, {},
                          cellCentre(click.cell.x(), click.cell.y()));
        QCOMPARE(seen, click.shown);
        QCOMPARE(neck->cellText(0, click.cell.y()), click.name);
    }

    // The field reads as 0 while it holds no number. The keys and the arrows reach the
    // window by different signals.
    void widthField()
    {
        Window w(false);
        auto* spin = child<QSpinBox>(w.form, "MaxLineLen");
        auto* field = spin->findChild<QLineEdit*>();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(w.form.state().tabWidth, 0);
        QTest::keyClick(field, Qt::Key_Minus);
        QCOMPARE(w.form.state().tabWidth, 0);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, "61");
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(w.form.state().tabWidth, 62);
    }

    void newLineFillsTheBlockAsOneUndoStep()
    {
        const QString block = QStringLiteral("| \nG \nD \nA \nE \n> \n");
        Window w(false);
        w.tab().setPlainText(block);
        w.click("AbortLine");
        const QStringList lines = w.tab().toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines[1], QStringLiteral("G ") + QString(79, QLatin1Char('-')));
        QCOMPARE(lines[5], QStringLiteral("> ") + QString(79, QLatin1Char(' ')));
        w.tab().undo();
        QCOMPARE(w.tab().toPlainText(), block);
    }

    // "No" to the Clear question stops a load before its dialog; a loaded tab starts a
    // history of its own; a file that cannot be read is reported.
    void loading()
    {
        Window w;
        const QString written = w.tab().toPlainText();
        const QString path = m_dir.filePath(QStringLiteral("song.tab"));
        w.choose("SaveFile", path);
        w.click("ButtonSave");
        w.choose("OpenFile", path);
        w.prompter.answers << false << true;
        w.click("LoadTab");
        QVERIFY(w.form.findChild<QFileDialog*>("OpenFile") == nullptr);
        w.click("LoadTab");
        QCOMPARE(w.tab().toPlainText(), written);
        w.tab().undo();
        QCOMPARE(w.tab().toPlainText(), written);
        QVERIFY(!child(w.form, "MaxStringsSpin")->isEnabled());
        QCOMPARE(w.prompter.asked.size(), 2); // the Clear questions only

        // The file is there when the dialog takes it and gone when the window reads it.
        w.prompter.answers << true;
        w.choose("OpenFile", path, [path] { QFile::remove(path); });
        w.click("LoadTab");
        QVERIFY(w.prompter.asked.last().startsWith("(error) Load Tab|The tab could not be read "));
        QVERIFY(child(w.form, "MaxLineLen")->isEnabled()); // nothing was loaded
    }

    void closing_data()
    {
        QTest::addColumn<Closing>("closing");
        QTest::newRow("empty tab") << Closing{false, false, true, Answer::Cancel, ""};
        QTest::newRow("discard") << Closing{true, false, true, Answer::No, ""};
        QTest::newRow("stay") << Closing{true, false, false, Answer::Cancel, ""};
        QTest::newRow("save") << Closing{true, false, true, Answer::Yes, "song.tab"};
        QTest::newRow("exit, discard") << Closing{true, true, true, Answer::No, ""};
        QTest::newRow("exit, stay") << Closing{true, true, false, Answer::Cancel, ""};
        // A folder that is a file stops root too, unlike permissions. A device is written in
        // place, never replaced.
        QTest::newRow("missing folder") << Closing{true, false, false, Answer::Yes, "gone/a.tab"};
        QTest::newRow("folder is a file") << Closing{true, false, false, Answer::Yes, "file/a.tab"};
        QTest::newRow("full device") << Closing{true, false, false, Answer::Yes, "/dev/full"};
    }

    void closing()
    {
        QFETCH(Closing, closing);
        QFile(m_dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
        const QString path = QDir(m_dir.path()).filePath(closing.target);
        Window w(closing.write);
        if (!closing.write) { // typed and taken out again: nothing to lose
            w.tab().insertPlainText(QStringLiteral("x"));
            w.tab().textCursor().deletePreviousChar();
        }
        w.prompter.choices = {closing.choice};
        w.form.show();
        if (closing.choice == Answer::Yes)
            w.choose("SaveFile", path);
        if (closing.exit)
            w.click("ButtonExit");

        QCOMPARE(closing.exit ? !w.form.isVisible() : w.form.close(), closing.closed);
        const bool saved = closing.choice == Answer::Yes && closing.closed;
        const bool failed = closing.choice == Answer::Yes && !closing.closed;
        QCOMPARE(QFileInfo(path).isFile(), saved); // and a device stays a device
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("file"))).isFile());
        QCOMPARE(w.tab().document()->isModified(), !saved);
        // Only "Exit" keeps the set-up, and only when it leaves.
        QCOMPARE(!w.store.values.empty(), closing.exit && closing.closed);
        QCOMPARE(w.prompter.asked.size(), int(closing.write) + int(failed));
        // The dialog may put a missing folder under its own: only the name is sure.
        const QString error = "(error) Save Tab|The tab could not be saved to ";
        QVERIFY2(!failed || (w.prompter.asked[1].startsWith(error) &&
                             w.prompter.asked[1].contains(QFileInfo(path).fileName() + ':')),
                 qPrintable(w.prompter.asked.join('\n')));
    }

    // Copying an empty tab must not leave the old clipboard in place.
    void copyingAnEmptyTabEmptiesTheClipboard()
    {
        Window w(false);
        QApplication::clipboard()->setText(QStringLiteral("earlier"));
        w.click("Button1");
        QCOMPARE(QApplication::clipboard()->text(), QString());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TBassFormTest)
#include "TBassFormTest.moc"
