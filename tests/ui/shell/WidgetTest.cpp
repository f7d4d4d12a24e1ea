// The windows' own wiring and where they fail or turn back; the end-to-end journey walks the rest.

#include "document/Document.h"
#include "document/QtTabText.h"
#include "files/TabFile.h"
#include "platform/FileAccess.h"
#include "tests/ui/QuietWindow.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/common/HelpViewer.h"
#include "ui/common/StatusTexts.h"
#include "ui/neck/DurationDrag.h"
#include "ui/neck/NeckWidget.h"
#include "ui/neck/Tunning/TTunningF.h"

#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextLayout>

#include <stdexcept>
#include <sys/stat.h>

using namespace quorlin;
using ui::testing::child;
using Answer = ui::Prompter::Answer;

namespace {

QStringList escaped; // errors the guard swallowed; one left over fails the test function

// The drawn pitch, not the widget's constants: a neck laid out otherwise drops notes amiss.
const auto cellCentre = [](int column, int row) { return QPoint(column * 21 + 10, row * 17 + 8); };

// The type of what a path names, without following a link; 0 for nothing.
mode_t kindOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

// Whether text lines `first` to `last` show whole in the area, or, when they are taller than
// the area, start on its first row.
bool inView(const QPlainTextEdit& area, int first, int last)
{
    const QTextCursor start(area.document()->findBlockByNumber(first));
    QTextCursor end(area.document()->findBlockByNumber(last));
    end.movePosition(QTextCursor::EndOfBlock);
    const int top = area.cursorRect(start).top();
    const int bottom = area.cursorRect(end).bottom();
    return top >= 0 &&
           (bottom <= area.viewport()->height() || top < area.cursorRect(start).height());
}

struct Window : ui::testing::QuietWindow {
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
    void load(const QString& path)
    {
        prompter.answers << true; // to "Clear" first
        answer("OpenFile", path);
        click("LoadTab");
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

// The header dialog edits the header of a document of its own.
struct HeaderOfTab {
    HeaderOfTab() { form.attach(tab); }
    QPlainTextEdit area;
    document::Document tab{*area.document()};
    ui::THeaderForm form;
};

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
        QCOMPARE(!w.tab().isEmpty(), drag.writes);
    }

    void rightClick_data()
    {
        QTest::addColumn<RightClick>("click");
        QTest::newRow("first fret") << RightClick{1, 4, Qt::RightButton, false, "E ", "F "};
        QTest::newRow("second fret") << RightClick{2, 2, Qt::RightButton, false, "", "D "};
        QTest::newRow("fret numbers") << RightClick{0, 0, Qt::RightButton, false, "", ""};
        QTest::newRow("left button") << RightClick{0, 3, Qt::LeftButton, false, "", "A "};
        QTest::newRow("after a note") << RightClick{1, 3, Qt::RightButton, true, "", "A "};
    }

    // The pop-up steps the name one semitone up; only "Ok" keeps it.
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

    // "No" to Clear stops a load before its dialog.
    void loading()
    {
        Window w;
        w.drop(cellCentre(3, 1));
        const QString written = w.tab();
        const QString path = w.path("song.tab");
        w.answer("SaveFile", path);
        w.click("ButtonSave");
        w.prompter.answers << false;
        w.click("LoadTab");
        QVERIFY(w.form.findChild<QFileDialog*>("OpenFile") == nullptr);
        w.load(path);
        QCOMPARE(w.tab(), written);
        QVERIFY(!child(w.form, "MaxStringsSpin")->isEnabled());
        QCOMPARE(w.prompter.asked.size(), 2); // the Clear questions only

        // A file without a header line warns first; what the reader found odd has a box of its own.
        const QString bare = "Warning|This tab hasn't been created with Quorlin,\rI can read it "
                             "but the result of the edition \rcan be hazardous";
        const std::pair<QByteArray, QStringList> samples[] = {
            {"|   q\r\nG --5\xE2\x80\xA8\r\n",
             {bare, "Warning|1 character that would have split a line in two was replaced by "
                    "\uFFFD."}},
            {"FTH:G D A E ; x\r\n",
             {"Warning|The header line gives no tab width: Quorlin assumed 80.\rThe header has no "
              "\"---\" line to end the comments: Quorlin read the tab from line 2."}}};
        for (const auto& [bytes, boxes] : samples) {
            ui::testing::writeFile(path, bytes);
            w.prompter.asked.clear();
            w.load(path);
            QCOMPARE(w.prompter.asked.mid(1), boxes);
        }
    }

