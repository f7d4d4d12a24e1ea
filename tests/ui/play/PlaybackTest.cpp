// Playing the tab in the window: the transport, the neck and the text following the sound,
// edits heard while it plays, and what the window says when it cannot play.

#include "instrument/Preferences.h"
#include "tests/ui/QuietWindow.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/export/MusicXmlDialog.h"
#include "ui/export/TabExport.h"
#include "ui/neck/NeckWidget.h"
#include "ui/play/PlayFeature.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBlock>
#include <unistd.h>

#include <pugixml.hpp>

using namespace quorlin;
using ui::Command;
using ui::testing::child;

namespace {

// A whole-note chord on D fret 5 (key 43) and A fret 3 (36), a quarter on A fret 7 (40); then a
// second block with a quarter on G fret 2 (45).
const QString kTab = QStringLiteral("|   w  q\nG ------\nD --5---\nA --3--7\nE ------\n>       \n"
                                    "|   q\nG --2\nD ---\nA ---\nE ---\n>    \n");

// Half an hour of whole notes at 20 beats a minute: an export long enough to show its progress,
// and to be stopped.
QString longTab()
{
    QString block;
    for (const char* line : {"|   w", "G --5", "D ---", "A ---", "E ---", ">    "})
        block += QString(line).left(2) + QString(line).mid(2).repeated(26) + '\n';
    return block.repeated(6);
}

struct Window : ui::testing::QuietWindow {
    using Log = ui::testing::FakeSynth::Log;
    explicit Window(std::string fontError = {}, bool device = true, const QString& tab = kTab,
                    std::function<audio::FontCheck(const std::string&)> check = {},
                    std::shared_ptr<Log> heard = std::make_shared<Log>()) :
        QuietWindow(ui::testing::fakeDevices(heard, fontError, device, std::move(check))),
        log(std::move(heard))
    {
        form.show();
        area().setPlainText(tab);
    }
    std::shared_ptr<Log> log;
    ui::NeckWidget& neck() const { return *child<ui::NeckWidget>(form, "BassNeck"); }
    QAction& action(Command command) const { return *form.commands()[command]; }
    ui::LivePlayback& playback() { return form.playback().playback(); }
    QString position() const { return child<QLabel>(form, "PlayPosition")->text(); }
    void setTempo(int bpm) { child<QSpinBox>(form, "TempoField")->setValue(bpm); }
    // Plays from the text cursor's block, as when the user was last in the text.
    void playFromLine(int line, int lastLine = -1)
    {
        area().setFocus();
        QTextCursor cursor(area().document()->findBlockByNumber(line));
        if (lastLine >= 0)
            cursor.setPosition(area().document()->findBlockByNumber(lastLine).position(),
                               QTextCursor::KeepAnchor);
        area().setTextCursor(cursor);
        QApplication::setActiveWindow(&form);
        QTRY_VERIFY(area().hasFocus());
        action(Command::PlayPause).trigger();
    }
    // The tab cursor on column `column` of the tab, or appending for -1.
    void putTabCursor(int column)
    {
        action(Command::TabCursorEnd).trigger();
        if (column >= 0)
            action(Command::TabCursorFirst).trigger();
        for (int i = 0; i < column; ++i)
            action(Command::TabCursorRight).trigger();
        QCOMPARE(form.tabCursor().value_or(-1), column);
    }
};

// Where play starts: the tab cursor's column (-1: none), loop, the text selection's lines (-1:
// none), the keys heard and when the first sounds.
struct Start {
    int column;
    bool loop;
    int from, to;
    std::vector<int> heard;
    std::int64_t tick;
};

// The cells of the first block's column at `character`, on all six lines of the block.
QStringList firstBlockCells(int character)
{
    QStringList ranges;
    for (int line = 0; line < 6; ++line)
        ranges << QStringLiteral("%1:%2+3").arg(line).arg(character);
    return ranges;
}

} // namespace

Q_DECLARE_METATYPE(Start)

