// File > Transcribe recording... in the window, with the listening built here in place of the
// program's own: what the dialog's fields ask for, a cancel that stops the work, the tab that
// results as one step, and the recordings that arrive by a drop or by name.

#include "document/Document.h"
#include "tests/files/HandSongs.h"
#include "tests/ui/entry/TabWindow.h"
#include "ui/transcribe/TranscribeDialog.h"
#include "ui/transcribe/TranscribeFeature.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace quorlin;
using ui::Command;
using ui::testing::child;

namespace {

// The quarters on the A string, frets 3 5 7 5, as the song import writes them.
const QString kQuarters = QStringLiteral("|   q  q  q  q\nG ------------\nD ------------\n"
                                         "A --3--5--7--5\nE ------------\n");

// The four quarters heard, the second in doubt, 2.4 s into the part listened to.
ui::Heard quartersHeard(double start = 0)
{
    ui::Heard heard;
    heard.start = start;
    transcribe::Transcription& t = heard.transcription;
    t.song = files::testing::nightWalk({files::testing::bassQuarters()}).song;
    for (const double onset : {0.0, 2.4, 2.9, 3.4})
        t.notes.push_back({onset, onset + 0.5, 36, 0.9});
    t.notes[1].doubt = "octave";
    t.remarks = {"1 double stop written as its lower note"};
    t.tempo = 96;
    return heard;
}

struct Window : ui::testing::TabWindow {
    Window() : TabWindow(80)
    {
        form.transcribing().setListen([asked = asked, answer = answer,
                                       stopped = stopped](const ui::TranscribeRequest& request,
                                                          const transcribe::Progress& progress) {
            *asked = request;
            if (!answer->cancelled)
                return *answer;
            // Listens on until told to stop, as the analysis does.
            for (int i = 0; i < 2000 && !*stopped; ++i) {
                *stopped = !progress(0.5);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return *answer;
        });
        ui::testing::writeFile(path("bass.wav"), QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16));
    }

    // Through the menu, the dialog's fields set by `fill` before Transcribe is pressed.
    void transcribe(std::function<void(ui::TranscribeDialog*)> fill)
    {
        ui::testing::whenVisible<ui::TranscribeDialog>(
            form, "TranscribeDialog", [fill](ui::TranscribeDialog* d) {
                fill(d);
                auto* go = d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
                if (go->isEnabled())
                    go->click();
                else
                    d->reject();
            });
        run(Command::Transcribe);
    }
    void transcribeBass()
    {
        transcribe([this](ui::TranscribeDialog* d) {
            child<QLineEdit>(*d, "RecordingPath")->setText(path("bass.wav"));
        });
    }
    void waitForWork()
    {
        QTRY_VERIFY_WITH_TIMEOUT(form.findChild<QProgressDialog*>() == nullptr, 15000);
    }
    QString message() const { return form.statusBar()->currentMessage(); }

    std::shared_ptr<ui::TranscribeRequest> asked = std::make_shared<ui::TranscribeRequest>();
    std::shared_ptr<ui::Heard> answer = std::make_shared<ui::Heard>(quartersHeard());
    std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);
};

} // namespace