    void closing_data()
    {
        QTest::addColumn<Closing>("closing");
        QTest::newRow("empty tab") << Closing{false, false, true, Answer::Cancel, ""};
        QTest::newRow("discard") << Closing{true, false, true, Answer::No, ""};
        QTest::newRow("stay") << Closing{true, false, false, Answer::Cancel, ""};
        QTest::newRow("save") << Closing{true, false, true, Answer::Yes, "song.tab"};
        QTest::newRow("exit, stay") << Closing{true, true, false, Answer::Cancel, ""};
        // A save that fails, even for root, keeps the window.
        QTest::newRow("folder is a file") << Closing{true, false, false, Answer::Yes, "file/a.tab"};
    }

    void closing()
    {
        QFETCH(Closing, closing);
        QTemporaryDir dir;
        ui::testing::writeFile(dir.filePath("file"), "old");
        const QString path = dir.filePath(closing.target);
        const mode_t before = kindOf(path);
        Window w;
        w.area().insertPlainText(QStringLiteral("x")); // typed and taken out: nothing to lose
        w.area().textCursor().deletePreviousChar();
        if (closing.write)
            w.drop(cellCentre(3, 1));
        w.prompter.choices = {closing.choice};
        w.form.show();
        if (closing.choice == Answer::Yes)
            w.answer("SaveFile", path);
        if (closing.exit)
            w.click("ButtonExit");

        QCOMPARE(closing.exit ? !w.form.isVisible() : w.form.close(), closing.closed);
        const bool saved = closing.choice == Answer::Yes && closing.closed;
        const bool failed = closing.choice == Answer::Yes && !closing.closed;
        QCOMPARE(kindOf(path), saved ? mode_t(S_IFREG) : before);
        QCOMPARE(w.area().document()->isModified(), !saved);
        // Only "Exit" keeps the set-up, and only when it leaves.
        QCOMPARE(!w.store.values.empty(), closing.exit && closing.closed);
        QCOMPARE(w.prompter.asked.size(), int(closing.write) + int(failed));
        QVERIFY(!failed || w.prompter.asked[1].startsWith(
                               "(error) Save Tab|The tab could not be saved to " + path + ":\r"));
    }

    void helpTopics()
    {
        const std::pair<QString, QString> files[] = {
            {"note\n@topic 1 A b\n\na\n\nb\n@topic N\n@topic 5x\n\n@topic 12\nr",
             "1 A b: a\n\nb\n@topic N\n@topic 5x | 12 : r"},
            {QChar(0xFEFF) + QStringLiteral("@topic 1 One\r\na\r\n  b\r\n"), "1 One: a\n  b"}};
        for (const auto& [text, topics] : files) {
            QStringList summary;
            for (const auto& t : ui::parseHelpTopics(text))
                summary << QStringLiteral("%1 %2: %3").arg(t.number).arg(t.title, t.body);
            QCOMPARE(summary.join(" | "), topics);
        }
    }

