// Times the real window: notes dropped and typed on tabs of several sizes, undo and redo,
// notes replaced and inserted at the tab cursor, loading and saving a big tab, and the memory
// a big tab and a long history cost. Prints "name value" lines; run.sh makes the table.

#include "bench/EditScript.h"
#include "bench/FrameClock.h"
#include "bench/Measure.h"
#include "bench/TabGenerator.h"
#include "document/QtTabText.h"
#include "engine/Columns.h"
#include "files/GuitarProImport.h"
#include "files/MidiImport.h"
#include "files/MusicXml.h"
#include "files/SongToTab.h"
#include "score/Fingering.h"
#include "score/Retune.h"
#include "score/Score.h"
#include "sheet/SheetLayout.h"
#include "tabtext/TextWidth.h"
#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FormTesting.h"
#include "ui/commands/Commands.h"
#include "ui/export/TabExport.h"
#include "ui/neck/DurationDrag.h"
#include "ui/neck/NeckWidget.h"
#include "ui/play/PlayFeature.h"
#include "ui/print/LiveSheet.h"
#include "ui/print/PrintFeature.h"
#include "ui/print/SheetSource.h"
#include "ui/print/SheetView.h"
#include "ui/recovery/RecoveryDialog.h"
#include "ui/sheet/QtTextMeasure.h"
#include "ui/shell/BassU1/TBassForm.h"
#include "ui/shell/GuardedApplication.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <cstdlib>
#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <random>
#include <string_view>
#include <unistd.h>

using namespace quorlin;
using ui::TBassForm;
using ui::testing::child;

namespace {

constexpr int kDrops = 1000;
// Notes typed one step each for the history's memory.
constexpr int kSteps = 10000;

// The window without its sound font: memory figures of the tab and the history must not
// depend on whether the font's background load happened to finish during the run. The
// font's own memory is measured apart ("playing", and bench_audio).
ui::AudioDevices noSoundFont()
{
    ui::AudioDevices devices = ui::AudioDevices::real();
    devices.synth = [](const std::string&, std::string& error) -> std::unique_ptr<audio::Synth> {
        error = "no sound font in this benchmark";
        return nullptr;
    };
    return devices;
}

struct Window {
    ui::testing::ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    TBassForm form;

    explicit Window(ui::AudioDevices devices = noSoundFont()) :
        form(&prompter, &store, nullptr, std::move(devices))
    {
        form.show();
        QCoreApplication::processEvents();
    }
    QPlainTextEdit& tab() const { return *child<QPlainTextEdit>(form, "Tab"); }
    ui::NeckWidget& neck() const { return *child<ui::NeckWidget>(form, "BassNeck"); }
    std::size_t steps() const { return form.history().position(); }

    // Return writes a note only while the neck has the keys of the active window.
    void giveKeysToNeck()
    {
        QApplication::setActiveWindow(&form);
        neck().setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        if (QApplication::focusWidget() != &neck())
            qFatal("the neck did not get the keyboard");
    }

    // Presses the key on the neck as the keyboard would; the time runs from the press until
    // its handler returns, before anything is painted.
    double pressOnNeck(Qt::Key key, const QString& text)
    {
        ui::NeckWidget& target = neck();
        QElapsedTimer timer;
        timer.start();
        // A key sent rather than coming from the window system is still offered to the
        // shortcuts first, so it reaches its command ("Write note", "Insert note") as a real
        // key does.
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&target, &press);
        const auto time = static_cast<double>(timer.nsecsElapsed());
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&target, &release);
        return time;
    }

    // Moves the note cursor and presses Return; the time runs from the press to the note
    // written. Nothing is painted between the move and the press, as with the drag's last move
    // and its drop.
    double writeByKey(int i)
    {
        neck().setCursorCell(i * 5 % 12 + 1, i % 4 + 1);
        const std::size_t before = steps();
        const double time = pressOnNeck(Qt::Key_Return, QStringLiteral("\r"));
        if (steps() != before + 1)
            qFatal("Return wrote no note (key %d)", i);
        QCoreApplication::processEvents();
        return time;
    }

    // Alt+click in the middle of the column's cell on its first string line, as the user puts
    // the tab cursor on a column; the neck then has the keys.
    void altClick(const engine::Column& column, int index)
    {
        QPlainTextEdit& area = tab();
        // The text area scrolls by lines: the column's block goes to the top of the view.
        area.verticalScrollBar()->setValue(column.firstLine);
        QCoreApplication::processEvents();
        QTextCursor at(area.document()->findBlockByNumber(column.firstLine + 1));
        at.setPosition(at.position() + column.character + 1);
        const QRect left = area.cursorRect(at);
        at.movePosition(QTextCursor::NextCharacter);
        const QRect right = area.cursorRect(at);
        const QPoint inside((left.x() + right.x()) / 2, left.center().y());
        if (!area.viewport()->rect().contains(inside))
            qFatal("column %d is out of the text area's view", index);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, inside, area.viewport()->mapToGlobal(inside), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::AltModifier);
            QApplication::sendEvent(area.viewport(), &click);
        }
        QCoreApplication::processEvents();
        if (form.tabCursor() != index)
            qFatal("Alt+click put the tab cursor on %d, not on %d", form.tabCursor().value_or(-1),
                   index);
        giveKeysToNeck();
    }

    // Runs the button's whole action with the file dialog answered by `path`; the returned
    // time starts once the dialog has taken the name, so the dialog itself is left out.
    double throughDialog(const char* button, const char* dialog, const QString& path)
    {
        QElapsedTimer timer;
        ui::testing::whenVisible<QFileDialog>(form, dialog, [path, &timer](QFileDialog* d) {
            QObject::connect(
                d, &QFileDialog::fileSelected, d, [&timer] { timer.start(); },
                Qt::SingleShotConnection);
            // Typed, as a user would: selectFile leaves the name field alone once it has the
            // focus, so a second load from the same dialog would take the first file again.
            child<QLineEdit>(*d, "fileNameEdit")->setText(path);
            static_cast<QDialog*>(d)->accept();
        });
        prompter.answers = {true}; // yes, clear the tab before loading
        child<QAbstractButton>(form, button)->click();
        // Shown means painted.
        tab().viewport()->repaint();
        QCoreApplication::processEvents();
        return static_cast<double>(timer.nsecsElapsed());
    }
};