class PlaybackTest : public QObject {
    Q_OBJECT

private slots:
    // The transport, the neck and the text follow play, pause and stop; played to its end, the
    // tab is heard whole and stops by itself.
    void transportNeckAndTextFollowTheSound()
    {
        Window w;
        w.setTempo(20); // the whole note lasts twelve seconds
        using State = ui::LivePlayback::State;
        // The command, then the state, the Play button's text and whether a position shows.
        const std::tuple<Command, State, const char*, bool> steps[] = {
            {Command::PlayPause, State::Playing, "&Pause", true},
            {Command::PlayPause, State::Paused, "&Play", true},
            {Command::PlayPause, State::Playing, "&Pause", true},
            {Command::Stop, State::Stopped, "&Play", false},
            {Command::PlayPause, State::Playing, "&Pause", true}};
        for (const auto& [command, state, text, positioned] : steps) {
            w.action(command).trigger();
            // Only the first Play waits, for the font; after it the transport shows each
            // step at once, before the sound has had a period to follow.
            if (&command == &std::get<0>(steps[0]))
                QTRY_COMPARE(w.playback().state(), state);
            QCOMPARE(w.playback().state(), state);
            QCOMPARE(w.action(Command::PlayPause).text(), QLatin1String(text));
            // The whole note sounds through bar 1 of 4/4.
            QCOMPARE(w.position().startsWith(QLatin1String("bar 1, beat ")) &&
                         w.position().endsWith(QLatin1String(" (block 1)")),
                     positioned);
        }
        QTRY_COMPARE(w.neck().sounding(), (QList<QPoint>{{5, 2}, {3, 3}}));
        // The column is marked on all six lines of its block; the user's cursor stays put.
        QCOMPARE(w.area().extraSelections().size(), 6);
        QCOMPARE(w.area().extraSelections().first().cursor.selectedText(), QStringLiteral("  w"));
        QCOMPARE(w.area().textCursor().position(), 0);
        w.action(Command::Stop).trigger();
        QVERIFY(w.neck().sounding().isEmpty());
        QVERIFY(w.area().extraSelections().isEmpty());

        w.log->events.clear();
        w.setTempo(400);
        QStringList positions;
        w.action(Command::PlayPause).trigger();
        QTRY_COMPARE(w.playback().state(), State::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(
            (positions.append(w.position()), w.playback().state() == State::Stopped), 5000);
        QCOMPARE(w.log->keysOn(), (std::vector<int>{43, 36, 40, 45}));
        QVERIFY(positions.contains(QStringLiteral("bar 1, beat 1 (block 1)")) ||
                positions.filter(QStringLiteral(" (block 1)")).size() > 1);
        QVERIFY(!positions.filter(QStringLiteral(" (block 2)")).isEmpty());
        QVERIFY(w.neck().sounding().isEmpty());
    }

    // The tab cursor's column sounds first, at its own time, wherever the text's caret is (here
    // in the second block); a loop goes back to it, to practise from there. With no tab cursor
    // a loop repeats the blocks the text selection touches, from its first line to its last.
    void startsFromTheTabCursorsColumn_data()
    {
        constexpr std::int64_t beat = score::kTicksPerBeat;
        QTest::addColumn<Start>("start");
        QTest::newRow("no tab cursor: the caret's block")
            << Start{-1, false, 8, -1, {45}, 5 * beat};
        QTest::newRow("first column") << Start{0, false, 8, -1, {43, 36, 40, 45}, 0};
        QTest::newRow("second column") << Start{1, false, 8, -1, {40, 45}, 4 * beat};
        QTest::newRow("second block") << Start{2, false, 8, -1, {45}, 5 * beat};
        QTest::newRow("loop from a column")
            << Start{1, true, 8, -1, {40, 45, 40, 45, 40}, 4 * beat};
        QTest::newRow("loop a selection in one block")
            << Start{-1, true, 7, 9, {45, 45, 45}, 5 * beat};
        QTest::newRow("loop a selection over two blocks")
            << Start{-1, true, 5, 7, {43, 36, 40, 45, 43, 36, 40, 45}, 0};
    }
    void startsFromTheTabCursorsColumn()
    {
        QFETCH(Start, start);
        const auto& [column, loop, from, to, heard, tick] = start;
        Window w;
        w.setTempo(400);
        if (loop)
            w.action(Command::Loop).trigger();
        w.putTabCursor(column);
        w.playFromLine(from, to);
        std::vector<int> keys;
        QTRY_VERIFY_WITH_TIMEOUT((keys = w.log->keysOn(), keys.size() >= heard.size()), 5000);
        if (loop) {
            keys.resize(heard.size());
            QCOMPARE(w.playback().state(), ui::LivePlayback::State::Playing);
        } else {
            QTRY_COMPARE(w.playback().state(), ui::LivePlayback::State::Stopped);
            keys = w.log->keysOn();
        }
        QCOMPARE(keys, heard);
        const std::vector<score::Event> events = w.log->taken();
        const auto first = std::find_if(events.begin(), events.end(), [](const auto& e) {
            return e.kind == score::EventKind::NoteOn;
        });
        QVERIFY(first != events.end());
        QCOMPARE(first->tick, tick);
    }

    // The tab cursor's mark and the sounding column's show together, the sounding one drawn
    // over it; the cursor's stays when the tab has played to its end.
    void theTabCursorAndTheSoundingColumnAreMarkedTogether()
    {
        Window w;
        w.setTempo(20);
        w.putTabCursor(1);
        w.action(Command::PlayPause).trigger();
        QTRY_COMPARE(w.neck().sounding(), (QList<QPoint>{{7, 3}}));
        QCOMPARE(w.marks(), firstBlockCells(5) + firstBlockCells(5));
        w.putTabCursor(0);
        QCOMPARE(w.marks(), firstBlockCells(2) + firstBlockCells(5));
        w.setTempo(400);
        QTRY_COMPARE(w.playback().state(), ui::LivePlayback::State::Stopped);
        QCOMPARE(w.marks(), firstBlockCells(2));
    }

    void anEditWhilePlayingIsHeardFromTheNextColumnOn()
    {
        Window w;
        w.setTempo(20);
        w.action(Command::PlayPause).trigger();
        QTRY_COMPARE(w.log->keysOn(), (std::vector<int>{43, 36}));
        // A third block with G fret 9 (52), then a faster tempo so that it comes soon.
        w.area().appendPlainText(QStringLiteral("|   s\nG --9\nD ---\nA ---\nE ---\n>    "));
        w.setTempo(400);
        QTRY_VERIFY_WITH_TIMEOUT(!w.log->keysOn().empty() && w.log->keysOn().back() == 52, 8000);
        QCOMPARE(w.log->keysOn(), (std::vector<int>{43, 36, 40, 45, 52}));

        // A tab cleared while it plays stops it: the notes that were there must not go on.
        w.setTempo(20);
        w.action(Command::Stop).trigger();
        w.action(Command::PlayPause).trigger();
        QTRY_COMPARE(w.playback().state(), ui::LivePlayback::State::Playing);
        w.area().clear();
        QTRY_COMPARE(w.playback().state(), ui::LivePlayback::State::Stopped);
        QVERIFY(w.neck().sounding().isEmpty());
    }

    void saysWhyItCannotPlayOnceAndStillExports()
    {
        // Font error, device, and what the Play button's tip and the status bar say.
        const std::tuple<std::string, bool, QString, QString> cases[] = {
            {"not a sound font", true, "not a sound font",
             "The sound font could not be loaded: choose another with Play > Sound font..."},
            {"", false, "No sound device: none here",
             "No sound device: Quorlin cannot play here, but it can export."}};
        for (const auto& [fontError, device, tip, said] : cases) {
            Window w(fontError, device);
            w.action(Command::PlayPause).trigger();
            for (const Command command : {Command::PlayPause, Command::Stop}) {
                QTRY_VERIFY(!w.action(command).isEnabled());
                QVERIFY2(w.action(command).toolTip().contains(tip),
                         qPrintable(w.action(command).toolTip()));
            }
            QCOMPARE(w.form.statusBar()->currentMessage(), said);
            QCOMPARE(w.playback().state(), ui::LivePlayback::State::Stopped);

            QTemporaryDir dir;
            const QString midi = dir.filePath(QStringLiteral("song.mid"));
            w.form.exporter().exportTo(platform::ExportFormat::Midi, midi);
            QCOMPARE(ui::testing::readFile(midi).left(4), QByteArray("MThd"));
        }
    }

    // A font that crashes, hangs or fails where it is tried apart never reaches the window's
    // process: the font before it keeps playing, and only a font that loaded is remembered.
    void aFontRefusedApartLeavesTheOneBeforePlaying()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.sf2"));
        const QString bad = dir.filePath(QStringLiteral("bad.sf3"));
        for (const QString& path : {good, bad})
            ui::testing::writeFile(path, "RIFF");
        const std::string why = "the synthesiser crashed on it (Segmentation fault)";
        std::vector<std::string> tried;
        const auto check = [&](const std::string& font) {
            tried.push_back(font);
            return font == bad.toStdString() ? audio::FontCheck{false, why}
                                             : audio::FontCheck{true, {}};
        };
        // Whether a good font plays before the bad one is picked.
        for (const bool before : {true, false}) {
            Window w({}, true, kTab, check);
            tried.clear();
            const auto pick = [&](const QString& font) {
                QTimer::singleShot(0, &w.form, [font] {
                    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                    QVERIFY(dialog);
                    child<QComboBox>(*dialog, "SoundFonts")->setCurrentText(font);
                    dialog->accept();
                });
                w.action(Command::SoundFont).trigger();
            };
            if (before) {
                pick(good);
                QTRY_VERIFY(w.playback().ready());
            }
            pick(bad);
            // The status bar names the reason when another font stays, Play's tip when none.
            const QString reason = QString::fromStdString(why);
            QTRY_VERIFY(before ? w.form.statusBar()->currentMessage().contains(reason)
                               : w.action(Command::PlayPause).toolTip().contains(reason));
            QCOMPARE(tried.back(), bad.toStdString());
            const std::string stored =
                instrument::loadPreference(w.store, instrument::kSoundFontPreference);
            QCOMPARE(stored, before ? good.toStdString() : std::string());
            QCOMPARE(w.playback().ready(), before);
            QCOMPARE(w.action(Command::PlayPause).isEnabled(), before);
            if (!before)
                continue;
            QCOMPARE(w.playback().fontPath(), good);
            QVERIFY(instrument::loadPreference(w.store, instrument::kGoodSoundFontPreference)
                        .ends_with(" " + good.toStdString()));
            w.setTempo(400);
            w.action(Command::PlayPause).trigger();
            QTRY_VERIFY(!w.log->keysOn().empty());
        }
    }