    // "Help" reads the file afresh and opens the overview, which is not the first topic; its
    // pictures lie beside it.
    void helpButton()
    {
        Window w;
        const QString path = w.path("Quorlin.hlp");
        ui::testing::writeFile(path, "@topic 7 Tuning\nRight-click a name.\n![neck](neck.png)\n"
                                     "@topic 1 Overview\nsee [tuning](#topic-7)\n");
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(w.path("neck.png")));
        w.form.setHelpFile(path);
        w.click("Help");
        auto* viewer = w.form.findChild<ui::HelpViewer*>();
        QVERIFY(viewer != nullptr && QTest::qWaitForWindowExposed(viewer));
        auto* list = child<QListWidget>(*viewer, "Topics");
        auto* page = child<QTextBrowser>(*viewer, "Page");
        QCOMPARE(list->currentRow(), 1);
        QTextCursor link = page->document()->find(QStringLiteral("tuning"));
        link.setPosition(link.selectionStart() + 1);
        QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, page->cursorRect(link).center());
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(page->toPlainText().contains("Right-click a name."));
        // A topic's picture is found beside the help file, wherever the program runs from.
        const QVariant loaded = page->loadResource(QTextDocument::ImageResource, QUrl("neck.png"));
        QCOMPARE(QImage::fromData(loaded.toByteArray()).pixelColor(0, 0), QColor(Qt::red));

