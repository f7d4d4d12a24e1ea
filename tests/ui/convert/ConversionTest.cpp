// Tabs brought in from the web and retuned in the window: the questions asked, the tab that
// results as music, and each as one step of the history.

#include "score/Score.h"
#include "tests/ui/QuietWindow.h"
#include "ui/convert/RetuneDialog.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>

using namespace quorlin;
using ui::Command;
using ui::testing::child;

namespace {

// A bass line as posted on the web: names at the heads, bar lines, a chord name above.
const char* const kWebTab = "Intro\r\n"
                            "   C\r\n"
                            "G|-----------------|\r\n"
                            "D|-----------5-----|\r\n"
                            "A|---3---5---------|\r\n"
                            "E|-----------------|\r\n"
                            "B|-0---------------|\r\n";
const QList<int> kWebPitches{23, 36, 38, 43};

struct Window : ui::testing::QuietWindow {
    Window() { form.show(); }
    // Every note's pitch, in the order they sound; -1 for every column the reader skipped.
    QList<int> pitches() const
    {
        const std::string text = tab().toStdString();
        std::vector<std::string_view> lines;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            lines.emplace_back(text.data() + at, end - at);
            at = end + 1;
        }
        const score::Score read =
            score::readScore(lines, form.state().stringCount, form.state().tuning, 100);
        QList<int> found(static_cast<qsizetype>(read.skipped.size()), -1);
        for (const score::Column& column : read.columns) {
            for (const score::Note& note : column.notes)
                found << note.pitch;
        }
        return found;
    }