struct DropTimes {
    double drop; // from the release to the note written: what the player waits for
    double drag; // entering the neck and moving onto the cell as well
};

DropTimes dropMedians(Window& w)
{
    auto* neck = child<ui::NeckWidget>(w.form, "BassNeck")->viewport();
    const std::unique_ptr<QMimeData> data(ui::durationMimeData('q'));
    std::vector<double> drops, drags;
    for (int i = 0; i < kDrops; ++i) {
        const QPoint cell((i * 5 % 12 + 1) * 21 + 10, (i % 4 + 1) * 17 + 8);
        QElapsedTimer whole;
        whole.start();
        QDragEnterEvent enter(cell, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(neck, &enter);
        QDragMoveEvent move(cell, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(neck, &move);
        QElapsedTimer timer;
        timer.start();
        QDropEvent drop(cell, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(neck, &drop);
        drops.push_back(static_cast<double>(timer.nsecsElapsed()));
        drags.push_back(static_cast<double>(whole.nsecsElapsed()));
        if (!drop.isAccepted())
            qFatal("the neck refused drop %d", i);
        QCoreApplication::processEvents();
    }
    return {bench::median(drops), bench::median(drags)};
}

double keyMedian(Window& w)
{
    w.giveKeysToNeck();
    std::vector<double> times;
    for (int i = 0; i < kDrops; ++i)
        times.push_back(w.writeByKey(i));
    return bench::median(times);
}

struct UndoTimes {
    double undo;
    double redo;
};

// Takes back the last notes one by one through the Undo command, then brings them back with
// Redo. Timed like the drop: the command's handler, not the paint that follows it.
UndoTimes undoMedians(Window& w)
{
    const ui::Commands& commands = w.form.commands();
    std::vector<double> undos, redos;
    for (const bool back : {true, false}) {
        QAction& action = *commands[back ? ui::Command::Undo : ui::Command::Redo];
        for (int i = 0; i < kDrops; ++i) {
            const std::size_t before = w.steps();
            QElapsedTimer timer;
            timer.start();
            action.trigger();
            (back ? undos : redos).push_back(static_cast<double>(timer.nsecsElapsed()));
            if (w.steps() != (back ? before - 1 : before + 1))
                qFatal("%s did not move the history (%d)", back ? "Undo" : "Redo", i);
            QCoreApplication::processEvents();
        }
    }
    return {bench::median(undos), bench::median(redos)};
}

// The least a note can cost: three characters added to each of eight lines at the end of a
// document of the same size, in one edit block.
double floorMedian(QTextDocument& doc)
{
    std::vector<double> times;
    for (int i = 0; i < kDrops; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTextCursor cursor(&doc);
        cursor.beginEditBlock();
        QTextBlock block = doc.lastBlock();
        for (int line = 0; line < 8 && block.isValid(); ++line, block = block.previous()) {
            cursor.setPosition(block.position() + block.length() - 1);
            cursor.insertText(QStringLiteral("q--"));
        }
        cursor.endEditBlock();
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    return bench::median(times);
}

double floorMedian(const QString& text)
{
    QTextDocument doc;
    doc.setPlainText(text);
    return floorMedian(doc);
}

// The same edits where a shown text area, like the window's, lays out what changed.
double areaFloorMedian(const QPlainTextEdit& like)
{
    QPlainTextEdit area;
    area.setFont(like.font());
    area.resize(like.size());
    area.setPlainText(like.toPlainText());
    area.show();
    QCoreApplication::processEvents();
    return floorMedian(*area.document());
}

// The columns of a generated tab, as the window reads them once it has loaded the tab.
std::vector<engine::Column> generatedColumns(long notes)
{
    engine::VectorTabText text;
    engine::Staff staff(text);
    bench::generateNotes(staff, notes);
    return engine::readColumns(text, staff.state());
}

// Return with the tab cursor on columns near the middle of the tab, back and forth over fifty
// of them: each press replaces its column's note, in place. Moving the cursor is not timed.
double replaceMedian(Window& w, std::vector<engine::Column> columns)
{
    const int middle = static_cast<int>(columns.size() / 2);
    w.altClick(columns[static_cast<std::size_t>(middle)], middle);
    const ui::Commands& commands = w.form.commands();
    int at = middle;
    std::vector<double> times;
    for (int i = 0; i < kDrops; ++i) {
        const int to = middle + (i % 100 < 50 ? i % 100 : 100 - i % 100);
        if (to != at)
            commands[to > at ? ui::Command::TabCursorRight : ui::Command::TabCursorLeft]->trigger();
        at = to;
        if (w.form.tabCursor() != at)
            qFatal("the tab cursor is on %d, not on %d", w.form.tabCursor().value_or(-1), at);
        engine::Column& column = columns[static_cast<std::size_t>(at)];
        const int string = i % 4 + 1;
        int fret = i * 5 % 12 + 1;
        // The same note again would change nothing and make no step.
        if (column.notes == std::vector<engine::ColumnNote>{{string, fret}} &&
            column.symbol() == 'q' && !column.dotted)
            fret = fret % 12 + 1;
        w.neck().setCursorCell(fret, string);
        const std::size_t before = w.steps();
        times.push_back(w.pressOnNeck(Qt::Key_Return, QStringLiteral("\r")));
        if (w.steps() != before + 1 || w.form.tabCursor() != at)
            qFatal("Return replaced no note (key %d)", i);
        column.notes = {{string, fret}};
        column.setSymbol('q');
        column.dotted = false;
        QCoreApplication::processEvents();
    }
    return bench::median(times);
}

struct InsertTimes {
    double wall;
    double cpu; // this thread's processor time: without the ticks other processes took
};

// Ins with the tab cursor on the first column: the note goes in before it and the whole tab is
// laid out again. Alt+Home, untimed, brings the cursor back to the first column each time.
InsertTimes insertMedians(Window& w, int presses)
{
    QAction& first = *w.form.commands()[ui::Command::TabCursorFirst];
    std::vector<double> walls, cpus;
    for (int i = 0; i < presses; ++i) {
        first.trigger();
        if (w.form.tabCursor() != 0)
            qFatal("Alt+Home left the tab cursor on %d", w.form.tabCursor().value_or(-1));
        w.neck().setCursorCell(i * 5 % 12 + 1, i % 4 + 1);
        const std::size_t before = w.steps();
        const double cpu = bench::threadCpuNs();
        walls.push_back(w.pressOnNeck(Qt::Key_Insert, QString()));
        cpus.push_back(bench::threadCpuNs() - cpu);
        if (w.steps() != before + 1 || w.form.tabCursor() != 1)
            qFatal("Ins inserted no note (press %d)", i);
        QCoreApplication::processEvents();
    }
    return {bench::median(walls), bench::median(cpus)};
}

// The edit keys at the tab cursor: Return on a column in the middle of tabs of several sizes,
// and Ins at the start of the biggest, with the cost of each of its blocks laid out again.
int edits(const QString& dir, int inserts)
{
    for (long size : {1000L, 10000L, 100000L}) {
        const QString path = dir + QStringLiteral("/edits-%1.tab").arg(size);
        bench::writeGeneratedTab(path.toStdString(), size);
        const std::vector<engine::Column> columns = generatedColumns(size);
        const QByteArray name = QByteArray::number(size);
        {
            Window w;
            w.throughDialog("LoadTab", "OpenFile", path);
            bench::report("replace_mid_" + name, replaceMedian(w, columns));
        }
        if (size == 100000) {
            Window w;
            w.throughDialog("LoadTab", "OpenFile", path);
            w.giveKeysToNeck();
            const InsertTimes times = insertMedians(w, inserts);
            bench::report("insert_start_" + name, times.wall);
            bench::report("insert_start_cpu_" + name, times.cpu);
            bench::report("insert_start_blocks_" + name, columns.back().block + 1);
        }
    }
    return 0;
}

int notes(const QString& dir)
{
    for (long size : {1000L, 10000L, 100000L}) {
        const QString path = dir + QStringLiteral("/notes-%1.tab").arg(size);
        bench::writeGeneratedTab(path.toStdString(), size);
        Window w;
        w.throughDialog("LoadTab", "OpenFile", path);
        const QByteArray name = QByteArray::number(size);
        const DropTimes times = dropMedians(w);
        bench::report("notes_" + name, times.drop);
        bench::report("notes_drag_" + name, times.drag);
        bench::report("notes_key_" + name, keyMedian(w));
        const UndoTimes undo = undoMedians(w);
        bench::report("undo_" + name, undo.undo);
        bench::report("redo_" + name, undo.redo);
        bench::report("notes_floor_" + name, floorMedian(w.tab().toPlainText()));
        bench::report("notes_area_" + name, areaFloorMedian(w.tab()));
    }
    return 0;
}

// Notes dropped on a 100,000-note tab, first in silence, then while it plays through the real
// synthesiser. Without a sound device here, a clock takes the sound away at the pace of real
// time, so the synthesiser works as hard as it would for a device.
int playing(const QString& dir)
{
    const QString path = dir + QStringLiteral("/playing.tab");
    bench::writeGeneratedTab(path.toStdString(), 100000);
    ui::AudioDevices devices = ui::AudioDevices::real();
    devices.output = [] { return std::make_unique<audio::ClockOutput>(256); };
    Window w(std::move(devices));
    w.throughDialog("LoadTab", "OpenFile", path);
    bench::report("notes_still_100000", dropMedians(w).drop);

    ui::LivePlayback& playback = w.form.playback().playback();
    w.form.commands()[ui::Command::PlayPause]->trigger();
    QElapsedTimer waited;
    waited.start();
    while (playback.state() != ui::LivePlayback::State::Playing && !waited.hasExpired(30000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (playback.state() != ui::LivePlayback::State::Playing)
        qFatal("playback did not start: %s", qPrintable(playback.unavailable()));
    bench::report("notes_playing_100000", dropMedians(w).drop);
    bench::report("playing_rss_kb", static_cast<double>(bench::rssKb()));
    if (playback.state() != ui::LivePlayback::State::Playing)
        qFatal("playback stopped while the notes were dropped");

    // What following an edit costs the window: the whole tab read as music again.
    std::vector<double> reads;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QList<QByteArray> split = w.tab().toPlainText().toUtf8().split('\n');
        std::vector<std::string_view> lines;
        for (const QByteArray& line : split)
            lines.emplace_back(line.constData(), static_cast<std::size_t>(line.size()));
        const engine::EditingState& s = w.form.state();
        const score::Score score = score::readScore(lines, s.stringCount, s.tuning, s.tempo);
        reads.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    bench::report("playing_reread", bench::median(reads));
    return 0;
}

// The clock output the tests use, noting when the first and the last audible sample of what
// it is handed go out: a sample goes out at the moment its period is handed over, plus its
// place in the period at the sample rate.
class WatchedOutput final : public audio::AudioOutput {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr float kAudible = 0.001f; // -60 dBFS

    bool start(audio::FillFunction fill, std::string& error) override
    {
        return m_clock.start(
            [this, fill = std::move(fill)](float* left, float* right, int frames) {
                fill(left, right, frames);
                const auto now = Clock::now().time_since_epoch().count();
                for (int i = 0; i < frames; ++i) {
                    if (std::abs(left[i]) <= kAudible && std::abs(right[i]) <= kAudible)
                        continue;
                    const auto at = now + std::int64_t(i) * 1'000'000'000 / audio::kSampleRate;
                    std::int64_t none = -1;
                    firstLoud.compare_exchange_strong(none, at);
                    lastLoud.store(at);
                }
            },
            error);
    }
    void stop() override { m_clock.stop(); }
    double latencySeconds() const override { return m_clock.latencySeconds(); }

    std::atomic<std::int64_t> firstLoud{-1};
    std::atomic<std::int64_t> lastLoud{-1};

private:
    audio::ClockOutput m_clock{256};
};

// Space to the first sample of the first note and Shift+Space to the last audible one, through
// the window and the real synthesiser, on a tab of 100,000 notes with the font loaded.
int reaction(const QString& dir)
{
    const QString path = dir + QStringLiteral("/reaction.tab");
    bench::writeGeneratedTab(path.toStdString(), 100000);
    WatchedOutput* watched = nullptr;
    ui::AudioDevices devices = ui::AudioDevices::real();
    devices.output = [&watched] {
        auto output = std::make_unique<WatchedOutput>();
        watched = output.get();
        return output;
    };
    Window w(std::move(devices));
    w.throughDialog("LoadTab", "OpenFile", path);
    ui::LivePlayback& playback = w.form.playback().playback();
    playback.loadFont(QString());
    QElapsedTimer waited;
    waited.start();
    while (!playback.ready() && !waited.hasExpired(60000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!playback.ready() || !watched)
        qFatal("the sound font did not load: %s", qPrintable(playback.unavailable()));
    const auto now = [] { return WatchedOutput::Clock::now().time_since_epoch().count(); };
    const auto runFor = [](int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!timer.hasExpired(ms))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    QAction& play = *w.form.commands()[ui::Command::PlayPause];
    QAction& stop = *w.form.commands()[ui::Command::Stop];
    std::vector<double> plays, stops;
    double first = 0;
    for (int i = 0; i < 11; ++i) {
        watched->firstLoud.store(-1);
        const std::int64_t pressed = now();
        play.trigger();
        QElapsedTimer timer;
        timer.start();
        while (watched->firstLoud.load() < 0 && !timer.hasExpired(10000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (watched->firstLoud.load() < 0)
            qFatal("Play made no sound");
        const double toSound = double(watched->firstLoud.load() - pressed);
        if (i == 0)
            first = toSound;
        else
            plays.push_back(toSound);
        runFor(300);
        const std::int64_t stopped = now();
        stop.trigger();
        runFor(300);
        stops.push_back(std::max(0.0, double(watched->lastLoud.load() - stopped)));
    }
    // The first Play reads the tab; the others find it unchanged.
    bench::report("play_first", first);
    bench::report("play_to_sound", bench::median(plays));
    bench::report("stop_to_silence", bench::median(stops));
    return 0;
}

int loadAndSave(const QString& big, const QString& dir, int repeats)
{
    Window w;
    std::vector<double> loads, saves, writes;
    for (int i = 0; i < repeats; ++i)
        loads.push_back(w.throughDialog("LoadTab", "OpenFile", big));
    bench::report("load", bench::median(loads));

    const QString saved = dir + QStringLiteral("/saved.tab");
    for (int i = 0; i < repeats; ++i) {
        QFile::remove(saved); // a new file each time, so nothing asks about replacing it
        saves.push_back(w.throughDialog("ButtonSave", "SaveFile", saved));
    }
    bench::report("save", bench::median(saves));
    // The same tab as a MusicXML score: both staves of every note, some thirty times the bytes.
    const QString xml = dir + QStringLiteral("/saved.musicxml");
    std::vector<double> exports;
    for (int i = 0; i < repeats; ++i) {
        QFile::remove(xml);
        // Written on the export's worker thread: the figure runs until it says it is done.
        ui::TabExport& exporter = w.form.exporter();
        QEventLoop done;
        QObject::connect(&exporter, &ui::TabExport::finished, &done, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        exporter.exportMusicXmlTo(xml, {});
        if (exporter.busy())
            done.exec();
        exports.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    if (!QFile::exists(xml))
        qFatal("the MusicXML export wrote nothing");
    bench::report("musicxml_export", bench::median(exports));
    bench::report("musicxml_bytes", static_cast<double>(QFileInfo(xml).size()));
    bench::report("musicxml_tab_bytes", static_cast<double>(QFileInfo(big).size()));

    QFile file(saved);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const std::string plain = dir.toStdString() + "/plain.tab";
    // The floor, and beside it the two costs a save cannot leave out: the bytes reaching the
    // disk before the file is replaced, and the text taken out of Qt's document.
    std::vector<double> synced, textOut;
    for (int i = 0; i < repeats; ++i) {
        for (const bool sync : {false, true}) {
            std::remove(plain.c_str());
            QElapsedTimer timer;
            timer.start();
            std::ofstream out(plain, std::ios::binary);
            out.write(bytes.constData(), bytes.size());
            out.close();
            if (sync) {
                const int fd = ::open(plain.c_str(), O_WRONLY);
                ::fdatasync(fd);
                ::close(fd);
            }
            (sync ? synced : writes).push_back(static_cast<double>(timer.nsecsElapsed()));
        }
        QElapsedTimer timer;
        timer.start();
        const QByteArray text = w.tab().document()->toRawText().toUtf8();
        textOut.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    bench::report("save_floor", bench::median(writes));
    bench::report("save_floor_synced", bench::median(synced));
    bench::report("save_text_out", bench::median(textOut));
    return 0;
}

int rss(const QString& big)
{
    Window w;
    w.throughDialog("LoadTab", "OpenFile", big);
    bench::report("rss_kb", static_cast<double>(bench::peakRssKb()));
    return 0;
}

// Memory of a long history: notes typed one step each into an empty window. The tab is saved
// to `saved` so that "loaded" can hold the same text with no history behind it.
int typedHistory(const QString& saved)
{
    Window w;
    w.giveKeysToNeck();
    const double heap = bench::heapBytes();
    const long rss = bench::rssKb();
    for (int i = 0; i < kSteps; ++i)
        w.writeByKey(i);
    if (w.steps() != static_cast<std::size_t>(kSteps))
        qFatal("%d notes made %zu steps", kSteps, w.steps());
    bench::report("typed_heap", bench::heapBytes() - heap);
    bench::report("typed_rss", static_cast<double>(bench::rssKb() - rss) * 1024);
    // Line lengths and line breaks: the tab as a file holds it, without the header.
    bench::report("typed_tab_bytes", static_cast<double>(w.tab().toPlainText().toUtf8().size()));
    QFile::remove(saved); // nothing may ask about replacing it
    w.throughDialog("ButtonSave", "SaveFile", saved);
    return 0;
}

// The same tab loaded from its file, one step. A small tab is loaded first so that the file
// dialog, which the window keeps, is not counted with the tab.
int loadedTab(const QString& path, const QString& small)
{
    Window w;
    w.throughDialog("LoadTab", "OpenFile", small);
    const int smallLines = w.tab().document()->blockCount();
    const double heap = bench::heapBytes();
    const long rss = bench::rssKb();
    w.throughDialog("LoadTab", "OpenFile", path);
    if (w.tab().document()->blockCount() <= smallLines)
        qFatal("%s was not loaded", qPrintable(path));
    bench::report("loaded_heap", bench::heapBytes() - heap);
    bench::report("loaded_rss", static_cast<double>(bench::rssKb() - rss) * 1024);
    return 0;
}

// The tab read as music against reading its file into lines, which every load does first.
int scoreRead(const QString& big, int repeats)
{
    std::vector<double> loads, reads, writes;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        std::ifstream in(big.toStdString(), std::ios::binary);
        const files::LoadedTab tab = files::readTabFile(in, {}, {});
        loads.push_back(static_cast<double>(timer.nsecsElapsed()));
        timer.restart();
        const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
        const score::Score read =
            score::readScore(lines, tab.state.stringCount, tab.state.tuning, score::kDefaultTempo);
        reads.push_back(static_cast<double>(timer.nsecsElapsed()));
        if (read.columns.empty() || !read.skipped.empty())
            qFatal("%s did not read as music", qPrintable(big));
        timer.restart();
        const std::string xml = files::musicXmlText(read, tab.state.tuning, {});
        writes.push_back(static_cast<double>(timer.nsecsElapsed()));
        if (xml.size() < read.columns.size())
            qFatal("%s did not write as MusicXML", qPrintable(big));
    }
    bench::report("score_load", bench::median(loads));
    bench::report("score_read", bench::median(reads));
    bench::report("musicxml_text", bench::median(writes));
    return 0;
}

// The tab to five strings with a high C: the notes low on the G string have no place on the C
// string and go where the fingering chooser plays them, the others stay on their strings.
int retuneTab(const QString& tab, int repeats)
{
    std::ifstream in(tab.toStdString(), std::ios::binary);
    const files::LoadedTab loaded = files::readTabFile(in, {}, {});
    const std::vector<std::string_view> lines(loaded.lines.begin(), loaded.lines.end());
    const score::Setup from{loaded.state.stringCount, loaded.state.tuning};
    score::Setup to{instrument::StringCount(5), {}};
    for (const int s : {1, 2, 3, 4, 5})
        to.tuning.set(s, std::string("C G D A E ").substr(2 * s - 2, 2));
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const score::Retuned retuned = score::retune(lines, from, to);
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
        if (retuned.lines.size() <= lines.size() || !retuned.unplaced.empty())
            qFatal("%s did not retune", qPrintable(tab));
    }
    bench::report("retune_10000", bench::median(times));
    return 0;
}

// A Standard MIDI File written here from the format's rules: a conductor track with a tempo
// and a time signature change, then a track on each channel (9 is the drums) of `perTrack`
// bass notes, eighths with running status and note-offs as velocity 0.
std::string midiOfNotes(std::initializer_list<int> channels, int perTrack)
{
    const auto chunk = [](std::string_view kind, const std::string& body) {
        std::string out(kind);
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>(body.size() >> shift & 0xFF);
        return out + body;
    };
    const std::string end("\x00\xFF\x2F\x00", 4);
    std::string file = chunk("MThd", std::string("\x00\x01\x00", 3) +
                                         static_cast<char>(channels.size() + 1) + "\x01\xE0");
    file += chunk("MTrk", std::string("\x00\xFF\x51\x03\x07\xA1\x20\x00\xFF\x58\x04\x04\x02\x18\x08"
                                      "\x8F\x00\xFF\x58\x04\x03\x02\x18\x08",
                                      24) +
                              end);
    for (const int channel : channels) {
        std::string body = std::string("\x00\xFF\x03\x04Part", 8);
        body += {'\x00', static_cast<char>(0xC0 | channel), 33, '\x00',
                 static_cast<char>(0x90 | channel)};
        for (int i = 0; i < perTrack; ++i) {
            const char key = static_cast<char>(28 + (i * 7 + channel) % 24);
            // On, then off 240 ticks (an eighth) later as a note-on of velocity 0.
            body += {key, 100, '\x81', '\x70', key, '\x00', '\x00'};
        }
        body.pop_back();
        file += chunk("MTrk", body + end);
    }
    return file;
}

// The longest any file can take: the largest file read, one track of running-status
// controller changes, each read and none kept.
std::string midiOfControllerStream()
{
    std::string body("\x00\xB0\x07\x64", 4);
    while (body.size() + 3 + 100 < files::kLargestSongFile)
        body.append("\x00\x07\x64", 3);
    std::string file("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8)
        file += static_cast<char>(body.size() >> shift & 0xFF);
    return file + body;
}

double medianRead(const std::string& file, int repeats, std::size_t notes)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const files::SongReading reading = files::readMidiSong(file);
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
        std::size_t read = 0;
        for (const files::SongTrack& t : reading.song.tracks)
            read += t.notes.size();
        if (!reading.ok() || read != notes)
            qFatal("the MIDI file read as %zu notes: %s", read, reading.error.c_str());
    }
    return bench::median(times);
}

// The whole import: the file read, its default track made a tab.
template <typename Read>
double medianImport(const std::string& file, Read read, int repeats, int notes)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const files::SongReading reading = read(file);
        const files::SongTab tab =
            files::songToTab(reading.song, files::defaultTrack(reading.song), {});
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
        if (!reading.ok() || tab.tab.notes != notes)
            qFatal("the import wrote %d notes: %s", tab.tab.notes, reading.error.c_str());
    }
    return bench::median(times);
}

int midiImport(int repeats)
{
    const std::string four = midiOfNotes({0, 1, 2, 9}, 2500);
    bench::report("midi_import_10000", medianRead(four, repeats, 10000));
    bench::report("midi_song_tab_10000", medianImport(four, files::readMidiSong, repeats, 2500));
    // One bass track holding all 10,000: the fingering chooser places every one.
    bench::report("midi_song_tab_bass_10000",
                  medianImport(midiOfNotes({0}, 10000), files::readMidiSong, repeats, 10000));
    bench::report("midi_stream_64mb", medianRead(midiOfControllerStream(), repeats, 0));
    return 0;
}

// A four-track Guitar Pro 5 file of 1,000 bars (tests/files/write_gp.py --bench) read into a
// song, and read with its bass track made a tab, each against a budget of a tenth of a second.
int guitarProRead(const QString& path, int repeats)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const files::SongReading reading = files::readGuitarProSong(bytes);
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
        if (!reading.ok() || reading.song.bars.size() != 1000 || reading.song.tracks.size() != 4 ||
            reading.song.tracks[0].notes.size() != 8000)
            qFatal("%s did not read: %s", qPrintable(path), reading.error.c_str());
    }
    bench::report("gp5_import_1000", bench::median(times));
    bench::report("gp5_song_tab_1000",
                  medianImport(bytes, files::readGuitarProSong, repeats, 8000));
    return 0;
}

// A bass line of `count` pitches the way a file gives them: steps and leaps within two octaves
// and a half, every eighth step a fifth on top.
std::vector<score::ToPlace> pitchLine(std::size_t count)
{
    std::mt19937 random(11);
    const int moves[] = {-12, -7, -5, -3, -2, -1, 1, 2, 3, 5, 7, 12};
    std::vector<score::ToPlace> notes;
    int pitch = 40;
    for (int step = 0; notes.size() < count; ++step) {
        pitch = std::clamp(pitch + moves[random() % std::size(moves)], 28, 60);
        notes.push_back({pitch, step});
        if (step % 8 == 7 && notes.size() < count)
            notes.push_back({pitch + 7, step});
    }
    return notes;
}

// The fingering chooser over the whole line, at three lengths to show its time per note stays.
int fingering(int repeats)
{
    const int open[] = {43, 38, 33, 28, 23};
    for (const std::size_t count : {1000u, 10000u, 100000u}) {
        const std::vector<score::ToPlace> notes = pitchLine(count);
        std::vector<double> walls, cpus;
        for (int i = 0; i < repeats; ++i) {
            QElapsedTimer timer;
            timer.start();
            const double cpu = bench::threadCpuNs();
            const std::vector<score::Place> places = score::chooseFingering(notes, open);
            cpus.push_back(bench::threadCpuNs() - cpu);
            walls.push_back(static_cast<double>(timer.nsecsElapsed()));
            if (std::ranges::count(places, 0, &score::Place::string) != 0)
                qFatal("the chooser left out notes every string reaches");
        }
        const std::string name = std::to_string(count);
        bench::report(("fingering_" + name).c_str(), bench::median(walls));
        bench::report(("fingering_cpu_" + name).c_str(), bench::median(cpus));
    }
    return 0;
}

// The bars a laid-out sheet holds: a bar split over systems counts once.
double sheetBars(const sheet::Sheet& laid)
{
    if (laid.systems.empty())
        return 0;
    const sheet::SystemPlace& last = laid.systems.back();
    return static_cast<double>(last.firstBar + last.barCount);
}

// A tab read as music and laid out as pages, A4 as the command line would with the fonts;
// the median over `repeats` of each, in ns.
struct SheetTimes {
    double read = 0;
    double layout = 0;
    double bars = 0;
    double pages = 0;
};

SheetTimes timeSheet(const QString& path, const sheet::TextMeasure& measure, int repeats)
{
    std::vector<double> reads, layouts;
    SheetTimes times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        std::ifstream in(path.toStdString(), std::ios::binary);
        const files::LoadedTab tab = files::readTabFile(in, {}, {});
        const std::vector<std::string_view> lines(tab.lines.begin(), tab.lines.end());
        const score::Score read =
            score::readScore(lines, tab.state.stringCount, tab.state.tuning, tab.state.tempo);
        reads.push_back(static_cast<double>(timer.nsecsElapsed()));
        sheet::SheetInput input;
        input.tempo = read.tempo;
        input.tuning = tab.state.tuning;
        input.time = tab.state.time;
        timer.restart();
        const sheet::Sheet laid = sheet::layoutSheet(read, input, measure);
        layouts.push_back(static_cast<double>(timer.nsecsElapsed()));
        times.bars = sheetBars(laid);
        times.pages = static_cast<double>(laid.pages.size());
        if (read.columns.empty() || laid.pages.empty())
            qFatal("%s did not lay out", qPrintable(path));
    }
    times.read = bench::median(reads);
    times.layout = bench::median(layouts);
    return times;
}

// The big tab laid out with the estimated widths and with the fonts', the small one for the
// time per bar, and the pages the PDF tab comes to with the fonts, as its export has them.
int sheetLayout(const QString& big, const QString& small, const QString& pdfTab, int repeats)
{
    const sheet::EstimatedTextMeasure estimated;
    const ui::QtTextMeasure fonts;
    const SheetTimes bigEstimated = timeSheet(big, estimated, repeats);
    const SheetTimes bigFonts = timeSheet(big, fonts, repeats);
    const SheetTimes smallEstimated = timeSheet(small, estimated, repeats);
    bench::report("sheet_read", bigEstimated.read);
    bench::report("sheet_layout_est", bigEstimated.read + bigEstimated.layout);
    bench::report("sheet_layout_qt", bigFonts.read + bigFonts.layout);
    bench::report("sheet_bars", bigEstimated.bars);
    bench::report("sheet_pages", bigEstimated.pages);
    bench::report("sheet_bar_big", bigEstimated.layout / bigEstimated.bars);
    bench::report("sheet_bar_small", smallEstimated.layout / smallEstimated.bars);
    bench::report("sheet_small_bars", smallEstimated.bars);
    bench::report("pdf_pages", timeSheet(pdfTab, fonts, 1).pages);
    return 0;
}

// Notes a generated tab needs for 1,000 bars of 4/4: its seven durations come to 2.3125 bars.
constexpr long kThousandBarNotes = 3030;

// View > Sheet shown beside a 1,000-bar tab, and Return on the neck: the time from the key to
// the sheet laid out again and the part in sight painted, the layout run at once rather than on
// the next turn of the event loop. Beside it, the parts of the same update one by one: the
// note itself, the tab read as music, its whole layout, the layout from the changed system on
// as the view does it, and the paint.
int sheetView(const QString& dir, int presses)
{
    const QString path = dir + QStringLiteral("/sheet-view.tab");
    bench::writeGeneratedTab(path.toStdString(), kThousandBarNotes);
    Window w;
    w.throughDialog("LoadTab", "OpenFile", path);
    w.form.commands()[ui::Command::ViewSheet]->trigger();
    auto* view = child<ui::SheetView>(w.form, "SheetView");
    ui::LiveSheet& live = w.form.printing().liveSheet();
    QCoreApplication::processEvents();
    live.flush();
    if (!view->isVisible() || live.layouts() == 0)
        qFatal("View > Sheet showed no sheet");
    const int layoutsBefore = live.layouts();
    w.giveKeysToNeck();
    std::vector<double> totals, notes, paints;
    for (int i = 0; i < presses; ++i) {
        w.neck().setCursorCell(i * 5 % 12 + 1, i % 4 + 1);
        QElapsedTimer timer;
        timer.start();
        const double note = w.pressOnNeck(Qt::Key_Return, QStringLiteral("\r"));
        live.flush();
        const double laid = static_cast<double>(timer.nsecsElapsed());
        view->viewport()->repaint();
        totals.push_back(static_cast<double>(timer.nsecsElapsed()));
        notes.push_back(note);
        paints.push_back(totals.back() - laid);
        QCoreApplication::processEvents();
    }
    if (live.layouts() != layoutsBefore + presses)
        qFatal("%d layouts for %d notes", live.layouts() - layoutsBefore, presses);

    ui::SheetSource& source = w.form.printing().source();
    const ui::QtTextMeasure measure;
    std::vector<double> reads, layouts;
    double bars = 0;
    for (int i = 0; i < presses; ++i) {
        QElapsedTimer timer;
        timer.start();
        const score::Score read = source.score();
        reads.push_back(static_cast<double>(timer.nsecsElapsed()));
        timer.restart();
        const sheet::Sheet laid = sheet::layoutSheet(read, source.input(read), measure);
        layouts.push_back(static_cast<double>(timer.nsecsElapsed()));
        bars = sheetBars(laid);
    }
    // The view's own way: the last note laid out again over the sheet without it, for the whole
    // tab and for its first tenth, whose figures should not differ.
    const auto relayouts = [&source, &measure, presses](score::Score read, std::size_t columns) {
        read.columns.resize(columns);
        score::Score before = read;
        before.columns.pop_back();
        const sheet::SheetInput input = source.input(read);
        sheet::SheetLayout layout(measure);
        sheet::Sheet laid = layout.layout(before, input);
        std::vector<double> times;
        for (int i = 0; i < presses; ++i) {
            QElapsedTimer timer;
            timer.start();
            layout.relayout(laid, read, input, sheet::firstChangedColumn(before, read));
            times.push_back(static_cast<double>(timer.nsecsElapsed()));
            layout.relayout(laid, before, input, sheet::firstChangedColumn(read, before));
        }
        return bench::median(times);
    };
    const score::Score read = source.score();
    bench::report("sheet_view_relayout", relayouts(read, read.columns.size()));
    bench::report("sheet_view_relayout_tenth", relayouts(read, read.columns.size() / 10));
    bench::report("sheet_view_note", bench::median(totals));
    bench::report("sheet_view_note_worst", *std::max_element(totals.begin(), totals.end()));
    bench::report("sheet_view_action", bench::median(notes));
    bench::report("sheet_view_read", bench::median(reads));
    bench::report("sheet_view_layout", bench::median(layouts));
    bench::report("sheet_view_paint", bench::median(paints));
    bench::report("sheet_view_bars", bars);
    return 0;
}

using TimedApplication = bench::FrameClock<ui::GuardedApplication>;

// Return pressed on the neck of a 100,000-note tab, until the frame in which the tab area has
// painted the new note. The text shown before, the area's look and each press's edit go to
// DIR/latency.edits, for the floor to make the same edits.
int keyToFrame(TimedApplication& app, const QString& dir, int presses)
{
    const QString path = dir + QStringLiteral("/latency.tab");
    bench::writeGeneratedTab(path.toStdString(), 100000);
    Window w;
    w.throughDialog("LoadTab", "OpenFile", path);
    w.giveKeysToNeck();
    QPlainTextEdit& area = w.tab();
    bench::EditScript script;
    script.text = area.toPlainText();
    script.look(area);
    bench::EditWatch watch(*area.document());
    std::vector<bench::Frame> frames;
    for (int i = 0; i < bench::kWarmUpPresses + presses; ++i) {
        w.neck().setCursorCell(i * 5 % 12 + 1, i % 4 + 1);
        QCoreApplication::processEvents(); // the cursor's move is painted before the press
        const std::size_t before = w.steps();
        watch.start();
        const bench::Frame frame = app.time(
            *area.viewport(),
            [&w] {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier,
                                QStringLiteral("\r"));
                QApplication::sendEvent(&w.neck(), &press);
            },
            [&] { return watch.changed() ? bench::lineInView(area, watch.end()) : QRect(); });
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(&w.neck(), &release);
        if (w.steps() != before + 1 || !watch.changed())
            qFatal("Return wrote no note (key %d)", i);
        if (frame.shown < 0)
            qFatal("no frame showed the note of key %d", i);
        frames.push_back(frame);
        script.edits.push_back(watch.edit());
    }
    script.after = area.toPlainText();
    script.save(dir + QStringLiteral("/latency.edits"));
    bench::reportFrames("key_frame", frames);
    return 0;
}

enum class Keeping { Journal, History };

// The same notes written by the engine into a text area that is never shown: with the text's
// journal alone, and with the engine's history over it. Between them and the window, each
// layer's share of the history's memory.
int engineOnly(Keeping keeping)
{
    QPlainTextEdit area;
    const double heap = bench::heapBytes();
    document::QtTabText text(*area.document());
    engine::Staff staff(text);
    engine::History history(staff, text);
    for (int i = 0; i < kSteps; ++i) {
        const engine::Drop drop{i * 5 % 12 + 1, i % 4 + 1, 'q'};
        if (keeping == Keeping::History) {
            history.record("note", [&staff, &drop] { staff.Dropped(drop); });
        } else {
            const document::QtTabText::Action group(text);
            staff.Dropped(drop);
        }
    }
    const char* names[] = {"bare_journal_heap", "bare_history_heap"};
    bench::report(names[static_cast<int>(keeping)], bench::heapBytes() - heap);
    if (keeping == Keeping::Journal)
        bench::report("bare_journal_bytes", static_cast<double>(text.journalBytes()));
    return 0;
}

// A recovery copy of 5 MB in lines as long as the text area takes: the time from the start of the
// offer to the list shown, and from Restore to the tab painted in the window. The floors: the
// copy's bytes read, and the same tab put into a bare text area and painted.
int recovery(const QString& dir, int repeats)
{
    files::Recovered copy;
    copy.lines = {"| " + std::string(tabtext::kLongestLine - 2, 'q'),
                  "G ---",
                  "D ---",
                  "A ---",
                  "E ---",
                  "> "};
    copy.lines.resize(500, copy.lines.front());
    const std::string bytes = files::recoveryFileText(copy);
    std::vector<double> offers, restores, reads, puts;
    for (int i = 0; i < repeats; ++i) {
        const QString folder = QStringLiteral("%1/recovery-%2").arg(dir).arg(i);
        QDir().mkpath(folder);
        for (const char* name : {"/left.qrec", "/../floor.qrec"}) {
            std::ofstream(QFile::encodeName(folder + name).toStdString(), std::ios::binary)
                << bytes;
        }
        ui::testing::ScriptedPrompter prompter;
        instrument::testing::MemoryStore store;
        TBassForm form(&prompter, &store, nullptr, noSoundFont(), folder);
        form.show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        double offer = -1;
        ui::testing::whenVisible<ui::RecoveryDialog>(
            form, "RecoveryDialog", [&offer, &timer](ui::RecoveryDialog* d) {
                offer = static_cast<double>(timer.nsecsElapsed());
                timer.restart();
                child<QAbstractButton>(*d, "Restore")->click();
            });
        timer.start();
        if (!form.offerRecovery() || offer < 0)
            qFatal("the copy was not restored");
        child<QPlainTextEdit>(form, "Tab")->viewport()->repaint();
        QCoreApplication::processEvents();
        restores.push_back(static_cast<double>(timer.nsecsElapsed()));
        offers.push_back(offer);

        timer.restart();
        QFile file(folder + "/../floor.qrec");
        if (!file.open(QIODevice::ReadOnly) || file.readAll().size() != qsizetype(bytes.size()))
            qFatal("the copy cannot be read back");
        reads.push_back(static_cast<double>(timer.nsecsElapsed()));

        QPlainTextEdit area;
        area.setLineWrapMode(QPlainTextEdit::NoWrap);
        area.show();
        QCoreApplication::processEvents();
        timer.restart();
        std::string joined;
        for (const std::string& line : copy.lines)
            joined += line + '\n';
        area.setPlainText(QString::fromStdString(joined));
        area.viewport()->repaint();
        QCoreApplication::processEvents();
        puts.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    bench::report("recovery_offer_5mb", bench::median(offers));
    bench::report("recovery_offer_floor", bench::median(reads));
    bench::report("recovery_restore_5mb", bench::median(restores));
    bench::report("recovery_restore_floor", bench::median(puts));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Only the latency is timed by the application itself, which sees every event.
    if (argc == 4 && std::string_view(argv[1]) == "latency") {
        TimedApplication app(argc, argv);
        return keyToFrame(app, QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("gen") && args.size() == 4) {
        bench::writeGeneratedTab(args[2].toStdString(), args[3].toLong());
        return 0;
    }
    if (mode == QLatin1String("notes") && args.size() == 3)
        return notes(args[2]);
    if (mode == QLatin1String("edits") && args.size() == 4)
        return edits(args[2], args[3].toInt());
    if (mode == QLatin1String("playing") && args.size() == 3)
        return playing(args[2]);
    if (mode == QLatin1String("reaction") && args.size() == 3)
        return reaction(args[2]);
    if (mode == QLatin1String("files") && args.size() == 5)
        return loadAndSave(args[2], args[3], args[4].toInt());
    if (mode == QLatin1String("rss") && args.size() == 3)
        return rss(args[2]);
    if (mode == QLatin1String("history") && args.size() == 3)
        return typedHistory(args[2]);
    if (mode == QLatin1String("loaded") && args.size() == 4)
        return loadedTab(args[2], args[3]);
    if (mode == QLatin1String("score") && args.size() == 4)
        return scoreRead(args[2], args[3].toInt());
    if (mode == QLatin1String("fingering") && args.size() == 3)
        return fingering(args[2].toInt());
    if (mode == QLatin1String("retune") && args.size() == 4)
        return retuneTab(args[2], args[3].toInt());
    if (mode == QLatin1String("midi") && args.size() == 3)
        return midiImport(args[2].toInt());
    if (mode == QLatin1String("sheet") && args.size() == 6)
        return sheetLayout(args[2], args[3], args[4], args[5].toInt());
    if (mode == QLatin1String("sheetview") && args.size() == 4)
        return sheetView(args[2], args[3].toInt());
    if (mode == QLatin1String("guitarpro") && args.size() == 4)
        return guitarProRead(args[2], args[3].toInt());
    if (mode == QLatin1String("recovery") && args.size() == 4)
        return recovery(args[2], args[3].toInt());
    if (mode == QLatin1String("bare") && args.size() == 3) {
        const QStringList kinds = {"journal", "history"};
        if (kinds.contains(args[2]))
            return engineOnly(static_cast<Keeping>(kinds.indexOf(args[2])));
    }
    std::fprintf(stderr,
                 "usage: quorlin_bench gen FILE NOTES | notes DIR | files TAB DIR N | "
                 "edits DIR INSERTS | rss TAB | history SAVED_TAB | loaded TAB SMALL_TAB | "
                 "score TAB N | playing DIR | reaction DIR | retune TAB N | midi N | fingering N | "
                 "recovery DIR N | guitarpro GP5 N | sheet BIG_TAB SMALL_TAB PDF_TAB N | "
                 "sheetview DIR NOTES | bare "
                 "journal|history | latency DIR PRESSES\n");
    return 2;
}
