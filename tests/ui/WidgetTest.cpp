// The windows' own wiring and where they fail or turn back; the end-to-end journey walks the rest.

#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FormTesting.h"
#include "ui/BassU1/TBassForm.h"
#include "ui/DurationDrag.h"
#include "ui/GuardedApplication.h"
#include "ui/Header/THeaderForm.h"
#include "ui/HelpViewer.h"
#include "ui/NeckWidget.h"
#include "ui/TextAreaTabText.h"
#include "ui/Tunning/TTunningF.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextLayout>

#include <stdexcept>

using namespace quorlin;
using ui::testing::child;
using Answer = ui::Prompter::Answer;

namespace {

QStringList escaped; // errors the guard swallowed; one left over fails the test function

// The drawn pitch, not the widget's constants: a neck laid out otherwise drops notes amiss.
const auto cellCentre = [](int column, int row) { return QPoint(column * 21 + 10, row * 17 + 8); };

struct Window {
    ui::testing::ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    ui::TBassForm form{&prompter, &store};

    QPlainTextEdit& tab() const { return *child<QPlainTextEdit>(form, "Tab"); }
    void click(const char* button) { QTest::mouseClick(child(form, button), Qt::LeftButton); }
    // `payload` is a duration symbol, or "text" for plain text.
    bool drop(QPoint point, const char* payload = "q", const char* target = "BassNeck")
    {
        QMimeData data;
        const bool text = payload == QLatin1String("text");
        data.setData(text ? "text/plain" : ui::kDurationMimeType, text ? "q" : payload);
        QWidget* widget = child(form, target);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            widget = area->viewport();
        return ui::testing::dragAndDrop(widget, point, data);
    }
    // `onChosen` runs after the dialog took the name and before the window acts on it.
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
    const char *target, *payload;
    QPoint point, current; // current: the neck's current (column, row) afterwards
    bool taken, writes;
};

struct RightClick {
    int column, row;
    Qt::MouseButton button;
    bool afterANote;
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

class WidgetTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(std::exchange(escaped, {}), QStringList()); }