    void tempoIsAStepOfTheHistory()
    {
        Window w;
        auto& field = *child<QSpinBox>(w.form, "TempoField");
        auto* edit = field.findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("137"));
        QCOMPARE(w.form.state().tempo, 137);
        QCOMPARE(w.action(Command::Undo).text(), QStringLiteral("&Undo tempo"));
        w.action(Command::Undo).trigger();
        QCOMPARE(std::tuple(w.form.state().tempo, field.value()), std::tuple(100, 100));
        w.action(Command::Redo).trigger();
        QCOMPARE(std::tuple(w.form.state().tempo, field.value()), std::tuple(137, 137));
    }

    void exportsTheWindowsTab()
    {
        QTemporaryDir dir;
        Window empty({}, true, QString());
        empty.form.exporter().exportTo(platform::ExportFormat::Midi,
                                       dir.filePath(QStringLiteral("none.mid")));
        QCOMPARE(empty.prompter.asked.size(), 1);
        QVERIFY(empty.prompter.asked.first().contains(QLatin1String("nothing to export")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.mid"))));

        if (audio::installedSoundFonts().empty())
            QSKIP("No sound font is installed for the WAV export");
        Window w;
        const QString wav = dir.filePath(QStringLiteral("song.wav"));
        w.form.exporter().exportTo(platform::ExportFormat::Wav, wav);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form.exporter().busy(), 20000);
        QCOMPARE(w.form.statusBar()->currentMessage(), QStringLiteral("Exported ") + wav);
        const QByteArray written = ui::testing::readFile(wav);
        QCOMPARE(written.left(4), QByteArray("RIFF"));
        // Three seconds and a half of 16-bit stereo at 44.1 kHz at least: the chord and notes.
        QVERIFY(written.size() > 44 + 3 * 44100 * 4);
        QTRY_VERIFY(w.form.findChild<QProgressDialog*>() == nullptr);

        Window slow({}, true, longTab());
        slow.setTempo(20);
        const QString cancelled = dir.filePath(QStringLiteral("cancelled.wav"));
        slow.form.exporter().exportTo(platform::ExportFormat::Wav, cancelled);
        QProgressDialog* progress = nullptr;
        QTRY_VERIFY((progress = slow.form.findChild<QProgressDialog*>()) && progress->isVisible());
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!slow.form.exporter().busy(), 20000);
        QCOMPARE(slow.form.statusBar()->currentMessage(),
                 QStringLiteral("Export cancelled: nothing was written."));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("song.wav")});
    }

    // The tab's own file, by any name, is never an export's target: the export would destroy
    // the tab it comes from.
    void anExportOntoTheTabsOwnFileIsRefused_data()
    {
        QTest::addColumn<int>("format"); // MIDI, WAV, or 2 for MusicXML
        QTest::addColumn<QString>("road");
        QTest::newRow("MIDI, same name") << 0 << "same";
        QTest::newRow("WAV, through a link") << 1 << "link";
        QTest::newRow("MusicXML, hard link") << 2 << "hard";
    }

    void anExportOntoTheTabsOwnFileIsRefused()
    {
        QFETCH(int, format);
        QFETCH(QString, road);
        QTemporaryDir dir;
        const QString tab = dir.filePath(QStringLiteral("song.tab"));
        const QByteArray bytes = "FTH80:G D A E ;\r\n" + kTab.toUtf8();
        ui::testing::writeFile(tab, bytes);
        const QString target = road == "same" ? tab : dir.filePath(QStringLiteral("other"));
        if (road == "link")
            QVERIFY(QFile::link(tab, target));
        if (road == "hard")
            QCOMPARE(
                ::link(QFile::encodeName(tab).constData(), QFile::encodeName(target).constData()),
                0);
        Window w({}, true, QString());
        QVERIFY(w.form.openFile(tab));
        w.prompter.asked.clear();

        ui::TabExport& exporter = w.form.exporter();
        if (format == 2)
            exporter.exportMusicXmlTo(target, files::MusicXmlOptions());
        else
            exporter.exportTo(static_cast<platform::ExportFormat>(format), target);
        QTRY_VERIFY_WITH_TIMEOUT(!exporter.busy(), 20000);
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY2(w.prompter.asked.constFirst().contains("is the tab's own file"),
                 qPrintable(w.prompter.asked.constFirst()));
        QCOMPARE(ui::testing::readFile(tab), bytes);
    }

    // A window closed while its WAV export runs stops the export and leaves no partial file.
    void closingTheWindowStopsAWavExportAndLeavesNothing()
    {
        if (audio::installedSoundFonts().empty())
            QSKIP("No sound font is installed for the WAV export");
        QTemporaryDir dir;
        auto slow = std::make_unique<Window>(std::string(), true, longTab());
        slow->setTempo(20);
        slow->form.exporter().exportTo(platform::ExportFormat::Wav,
                                       dir.filePath(QStringLiteral("long.wav")));
        // The font check and the level pass come before the file does; a busy machine is slow.
        QTRY_COMPARE_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1,
                                  60000);
        slow.reset();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // The tab's time signature, from its file or chosen beside the tempo, one undo step, is
    // the score's; the export asks only for the key and title.
    void exportsMusicXmlInTheTabsTimeSignature()
    {
        QTemporaryDir dir;
        const QString tab = dir.filePath(QStringLiteral("song.tab"));
        ui::testing::writeFile(
            tab, "FTH80:G D A E ; Generated by Quorlin, do not erase\r\n====================\r\n"
                 "From            : Tab writer\r\nArtist          : Some band\r\n"
                 "Bass Performance: Bass player\r\nComments:       : Intro only\r\n---\r\n"
                 "Time: 5/8\r\n====================\r\n\r\n" +
                     kTab.toUtf8());
        Window w({}, true, QString());
        w.form.setHeaderForm(new ui::THeaderForm(&w.form));
        QVERIFY(w.form.openFile(tab));
        auto* time = child<QComboBox>(w.form, "TimeSignatureField");
        QCOMPARE(time->currentText(), QStringLiteral("5/8"));
        time->setCurrentText(QStringLiteral("3/4"));
        QCOMPARE(w.action(Command::Undo).text(), QStringLiteral("&Undo time signature"));
        w.action(Command::Undo).trigger();
        QCOMPARE(time->currentText(), QStringLiteral("5/8"));
        w.action(Command::Redo).trigger();
        QCOMPARE(time->currentText(), QStringLiteral("3/4"));

        // The options, then the name the file dialog offers: the tab's, beside it.
        QString offered, shown;
        bool titleOffered = false;
        ui::testing::whenVisible<ui::MusicXmlDialog>(
            w.form, "MusicXmlDialog", [&](ui::MusicXmlDialog* options) {
                titleOffered = child<QCheckBox>(*options, "TitleFromComments")->isChecked();
                shown = child<QLabel>(*options, "TimeSignature")->text();
                child<QComboBox>(*options, "Key")->setCurrentText(QStringLiteral("D minor"));
                options->accept();
                ui::testing::whenVisible<QFileDialog>(w.form, "ExportFile", [&](QFileDialog* name) {
                    offered = name->selectedFiles().value(0);
                    static_cast<QDialog*>(name)->accept();
                });
            });
        w.action(Command::ExportMusicXml).trigger();
        const QString xml = dir.filePath(QStringLiteral("song.musicxml"));
        QVERIFY(titleOffered);
        QCOMPARE(shown, QStringLiteral("3/4"));
        QCOMPARE(offered, xml);
        // Written on the worker thread, then said.
        QTRY_COMPARE(w.form.statusBar()->currentMessage(), QStringLiteral("Exported ") + xml);

        pugi::xml_document doc;
        QVERIFY(doc.load_file(QFile::encodeName(xml).constData()));
        const auto text = [&doc](const char* xpath) {
            return QString::fromUtf8(pugi::xpath_query(xpath).evaluate_string(doc).c_str());
        };
        QCOMPARE(text("concat(//time/beats, '/', //time/beat-type)"), QStringLiteral("3/4"));
        QCOMPARE(text("concat(//key/fifths, ' ', //key/mode)"), QStringLiteral("-1 minor"));
        QCOMPARE(text("//work-title"), QStringLiteral("Intro only"));
        // The chord, tied over the first bar line, and two notes.
        QCOMPARE(text("count(//note[staff=2][pitch][not(tie/@type='stop')])"), QStringLiteral("4"));

        // The key is found again from the notes of whatever tab is open then; cancelled,
        // nothing more is written.
        std::optional<score::Key> key = score::Key();
        ui::testing::whenVisible<ui::MusicXmlDialog>(w.form, "MusicXmlDialog",
                                                     [&](ui::MusicXmlDialog* options) {
                                                         key = options->key();
                                                         options->reject();
                                                     });
        w.action(Command::ExportMusicXml).trigger();
        QVERIFY(!key);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("song.musicxml"), QStringLiteral("song.tab")}));
    }
};

QUORLIN_GUARDED_TEST_MAIN(PlaybackTest)

#include "PlaybackTest.moc"