    // The next Change tuning dialog takes the preset, or is cancelled for an empty one.
    void retuneTo(const QString& preset)
    {
        ui::testing::whenVisible<ui::RetuneDialog>(form, "RetuneDialog", [preset](auto* d) {
            if (preset.isEmpty())
                return d->reject();
            auto* presets = child<QComboBox>(*d, "Preset");
            const int index = presets->findText(preset);
            presets->setCurrentIndex(index);
            emit presets->activated(index);
            d->accept();
        });
    }
};

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    void pastedTabPlaysAndRetunesKeepingPitch()
    {
        Window w;
        QGuiApplication::clipboard()->setText(QString::fromLatin1(kWebTab));
        w.prompter.picks = {1};
        w.run(Command::PasteTabAsNotes);
        QCOMPARE(w.pitches(), kWebPitches);
        QVERIFY(w.prompter.asked.constLast().contains("closest spacing"));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Paste tab as notes"));
        // The report has the status bar to itself: the labels would leave it a few letters.
        QVERIFY(w.form.statusBar()->currentMessage().startsWith(QStringLiteral("4 notes")));
        QVERIFY(!child<QLabel>(w.form, "FileStatus")->isVisible());
        // Twice the closest spacing is twice as long.
        QVERIFY(w.tab().startsWith(QStringLiteral("|   e  q  q")));
        const QString pasted = w.tab();

        struct Step {
            const char* preset;
            int strings;
            QList<int> picks; // the answer to notes that fit nowhere
            QList<int> pitches;
        };
        // The low B has no place on four strings: it goes only when the user allows it. Every
        // other set-up keeps the pitches as score's retune test shows.
        const QList<int> kept{36, 38, 43};
        const Step steps[] = {
            {"Standard", 4, {1}, kWebPitches},
            {"Standard", 4, {0}, kept},
            {"Five strings, low B", 5, {}, kept},
        };
        qsizetype done = 0;
        for (const Step& step : steps) {
            const QString before = w.tab();
            w.prompter.picks = step.picks;
            w.retuneTo(QString::fromLatin1(step.preset));
            w.run(Command::ChangeTuning);
            QCOMPARE(w.pitches(), step.pitches);
            const bool changed = w.tab() != before;
            QCOMPARE(changed, step.picks != QList<int>{1});
            QCOMPARE(w.form.state().stringCount.value(), changed ? step.strings : 5);
            done += changed ? 1 : 0;
        }
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Change tuning"));
        QVERIFY(w.prompter.asked.join('\n').contains(QStringLiteral("Block 1, column 1: B0")));

        // Each retune is one step; undoing them all gives back the pasted tab and its strings.
        for (qsizetype i = 0; i < done; ++i)
            w.run(Command::Undo);
        QCOMPARE(w.tab(), pasted);
        QCOMPARE(w.form.state().stringCount.value(), 5);
        w.run(Command::Undo);
        QVERIFY(w.tab().isEmpty());
    }

    void importAsksBeforeReplacingAndReportsWhatItSkipped()
    {
        Window w;
        const QString path = w.path("web.txt");
        ui::testing::writeFile(path, QByteArray(kWebTab).replace("-5-----|", "-x-----|"));
        ui::testing::writeFile(w.path("song.tab"),
                               "FTH80:G D A E ;\r\n====================\r\n\r\n|   q\r\nG ---\r\n"
                               "D --5\r\nA ---\r\nE ---\r\n>    \r\n\r\n");
        w.form.openAtStart(w.path("song.tab"));
        const QString pasted = w.tab();
        auto* fileStatus = child<QLabel>(w.form, "FileStatus");
        QCOMPARE(fileStatus->text(), QStringLiteral("song.tab"));

        struct Attempt {
            bool replace;
            QList<int> picks;
            bool changed;
        };
        // Keep the tab; replace it but cancel the spacing; replace it.
        const Attempt attempts[] = {{false, {}, false}, {true, {2}, false}, {true, {0}, true}};
        for (const Attempt& attempt : attempts) {
            w.prompter.answers = {attempt.replace};
            w.prompter.picks = attempt.picks;
            w.prompter.asked.clear();
            w.answer("ImportFile", path);
            w.run(Command::ImportTab);
            QCOMPARE(w.tab() != pasted, attempt.changed);
        }
        // The dead note became a rest, said with its place in the file.
        QCOMPARE(w.pitches(), (QList<int>{23, 36, 38}));
        QVERIFY(w.prompter.asked.join('\n').contains(QStringLiteral("Line 4, column ")));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Import ASCII tab"));
        // Saving the imported tab must not overwrite the file the old one came from.
        QVERIFY(fileStatus->text().startsWith(QStringLiteral("new tab")));
        w.run(Command::Undo);
        QCOMPARE(w.tab(), pasted);
        QCOMPARE(fileStatus->text(), QStringLiteral("song.tab"));
    }

    // "To clipboard", then "Paste tab as notes": the tab comes back as it was, with its own
    // durations, so no spacing is asked for.
    void copiedTabPastesBackAsItWas()
    {
        Window w;
        ui::testing::writeFile(w.path("song.tab"), "FTH80:G D A E ;\r\n====================\r\n\r\n"
                                                   "|   q  e  e e.  s  q  e\r\n"
                                                   "G --------------------5\r\n"
                                                   "D --0H-3\\-5/-3---------\r\n"
                                                   "A ---------------------\r\n"
                                                   "E -----------------0---\r\n"
                                                   ">               r  +  .\r\n\r\n");
        w.form.openAtStart(w.path("song.tab"));
        const QString loaded = w.tab();
        const QList<int> pitches{38, 41, 43, 41, 28, 48};
        QCOMPARE(w.pitches(), pitches);
        w.run(Command::Copy);
        w.prompter.answers = {true};
        w.prompter.asked.clear();
        w.run(Command::PasteTabAsNotes);
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Paste tab as notes"));
        QCOMPARE(w.tab(), loaded);
        QCOMPARE(w.pitches(), pitches);
        QVERIFY(!w.prompter.asked.join('\n').contains(QStringLiteral("spacing")));
    }

    void nothingToImportChangesNothing()
    {
        Window w;
        // A tab line repeated past what a web page holds is refused before it is read.
        const QString huge = QStringLiteral("G|--5--|\n").repeated(300'000);
        const std::pair<QString, const char*> cases[] = {
            {QStringLiteral("Just a few words about the song.\n"), "No tab lines"},
            {QStringLiteral("G|--|\n"), "1 string line was read, but no note came in:\rLine 1, "
                                        "column 2: 1 string line, but a bass has 4, 5 or 6"},
            // Lines were read, but their only note is past the neck: said so, with its place.
            {QStringLiteral("G|-----|\nD|-----|\nA|--25-|\nE|-----|\n"),
             "4 string lines were read, but no note came in:\rLine 3, column 5: fret 25"},
            {huge, "too long"}};
        for (const auto& [text, said] : cases) {
            QGuiApplication::clipboard()->setText(text);
            w.prompter.picks = {0};
            w.prompter.asked.clear();
            w.run(Command::PasteTabAsNotes);
            QVERIFY(w.tab().isEmpty());
            QVERIFY2(w.prompter.asked.constLast().contains(QLatin1String(said)),
                     qPrintable(w.prompter.asked.constLast()));
            QCOMPARE(w.form.history().size(), std::size_t{0});
        }
    }
};

QUORLIN_GUARDED_TEST_MAIN(ConversionTest)

#include "ConversionTest.moc"