    void anEscapedErrorIsReportedAndTheNextEventStillRuns()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [] { throw std::runtime_error("out of reach"); });
        QTimer::singleShot(0, this, [] { throw 42; });
        QTimer::singleShot(0, this, [&] { ran = true; });
        QCoreApplication::processEvents();
        QVERIFY(ran);
        QCOMPARE(std::exchange(escaped, {}), (QStringList{"out of reach", "Unknown error"}));
    }

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
        QTest::newRow("text as a rest") << Drag{"PanelRest", "text", {5, 5}, none, false, false};
        QTest::newRow("duration on the text") << Drag{"Tab", "q", {5, 5}, none, false, false};
    }

    void drags()
    {
        QFETCH(Drag, drag);
        Window w;
        auto* neck = child<ui::NeckWidget>(w.form, "BassNeck");
        neck->setCurrentCell(-1, -1);
        QCOMPARE(w.drop(drag.point, drag.payload, drag.target), drag.taken);
        QCOMPARE(QPoint(neck->currentColumn(), neck->currentRow()), drag.current);
        QCOMPARE(!w.tab().toPlainText().isEmpty(), drag.writes);
    }

    void rightClick_data()
    {
        QTest::addColumn<RightClick>("click");
        QTest::newRow("string name") << RightClick{0, 2, Qt::RightButton, false, "D ", "D#"};
        QTest::newRow("first fret") << RightClick{1, 4, Qt::RightButton, false, "E ", "F "};
        QTest::newRow("second fret") << RightClick{2, 2, Qt::RightButton, false, "", "D "};
        QTest::newRow("fret numbers") << RightClick{0, 0, Qt::RightButton, false, "", ""};
        QTest::newRow("left button") << RightClick{0, 3, Qt::LeftButton, false, "", "A "};
        QTest::newRow("after a note") << RightClick{1, 3, Qt::RightButton, true, "", "A "};
    }

    // The pop-up steps the name one semitone up.
    void rightClick()
    {
        QFETCH(RightClick, click);
        Window w;
        if (click.afterANote)
            w.drop(cellCentre(3, 1));
        w.form.setTuningPopup(new ui::TTunningF(&w.form));
        w.form.show();
        QString seen;
        ui::testing::whenVisible<ui::TTunningF>(w.form, "TunningF", [&](ui::TTunningF* popup) {
            seen = child<QLabel>(*popup, "Note")->text();
            QTest::mouseClick(child(*popup, "Up"), Qt::LeftButton);
            QTest::mouseClick(child(*popup, "ButtonOk"), Qt::LeftButton);
        });
        const auto* neck = child<ui::NeckWidget>(w.form, "BassNeck");
        QTest::mouseClick(neck->viewport(), click.button, {}, cellCentre(click.column, click.row));
        QCOMPARE(seen, click.shown);
        QCOMPARE(neck->cellText(0, click.row), click.name);
    }

    // The keys and the arrows reach the window by different signals.
    void widthFieldReadsZeroWhileItHoldsNoNumber()
    {
        Window w;
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
        Window w;
        w.tab().setPlainText(block);
        w.click("AbortLine");
        const QStringList lines = w.tab().toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines[1], QStringLiteral("G ") + QString(79, QLatin1Char('-')));
        QCOMPARE(lines[5], QStringLiteral("> ") + QString(79, QLatin1Char(' ')));
        w.tab().undo();
        QCOMPARE(w.tab().toPlainText(), block);
    }

    // "No" to Clear stops a load before its dialog; a loaded tab starts a history of its own.
    void loading()
    {
        Window w;
        w.drop(cellCentre(3, 1));
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
        // A folder that is a file stops root too; a device is written in place, never replaced.
        QTest::newRow("missing folder") << Closing{true, false, false, Answer::Yes, "gone/a.tab"};
        QTest::newRow("folder is a file") << Closing{true, false, false, Answer::Yes, "file/a.tab"};
        QTest::newRow("full device") << Closing{true, false, false, Answer::Yes, "/dev/full"};
    }

    void closing()
    {
        QFETCH(Closing, closing);
        QFile(m_dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
        const QString path = QDir(m_dir.path()).filePath(closing.target);
        Window w;
        w.tab().insertPlainText(QStringLiteral("x")); // typed and taken out: nothing to lose
        w.tab().textCursor().deletePreviousChar();
        if (closing.write)
            w.drop(cellCentre(3, 1));
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

    void helpTopics()
    {
        const std::pair<QString, QString> files[] = {
            {"note\n@topic 1 A b\n\na\n\nb\n\n@topic 12 R\nr\n", "1 A b: a\n\nb | 12 R: r"},
            {"@topic 1 O\n@topic N\n@topic 5x\n@topic 4\nx", "1 O: @topic N\n@topic 5x | 4 : x"},
            {QChar(0xFEFF) + QStringLiteral("@topic 1 One\r\na\r\n  b\r\n"), "1 One: a\n  b"},
            {"just text\n", ""}};
        for (const auto& [text, topics] : files) {
            QStringList summary;
            for (const auto& t : ui::parseHelpTopics(text))
                summary << QStringLiteral("%1 %2: %3").arg(t.number).arg(t.title, t.body);
            QCOMPARE(summary.join(" | "), topics);
        }
    }

    // "Help" reads the file afresh and opens the overview, which is not the first topic.
    void helpButton()
    {
        const QString path = m_dir.filePath(QStringLiteral("Quorlin.hlp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("@topic 7 Tuning\nRight-click a name.\n"
                           "@topic 1 Overview\nsee [tuning](#topic-7)\n"));
        file.close();
        ui::TBassForm form;
        form.setHelpFile(path);
        QTest::mouseClick(child(form, "Help"), Qt::LeftButton);
        auto* viewer = form.findChild<ui::HelpViewer*>();
        QVERIFY(viewer != nullptr && QTest::qWaitForWindowExposed(viewer));
        auto* list = child<QListWidget>(*viewer, "Topics");
        auto* page = child<QTextBrowser>(*viewer, "Page");
        QCOMPARE(list->currentRow(), 1);
        QTextCursor link = page->document()->find(QStringLiteral("tuning"));
        link.setPosition(link.selectionStart() + 1);
        QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, page->cursorRect(link).center());
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(page->toPlainText().contains("Right-click a name."));

        file.remove();
        QTest::mouseClick(child(form, "Help"), Qt::LeftButton);
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(page->toPlainText().contains("Cannot find the help file"));
    }

    // Only Ok takes the fields and binds the comment to the memo; the memo keeps its text.
    void headerClosing()
    {
        for (const QString how : {"Ok", "Escape", "frame"}) {
            ui::THeaderForm form;
            auto* memo = child<QPlainTextEdit>(form, "Comment");
            form.showAndRaise();
            child<QLineEdit>(form, "From")->setText("Bob");
            memo->setPlainText("intro\nverse");
            if (how == "Ok")
                QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
            else if (how == "Escape")
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                form.close();
            QVERIFY(form.isHidden());
            const bool kept = how == "Ok";
            const files::SongHeader typed{"Bob", "", "", {"intro", "verse"}};
            QCOMPARE(form.songHeader(), kept ? typed : files::SongHeader{});

            form.showAndRaise();
            QCOMPARE(child<QLineEdit>(form, "From")->text(), kept ? "Bob" : QString());
            QCOMPARE(memo->toPlainText(), QStringLiteral("intro\nverse"));
            memo->setPlainText("outro");
            QTest::keyClick(&form, Qt::Key_Escape);
            QCOMPARE(form.commentLines(), kept ? QStringList{"outro"} : QStringList{});
        }
    }

    // The comment lines as saved are the lines the memo shows, whether it was shown or not.
    void memoLines()
    {
        ui::THeaderForm form;
        auto* memo = child<QPlainTextEdit>(form, "Comment");
        const QStringList typed = {"", "\n", "slap\npop\n", "a\n\nb", "a  "};
        const QList<QStringList> lines = {{}, {""}, {"slap", "pop"}, {"a", "", "b"}, {"a  "}};
        for (int i = 0; i < typed.size(); ++i) {
            memo->setPlainText(typed[i]);
            child<QPushButton>(form, "OkButton")->click();
            QCOMPARE(form.commentLines(), lines[i]);
        }

        // Words of many widths, so that a single pixel of width more or less moves some break.
        QStringList words;
        for (int i = 0; i < 200; ++i)
            words << QString(1 + i * 5 % 9, QChar(u'a' + i * 7 % 26));
        const QString text = words.join(' ');
        memo->setPlainText(text);
        const QStringList hidden = form.commentLines();
        QVERIFY(hidden.size() >= 10);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTextLayout* wrap = memo->document()->firstBlock().layout();
        QStringList shown;
        for (int i = 0; i < wrap->lineCount(); ++i)
            shown << text.mid(wrap->lineAt(i).textStart(), wrap->lineAt(i).textLength()).trimmed();
        QCOMPARE(shown, hidden);
    }

    void tabText()
    {
        QPlainTextEdit area;
        ui::TextAreaTabText text(area);
        text.append("| ");
        text.append("G ");
        text.replace(1, "G --5");
        text.replace(2, "X"); // the empty block after the last break is no line
        QCOMPARE(text.line(2), std::string());
        QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\n"));
        const ui::TextAreaTabText::Snapshot closed = text.snapshot();
        QCOMPARE(closed.lines(), (std::vector<std::string_view>{"| ", "G --5"}));

        // A line typed without a break is still a line, and is finished before the next.
        area.moveCursor(QTextCursor::End);
        area.insertPlainText(QStringLiteral("by hand É"));
        QCOMPARE(text.count(), 3);
        const ui::TextAreaTabText::Snapshot open = text.snapshot();
        QCOMPARE(open.lines(), (std::vector<std::string_view>{"| ", "G --5", "by hand É"}));
        text.append("> ");
        QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\nby hand É\n> \n"));

        // The bulk calls land exactly as the plain calls they stand for.
        const std::vector<std::string> lines = {"| q", "G 5-", "", "D ½"};
        for (const QString before : {"", "x\n", "| \nG É-\nD \nopen"}) {
            QPlainTextEdit plain, bulk;
            plain.setPlainText(before);
            bulk.setPlainText(before);
            ui::TextAreaTabText byPlain(plain), byBulk(bulk);
            for (int index : {-1, 0, 1, 3, 4, 9}) {
                byPlain.replace(index, byPlain.line(index) + "q½-");
                byBulk.extend(index, "q½-");
                QCOMPARE(bulk.toPlainText(), plain.toPlainText());
            }
            for (const std::string& line : lines)
                byPlain.append(line);
            byBulk.appendLines(lines);
            byBulk.appendLines({});
            QCOMPARE(bulk.toPlainText(), plain.toPlainText());
        }
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char** argv)
{
    ui::GuardedApplication app(argc, argv);
    WidgetTest test;
    app.setReporter([](const QString& message) { escaped << message; });
    return QTest::qExec(&test, argc, argv);
}

#include "WidgetTest.moc"
