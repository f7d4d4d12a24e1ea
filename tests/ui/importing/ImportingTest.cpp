// File > Import... in the window, with readers built here in place of the formats' own: the
// track list, the tab that results, its one step of the history, and the files that reach
// the import by a drop, Open Recent or the command line.

#include "document/Document.h"
#include "tests/files/HandSongs.h"
#include "tests/ui/QuietWindow.h"
#include "ui/importing/ImportingFeature.h"
#include "ui/importing/TrackDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QStatusBar>
#include <QTreeWidget>

using namespace quorlin;
using ui::Command;
using ui::testing::child;

namespace {

constexpr std::int64_t Q = files::kSongTicksPerQuarter;

// One bar played twice, by a drummer and a bassist.
files::SongReading band(std::string_view)
{
    files::SongTrack drums;
    drums.name = "Drums";
    drums.percussion = true;
    drums.notes.push_back({0, Q, 0, 36});
    files::SongReading reading = files::testing::nightWalk({drums, files::testing::bassQuarters()});
    reading.song.bars[0].repeatEnd = 2;
    return reading;
}

files::SongReading bassAlone(std::string_view bytes)
{
    files::SongReading reading = band(bytes);
    reading.song.tracks.erase(reading.song.tracks.begin());
    return reading;
}

const QString kOnePass = QStringLiteral("|   q  q  q  q\nG ------------\nD ------------\n"
                                        "A --3--5--7--5\nE ------------\n");
const QString kTwoPasses = QStringLiteral("A --3--5--7--5--3--5--7--5\n");

struct Window : ui::testing::QuietWindow {
    explicit Window(files::SongReader reader)
    {
        files::SongReaders readers;
        readers.midi = reader;
        form.importing().setReaders(readers);
        form.show();
        ui::testing::writeFile(path("song.mid"), "MThd");
    }
};

} // namespace

class ImportingTest : public QObject {
    Q_OBJECT

private slots:
    // The bass track is listed first and chosen, the drums greyed with the reason; the
    // repeat is kept written once when asked. One step, unsaved, with the song's header.
    void importsTheChosenTrackAsOneStep()
    {
        Window w(band);
        QStringList listed;
        QString drumsTip;
        bool drumsEnabled = true;
        ui::testing::whenVisible<ui::TrackDialog>(w.form, "TrackDialog", [&](ui::TrackDialog* d) {
            auto* list = child<QTreeWidget>(*d, "TrackList");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                listed << list->topLevelItem(i)->text(0);
            QTreeWidgetItem* drums = list->topLevelItem(1);
            drumsTip = drums->toolTip(0);
            drumsEnabled = drums->flags() & Qt::ItemIsEnabled;
            QCOMPARE(list->currentItem(), list->topLevelItem(0));
            child<QCheckBox>(*d, "RepeatsOnce")->setChecked(true);
            d->accept();
        });
        w.answer("ImportAnyFile", w.path("song.mid"));
        w.run(Command::Import);

        QCOMPARE(listed, (QStringList{"Bass", "Drums"}));
        QCOMPARE(drumsTip, QStringLiteral("percussion"));
        QVERIFY(!drumsEnabled);
        QVERIFY2(w.tab().startsWith(kOnePass), qPrintable(w.tab()));
        QCOMPARE(w.form.state().stringCount.value(), 4);
        QCOMPARE(w.form.document().header().artist, std::string("The Band"));
        QCOMPARE(w.form.document().header().comments, std::vector<std::string>{"Night Walk"});
        QCOMPARE(w.form.statusBar()->currentMessage(), QStringLiteral("4 notes imported"));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Import"));
        QVERIFY(child<QLabel>(w.form, "FileStatus")->text().startsWith(QStringLiteral("new tab")));

        w.run(Command::Undo);
        QCOMPARE(w.tab(), QString());
        QCOMPARE(w.form.document().header().artist, std::string());
    }

    // A song dropped on the window, from Open Recent or on the command line is imported, its
    // repeat played out; a text file from File > Import... is a web tab.
    void routesEveryWayInByFormat()
    {
        Window w(bassAlone);
        w.form.openAtStart(w.path("song.mid"));
        QVERIFY2(w.tab().contains(kTwoPasses), qPrintable(w.tab()));
        QVERIFY(w.prompter.asked.isEmpty());

        ui::testing::writeFile(w.path("web.txt"),
                               "G|-------|\nD|-------|\nA|-3---5-|\nE|-------|\n");
        w.prompter.answers = {true};
        w.prompter.picks = {0};
        w.answer("ImportAnyFile", w.path("web.txt"));
        w.run(Command::Import);
        QVERIFY2(w.tab().contains(QStringLiteral("A --3--5")), qPrintable(w.tab()));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Import ASCII tab"));

        w.prompter.answers = {true};
        QVERIFY(w.form.openFile(w.path("song.mid")));
        QVERIFY2(w.tab().contains(kTwoPasses), qPrintable(w.tab()));
        QCOMPARE(w.undoText(), QStringLiteral("&Undo Import"));
    }

    // A format without its reader, and a song with no track to write, are said and change
    // nothing.
    void refusesWhatItCannotWrite()
    {
        Window w(nullptr);
        w.answer("ImportAnyFile", w.path("song.mid"));
        w.run(Command::Import);
        QCOMPARE(w.tab(), QString());
        QVERIFY2(w.prompter.asked.join('\n').contains(QStringLiteral("cannot read yet")),
                 qPrintable(w.prompter.asked.join('\n')));
    }
};

QUORLIN_GUARDED_TEST_MAIN(ImportingTest)

#include "ImportingTest.moc"