class TranscribeTest : public QObject {
    Q_OBJECT

private slots:
    // The dialog starts from the window's strings and tuning; what the fields say becomes
    // the part listened to, the tempo and the open pitches the notes are fingered on.
    void theFieldsBecomeTheRequest_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end"); // 0: the end of the file
        QTest::addColumn<int>("tempo");  // the least: found from the recording
        QTest::addColumn<int>("strings");
        QTest::addColumn<QString>("tuning"); // "": the one the string count brings
        QTest::addColumn<QString>("asked");  // "start end tempo pitches", or "refused"
        const std::tuple<const char*, double, double, int, int, const char*, const char*> rows[] = {
            {"as shown", 0, 0, 19, 4, "", "0 - - 43 38 33 28"},
            {"part, tempo", 12.5, 40, 96, 4, "", "12.5 40 96 43 38 33 28"},
            {"five", 0, 0, 19, 5, "", "0 - - 43 38 33 28 23"},
            {"six", 0, 0, 19, 6, "", "0 - - 48 43 38 33 28 23"},
            {"drop D", 0, 0, 19, 4, "D A D G", "0 - - 43 38 33 26"},
            {"tuning short", 0, 0, 19, 5, "E A D G", "refused"},
            {"ends first", 30, 20, 19, 4, "", "refused"}};
        for (const auto& [name, start, end, tempo, strings, tuning, asked] : rows)
            QTest::newRow(name) << start << end << tempo << strings << QString(tuning)
                                << QString(asked);
    }
    void theFieldsBecomeTheRequest()
    {
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(int, tempo);
        QFETCH(int, strings);
        QFETCH(QString, tuning);
        QFETCH(QString, asked);
        Window w;
        QString shown;
        w.transcribe([&](ui::TranscribeDialog* d) {
            shown = child<QSpinBox>(*d, "Strings")->text() + ' ' +
                    child<QLineEdit>(*d, "Tuning")->text();
            child<QLineEdit>(*d, "RecordingPath")->setText(w.path("bass.wav"));
            child<QDoubleSpinBox>(*d, "Start")->setValue(start);
            child<QDoubleSpinBox>(*d, "End")->setValue(end);
            child<QSpinBox>(*d, "Tempo")->setValue(tempo);
            child<QSpinBox>(*d, "Strings")->setValue(strings);
            if (!tuning.isEmpty())
                child<QLineEdit>(*d, "Tuning")->setText(tuning);
        });
        w.waitForWork();
        QCOMPARE(shown, QStringLiteral("4 E A D G"));
        if (asked == QStringLiteral("refused")) {
            QCOMPARE(w.tab(), QString());
            QVERIFY(w.asked->path.isEmpty());
            return;
        }
        const ui::TranscribeRequest& r = *w.asked;
        QStringList got{QString::number(r.span.start),
                        r.span.end ? QString::number(*r.span.end) : QStringLiteral("-"),
                        r.options.tempo ? QString::number(*r.options.tempo) : QStringLiteral("-")};
        for (const int pitch : r.options.openPitches)
            got << QString::number(pitch);
        QCOMPARE(got.join(' '), asked);
        QCOMPARE(r.path, w.path("bass.wav"));
    }

    // The tab heard replaces an unsaved one after the question, as one step with its own
    // name; the doubtful notes are listed at their place in the file, and Undo brings back
    // the tab typed before.
    void aFinishedRunIsOneStep()
    {
        Window w;
        w.type(QStringLiteral("A7"));
        const QString before = w.tab();
        *w.answer = quartersHeard(10);
        w.prompter.answers = {true};
        w.transcribeBass();
        w.waitForWork();
        QVERIFY2(w.tab().startsWith(kQuarters), qPrintable(w.tab()));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Transcribe"));
        QVERIFY(child<QLabel>(w.form, "FileStatus")->text().startsWith(QStringLiteral("new tab")));
        QCOMPARE(w.prompter.asked.size(), 2);
        QVERIFY2(w.prompter.asked[0].contains(QStringLiteral("not saved")),
                 qPrintable(w.prompter.asked[0]));
        QVERIFY2(w.prompter.asked[1].contains(QStringLiteral("0:12.4")) &&
                     w.prompter.asked[1].contains(QStringLiteral("octave")) &&
                     w.prompter.asked[1].contains(QStringLiteral("double stop")),
                 qPrintable(w.prompter.asked[1]));
        QVERIFY(!w.message().isEmpty());

        w.run(Command::Undo);
        QCOMPARE(w.tab(), before);
    }

    // Cancel stops the listening itself, and the tab stays as it was, with no step added;
    // a tab left unsaved and kept at the question is not listened for at all.
    void cancelLeavesTheTab()
    {
        Window w;
        w.type(QStringLiteral("A7"));
        const QString before = w.tab();
        const std::size_t steps = w.form.history().position();
        w.answer->cancelled = true;
        w.prompter.answers = {true};
        w.transcribeBass();
        auto* progress = w.form.findChild<QProgressDialog*>();
        QVERIFY(progress != nullptr);
        emit progress->canceled();
        w.waitForWork();
        QVERIFY(*w.stopped);
        QCOMPARE(w.tab(), before);
        QCOMPARE(w.form.history().position(), steps);
        QCOMPARE(w.message(), QStringLiteral("Transcription cancelled: the tab is as it was."));

        w.asked->path.clear();
        w.prompter.answers = {false};
        w.transcribeBass();
        w.waitForWork();
        QVERIFY(w.asked->path.isEmpty());
        QCOMPARE(w.tab(), before);
    }

    // A recording with no bass line, or none at all, is said in a box and changes nothing.
    void nothingHeardIsSaid_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("said");
        QTest::newRow("silent") << "the recording is silent"
                                << ""
                                << "Transcribe recording|No bass line found: the recording "
                                   "is silent.";
        QTest::newRow("unreadable") << ""
                                    << "is not a sound file Quorlin can read"
                                    << "(error) Transcribe recording|%1 is not a sound file "
                                       "Quorlin can read.";
    }
    void nothingHeardIsSaid()
    {
        QFETCH(QString, why);
        QFETCH(QString, error);
        QFETCH(QString, said);
        Window w;
        const std::size_t steps = w.form.history().position();
        w.answer->transcription.noBassLine = why.toStdString();
        w.answer->error = error.toStdString();
        w.transcribeBass();
        w.waitForWork();
        QCOMPARE(w.tab(), QString());
        QCOMPARE(w.prompter.asked,
                 QStringList{said.replace(QStringLiteral("%1"), w.path("bass.wav"))});
        QCOMPARE(w.form.history().position(), steps);
    }

    // A recording dropped on the window, or named at start, is heard on the window's strings;
    // a tab or a song is not taken for one.
    void recordingsArriveByDropAndByName()
    {
        Window w;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(w.path("bass.wav"))});
        QVERIFY(ui::testing::dragAndDrop(&w.form, QPoint(20, 20), data));
        w.waitForWork();
        QTRY_VERIFY(w.tab().startsWith(kQuarters));
        QCOMPARE(w.asked->options.openPitches, (std::vector<int>{43, 38, 33, 28}));
        QVERIFY(!w.asked->span.end && !w.asked->options.tempo);

        Window named;
        named.form.openAtStart(named.path("bass.wav"));
        named.waitForWork();
        QVERIFY(named.tab().startsWith(kQuarters));
    }

    void tellsRecordingsApart_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("recording");
        QTest::newRow("wav") << QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16) << "a.bin" << true;
        QTest::newRow("avi") << QByteArray("RIFF\x10\0\0\0AVI LIST", 16) << "a.avi" << false;
        QTest::newRow("flac") << QByteArray("fLaC\0\0\0\x22") << "take" << true;
        QTest::newRow("ogg") << QByteArray("OggS\0\x02") << "a.dat" << true;
        QTest::newRow("mp3 tag") << QByteArray("ID3\x04\0") << "a" << true;
        QTest::newRow("mp3 name") << QByteArray("\xff\xfb\x90\x64") << "Take 1.MP3" << true;
        QTest::newRow("midi") << QByteArray("MThd\0\0\0\x06") << "a.mid" << false;
        QTest::newRow("tab") << QByteArray("FTH80:G D A E ") << "song.tab" << false;
        QTest::newRow("named wav") << QByteArray("FTH80:G D A E ") << "song.wav.tab" << false;
    }
    void tellsRecordingsApart()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, name);
        QFETCH(bool, recording);
        QCOMPARE(ui::TranscribeFeature::isRecording(head, name), recording);
    }
};

QUORLIN_GUARDED_TEST_MAIN(TranscribeTest)

#include "TranscribeTest.moc"