        QFile::remove(path);
        w.click("Help");
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(page->toPlainText().contains("Cannot find the help file"));
    }

    // The comment lines as saved are the lines the memo shows, whether it was shown or not.
    void memoLines()
    {
        HeaderOfTab header;
        ui::THeaderForm& form = header.form;
        auto* memo = child<QPlainTextEdit>(form, "Comment");
        const std::pair<QString, QStringList> typed[] = {
            {"", {}}, {"\n", {""}}, {"a  \n\nb\n", {"a  ", "", "b"}}};
        for (const auto& [text, lines] : typed) {
            memo->setPlainText(text);
            child<QPushButton>(form, "OkButton")->click();
            QCOMPARE(form.commentLines(), lines);
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
        document::QtTabText text(*area.document());
        text.append("| ");
        text.append("G ");
        text.replace(1, "G --5");
        text.replace(2, "X"); // the empty block after the last break is no line
        const document::QtTabText::Snapshot closed = text.snapshot();
        QCOMPARE(closed.lines(), (std::vector<std::string_view>{"| ", "G --5"}));

        // A line typed without a break is still a line, and is finished before the next.
        area.moveCursor(QTextCursor::End);
        area.insertPlainText(QStringLiteral("by hand É"));
        QCOMPARE(text.count(), 3);
        const document::QtTabText::Snapshot open = text.snapshot();
        QCOMPARE(open.lines(), (std::vector<std::string_view>{"| ", "G --5", "by hand É"}));
        text.append("> ");
        QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\nby hand É\n> \n"));

        // Only what the user does counts as a change behind the engine.
        const std::uint64_t seen = text.revision();
        text.append("q");
        {
            const document::QtTabText::Action action(text);
            text.extend(0, "q");
            text.eraseFrom(3);
        }
        QCOMPARE(text.revision(), seen);
        area.moveCursor(QTextCursor::Start);
        area.insertPlainText(QStringLiteral("x"));
        QVERIFY(text.revision() > seen);
        area.textCursor().deletePreviousChar();

        // The bulk calls land exactly as the plain calls they stand for.
        const std::vector<std::string> lines = {"| q", "G 5-", "", "D ½"};
        for (const QString before : {"", "| \nG É-\nD \nopen"}) {
            QPlainTextEdit plain(before), bulk(before);
            document::QtTabText byPlain(*plain.document()), byBulk(*bulk.document());
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

    // A name that holds a wildcard filters the list; an existing file is taken as it is named,
    // and so is a new one with an extension (one without gets ".tab" in the journey script).
    void saveDialogNames_data()
    {
        QTest::addColumn<QString>("saved"); // empty: the dialog stays, filtering
        QTest::addColumn<QString>("filter");
        QTest::newRow("*.txt") << QString() << "Text files (*.txt)";
        QTest::newRow("s?ng[0-9]*") << QString() << "s?ng[0-9]*";
        QTest::newRow("song.txt") << "song.txt" << QString();
        QTest::newRow("notes") << "notes" << QString(); // these two exist
        QTest::newRow("take[1].tab") << "take[1].tab" << QString();
    }

    void saveDialogNames()
    {
        QFETCH(QString, saved);
        QFETCH(QString, filter);
        QTemporaryDir dir;
        for (const char* old : {"notes", "take[1].tab"})
            ui::testing::writeFile(dir.filePath(old), "old");
        Window w;
        w.answer("SaveFile", QTest::currentDataTag(), dir.path());
        w.click("ButtonSave");
        QCOMPARE(w.filterLeft, filter);
        const platform::FileRead written = platform::readRegularFile(dir.filePath(saved));
        QCOMPARE(written.bytes.startsWith("FTH80:"), !saved.isEmpty());
    }

    // Only Ok takes the fields and binds the comment to the memo, which keeps its text; a pasted
    // line break becomes a blank; a load while the dialog is open shows the loaded header.
    void headerDialog()
    {
        HeaderOfTab header;
        ui::THeaderForm& form = header.form;
        document::Document& tab = header.tab;
        auto* from = child<QLineEdit>(form, "From");
        auto* memo = child<QPlainTextEdit>(form, "Comment");
        form.showAndRaise();
        from->setText("Bob");
        memo->setPlainText("intro\nverse");
        QTest::keyClick(&form, Qt::Key_Escape); // as the frame's close button does
        QVERIFY(form.isHidden());
        QCOMPARE(form.songHeader(), files::SongHeader{});
        form.showAndRaise();
        QCOMPARE(from->text(), QString());
        QCOMPARE(memo->toPlainText(), QStringLiteral("intro\nverse"));

        QGuiApplication::clipboard()->setText(QString("a\nb\rc\r\nd\u2028e\u2029f") + QChar(0x85) +
                                              "g\vh\fi");
        const std::string kept = "a b c d e f g h i"; // one blank for CR LF
        for (const char* field : {"From", "Artist", "BassPerf"}) {
            QTest::keyClick(child(form, field), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(child<QLineEdit>(form, field)->text().toStdString(), kept);
        }
        QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
        QVERIFY(form.isHidden());
        QCOMPARE(form.songHeader(), (files::SongHeader{kept, kept, kept, {"intro", "verse"}}));
        form.showAndRaise();
        memo->setPlainText("outro");
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.commentLines(), QStringList{"outro"});

        form.showAndRaise();
        QCOMPARE(from->text().toStdString(), kept);
        from->setText("typed");
        memo->setPlainText("typed too");
        const files::SongHeader loaded{"Tab writer", "Some band", "Bass player", {"a", "b"}};
        tab.setHeader(loaded); // as a load does while the dialog is open
        QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
        QCOMPARE(form.songHeader(), loaded);
    }

    // Every action that writes brings its block into view once its events are done, and
    // leaves the user's cursor and selection where they were.
    void newestBlockInView_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("width");
        for (const char* action : {"note", "rest", "Rep", "<-", "New line", "load"}) {
            QTest::addRow("%s", action) << action << 11;
            QTest::addRow("%s, wrapped", action) << action << 200;
        }
    }

    void newestBlockInView()
    {
        QFETCH(QString, action);
        QFETCH(int, width);
        Window w;
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        child<QSpinBox>(w.form, "MaxLineLen")->setValue(width);
        const int notesInABlock = (width - 2) / 3;
        for (int i = 0; i < notesInABlock * 4 + 1; ++i)
            w.drop(cellCentre(3 + i % 5, 1 + i % 4));
        QPlainTextEdit& tab = w.area();
        QTextCursor selection(tab.document());
        selection.setPosition(2);
        selection.setPosition(5, QTextCursor::KeepAnchor);
        tab.setTextCursor(selection);
        tab.verticalScrollBar()->setValue(0);

        if (action == "note") {
            w.drop(cellCentre(5, 2));
        } else if (action == "rest") {
            w.drop({5, 5}, "q", "PanelRest");
        } else if (action == "load") {
            w.answer("SaveFile", w.path("long.tab"));
            w.click("ButtonSave");
            tab.verticalScrollBar()->setValue(0);
            w.load(w.path("long.tab"));
        } else {
            w.click(action == "Rep" ? "ButtonRep" : action == "<-" ? "ButtonBack" : "AbortLine");
        }
        const engine::EditingState& state = w.form.state();
        QVERIFY(state.blockStart >= 12);
        QTRY_VERIFY(
            inView(tab, state.blockStart, state.blockStart + state.stringCount.value() + 1));
        QVERIFY(action == "load" ||
                (tab.textCursor().anchor() == 2 && tab.textCursor().position() == 5));
    }

    // Every other key of the map on the neck, from a tab of one block with one note.
    void keyMap_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("tab");
        const QString one = QStringLiteral("|   q\nG --3\nD ---\nA ---\nE ---\n>    \n");
        QTest::newRow("nothing to delete") << "BackSpace BackSpace"
                                           << "";
        QTest::newRow("chord before any note") << "Shift+C 3 Return" << one;
        QTest::newRow("rest of the selected duration") << "3 Return H . R"
                                                       << "|   q h.\nG --3---\nD ---"
                                                          "---\nA ------\nE ------\n>      r\n";
        QTest::newRow("Rep and <-") << "3 Return Ctrl+D Ctrl+D BackSpace BackSpace" << one;
        QTest::newRow("New line") << "3 Return Ctrl+Return BackSpace" << one;
        QTest::newRow("triplet") << "Shift+T E Right Return"
                                 << "|   e  e  e\nG --1~~1~~1\nD ---------\nA ---------\n"
                                    "E ---------\n>          \n";
        QTest::newRow("double-click") << "dclick:3,1" << one;
        QTest::newRow("a palette click and a dot") << "3 Return click:ButtonW . Return"
                                                   << "|   q w.\nG --3--3\nD ------\nA ------\n"
                                                      "E ------\n>       \n";
        QTest::newRow("Rep and New line keys are the neck's")
            << "3 Return click:Tab Ctrl+D Ctrl+Return" << one;
        QTest::newRow("typing goes to the text area") << "click:Tab q r Escape 3 Return"
                                                      << "qr\n|   q\nG --3\nD ---\nA ---\n"
                                                         "E ---\n>    \n";
    }

    void keyMap()
    {
        QFETCH(QString, keys);
        QFETCH(QString, tab);
        Window w;
        w.activate();
        for (const QString& key : keys.split(QLatin1Char(' '))) {
            if (key.startsWith(QLatin1String("dclick:"))) {
                const QStringList cell = key.mid(7).split(QLatin1Char(','));
                QTest::mouseDClick(child<ui::NeckWidget>(w.form, "BassNeck")->viewport(),
                                   Qt::LeftButton, {},
                                   cellCentre(cell[0].toInt(), cell[1].toInt()));
            } else if (key.startsWith(QLatin1String("click:")))
                QTest::mouseClick(child(w.form, key.mid(6).toLatin1().constData()), Qt::LeftButton);
            else
                w.type(key);
        }
        QCOMPARE(w.tab(), tab);
        QVERIFY(w.prompter.asked.isEmpty());
    }

    // While a menu is open its mnemonics choose its items; the neck behind it, which has
    // the focus and keys of the same letters, gets none of them. The File menu's are the
    // end-to-end menu keys script's.
    void menuKeys_data()
    {
        QTest::addColumn<char>("key");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("tab");
        // A rest opening the tab starts its last line with two blanks.
        QTest::newRow("S: Sixteenth") << 'S' << "sixteenth, Default"
                                      << "";
        QTest::newRow("R: one rest") << 'R' << "quarter, Default"
                                     << "|   q\nG ---\nD ---\nA ---\nE ---\n    r\n";
    }
    void menuKeys()
    {
        QFETCH(char, key);
        QFETCH(QString, choice);
        QFETCH(QString, tab);
        Window w;
        w.activate();
        QVERIFY(child(w.form, "BassNeck")->hasFocus());
        QMenu* opened = nullptr;
        for (QAction* title : w.form.menuBar()->actions()) {
            if (title->text() == "&Note")
                opened = title->menu();
        }
        QVERIFY(opened != nullptr);
        w.form.menuBar()->setActiveAction(opened->menuAction());
        QTRY_VERIFY(opened->isVisible());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key(key));
        QCOMPARE(child<QLabel>(w.form, "ChoiceStatus")->text(), choice);
        QCOMPARE(w.tab(), tab);
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    // One undo history for every action, the text area's typing included, from any focus.
    void undoAndRedo()
    {
        Window w;
        w.activate();
        const QString path = w.path("undo.tab");
        w.type(QStringLiteral("5 Return 7 Return"));
        const QString twoNotes = w.tab();
        w.answer("SaveFile", path);
        w.click("ButtonSave");
        w.activate(); // after the dialog
        QTest::mouseClick(child(w.form, "Tab"), Qt::LeftButton);
        w.type(QStringLiteral("x"));
        QTRY_COMPARE(QString(w.form.commands()[ui::Command::Undo]->text()),
                     QStringLiteral("&Undo typing"));
        w.type(QStringLiteral("Ctrl+Z"));
        QCOMPARE(w.tab(), twoNotes);
        QVERIFY(w.form.history().isClean());
        w.type(QStringLiteral("Ctrl+Z"));
        QCOMPARE(w.form.state().lastFret, 5);
        QCOMPARE(w.form.statusBar()->currentMessage(), QStringLiteral("Undo: note"));
        w.type(QStringLiteral("Ctrl+Z Ctrl+Z")); // one too many changes nothing
        QCOMPARE(w.tab(), QString());
        QVERIFY(child(w.form, "MaxLineLen")->isEnabled());
        QVERIFY(!child(w.form, "RadioChord")->isEnabled());
        w.type(QStringLiteral("Ctrl+Y Ctrl+Shift+Z"));
        QCOMPARE(w.tab(), twoNotes);
        QCOMPARE(child<ui::NeckWidget>(w.form, "BassNeck")->cellText(7, 1), QStringLiteral("X"));

        // "Clear tab", a load and the header's "Ok" are steps too.
        w.prompter.answers << true;
        w.click("ButtonClear");
        w.run(ui::Command::Undo);
        QCOMPARE(w.tab(), twoNotes);
        w.type(QStringLiteral("Escape 9 Return"));
        const QString threeNotes = w.tab();
        w.load(path);
        w.activate();
        QCOMPARE(w.tab(), twoNotes);
        w.run(ui::Command::Undo);
        QCOMPARE(w.tab(), threeNotes);
        QCOMPARE(w.form.state().lastFret, 9);

        auto* header = new ui::THeaderForm(&w.form);
        w.form.setHeaderForm(header);
        header->show();
        child<QLineEdit>(*header, "From")->setText(QStringLiteral("me"));
        QTest::mouseClick(child(*header, "OkButton"), Qt::LeftButton);
        QCOMPARE(w.form.commands()[ui::Command::Undo]->text(), QStringLiteral("&Undo song header"));
        w.run(ui::Command::Undo);
        QCOMPARE(header->songHeader().from, std::string());
        QCOMPARE(w.form.state().lastFret, 9);
        w.run(ui::Command::Redo);
        QCOMPARE(header->songHeader().from, std::string("me"));
        QVERIFY(!w.form.history().isClean());
    }

    // The designed area keeps its size and places between the menu bar and the transport,
    // which has the status bar below it; only the text area grows with the window.
    void layout()
    {
        Window w;
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QWidget* area = w.form.centralWidget();
        QCOMPARE(area->size(), QSize(653, 408));
        QCOMPARE(w.form.menuBar()->geometry().bottom() + 1, area->y());
        const QWidget* transport = child(w.form, "Transport");
        QCOMPARE(transport->y(), area->geometry().bottom() + 1);
        QCOMPARE(w.form.statusBar()->y(), transport->geometry().bottom() + 1);
        const QRect neck = child(w.form, "BassNeck")->geometry();
        w.form.resize(w.form.size() + QSize(100, 60));
        QTRY_COMPARE(child(w.form, "Tab")->geometry(), QRect(8, 264, 733, 197));
        QCOMPARE(child(w.form, "BassNeck")->geometry(), neck);
        w.form.resize(300, 200);
        QTRY_COMPARE(area->size(), QSize(653, 408));
    }

    // View > Sheet opens beside the designed area: the window grows by the panel and the area
    // and every control in it keep their size and place. Closing the panel gives the room
    // back, and so does floating it. A window widened near the screen's edge is the end-to-end
    // sheet room script's, the panel's width there SheetViewTest's dockPlaces.
    void sheetBesideTheArea()
    {
        Window w;
        if (w.form.screen()->availableGeometry().width() < 1600)
            QSKIP("needs a screen of 1600 pixels, which ui_sheet_room_tests gives it");
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        const QWidget* area = w.form.centralWidget();
        const auto places = [&] {
            QList<QRect> found{area->geometry()};
            for (const QWidget* control : area->findChildren<QWidget*>())
                found << QRect(control->mapTo(&w.form, QPoint()), control->size());
            return found;
        };
        const QList<QRect> before = places();
        const int width = w.form.width();
        QAction* shown = w.form.commands()[ui::Command::ViewSheet];
        auto* dock = child<QDockWidget>(w.form, "SheetDock");
        const auto grown = [&] { return w.form.width() > width + dock->width() / 2; };

        shown->trigger();
        QVERIFY(shown->isChecked());
        QTRY_VERIFY(dock->isVisible() && grown());
        QVERIFY(dock->x() > area->geometry().right());
        QVERIFY(dock->width() > 300);
        QTRY_COMPARE(places(), before);
        dock->close();
        QVERIFY(!shown->isChecked());
        QTRY_COMPARE(w.form.width(), width);
        QCOMPARE(places(), before);

        shown->trigger();
        QTRY_VERIFY(grown());
        dock->setFloating(true);
        QTRY_COMPARE(w.form.width(), width);
        QCOMPARE(places(), before);
        dock->setFloating(false);
        QTRY_VERIFY(grown());
        QTRY_COMPARE(places(), before);
    }

    // What the status bar says as keys move the cursor and choose the next note.
    void statusTextsAndWidth()
    {
        Window w;
        w.activate();
        const std::tuple<QString, QString, QString> steps[] = {
            {"", "G string, fret 0: G", "quarter, Default"},
            {"Down Down 5 H .", "A string, fret 5: D", "dotted half, Default"},
            {"Down Right Shift+P .", "E string, fret 6: A#", "half, PullOff"}};
        for (const auto& [keys, cursor, choice] : steps) {
            w.type(keys);
            QCOMPARE(child<QLabel>(w.form, "CursorStatus")->text(), cursor);
            QCOMPARE(child<QLabel>(w.form, "ChoiceStatus")->text(), choice);
        }
        engine::EditingState odd = w.form.state();
        odd.tuning.set(1, "x!");
        QCOMPARE(ui::cursorText(odd, 2, 1), QStringLiteral("x! string, fret 2"));
        odd.tuning.set(1, "  ");
        QCOMPARE(ui::cursorText(odd, 2, 1), QStringLiteral("String 1, fret 2"));
        QCOMPARE(ui::textPlaceText(odd, 12), QStringLiteral("Line 12, block 2"));

        // The width field reads 0 while it holds no number; keys and arrows come by other signals.
        auto* spin = child<QSpinBox>(w.form, "MaxLineLen");
        auto* field = spin->findChild<QLineEdit*>();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(w.form.state().tabWidth, 0);
        QTest::keyClicks(field, "61");
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(w.form.state().tabWidth, 62);
    }
};

int main(int argc, char** argv)
{
    // Settings of this run's own, wherever it is started from: never the user's.
    const QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    ui::GuardedApplication app(argc, argv);
    WidgetTest test;
    app.setReporter([](const QString& message) { escaped << message; });
    return QTest::qExec(&test, argc, argv);
}

#include "WidgetTest.moc"
