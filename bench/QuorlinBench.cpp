// Times the real window: note drops on tabs of several sizes, loading and saving a big tab,
// and the memory a big tab costs. Prints "name value" lines; run.sh makes the table.

#include "bench/Measure.h"
#include "bench/TabGenerator.h"
#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FormTesting.h"
#include "ui/BassU1/TBassForm.h"
#include "ui/DurationDrag.h"
#include "ui/NeckWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <fcntl.h>
#include <fstream>
#include <memory>
#include <unistd.h>

using namespace quorlin;
using ui::TBassForm;
using ui::testing::child;

namespace {

constexpr int kDrops = 1000;

struct Window {
    ui::testing::ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    TBassForm form{&prompter, &store};

    Window()
    {
        form.show();
        QCoreApplication::processEvents();
    }
    QPlainTextEdit& tab() const { return *child<QPlainTextEdit>(form, "Tab"); }

    // Runs the button's whole action with the file dialog answered by `path`; the returned
    // time starts once the dialog has taken the name, so the dialog itself is left out.
    double throughDialog(const char* button, const char* dialog, const QString& path)
    {
        QElapsedTimer timer;
        ui::testing::whenVisible<QFileDialog>(form, dialog, [path, &timer](QFileDialog* d) {
            QObject::connect(
                d, &QFileDialog::fileSelected, d, [&timer] { timer.start(); },
                Qt::SingleShotConnection);
            d->selectFile(path);
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
        bench::report("notes_floor_" + name, floorMedian(w.tab().toPlainText()));
        bench::report("notes_area_" + name, areaFloorMedian(w.tab()));
    }
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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("gen") && args.size() == 4) {
        bench::writeGeneratedTab(args[2].toStdString(), args[3].toLong());
        return 0;
    }
    if (mode == QLatin1String("notes") && args.size() == 3)
        return notes(args[2]);
    if (mode == QLatin1String("files") && args.size() == 5)
        return loadAndSave(args[2], args[3], args[4].toInt());
    if (mode == QLatin1String("rss") && args.size() == 3)
        return rss(args[2]);
    std::fprintf(stderr, "usage: quorlin_bench gen FILE NOTES | notes DIR | files TAB DIR N | "
                         "rss TAB\n");
    return 2;
}
