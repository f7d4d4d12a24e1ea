// The least a Qt program can do for the same jobs: a text area that loads and holds a tab,
// makes the edits of the window's key presses, and a window of a 25 x 5 table and a text
// area for start-up.

#include "bench/EditScript.h"
#include "bench/FrameClock.h"
#include "bench/Measure.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <string_view>

namespace {

double loadOnce(QPlainTextEdit& edit, const QString& path)
{
    edit.clear();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    edit.setPlainText(QString::fromUtf8(file.readAll()));
    edit.viewport()->repaint();
    QCoreApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed());
}

// The window's presses as plain edits of a shown text area like its own, each in one edit
// block and brought into view, timed from the edit to the frame that shows it.
int keyToFrame(quorlin::bench::FrameClock<QApplication>& app, const QString& dir)
{
    using namespace quorlin::bench;
    const EditScript script = EditScript::load(dir + QStringLiteral("/latency.edits"));
    QPlainTextEdit area;
    script.shape(area);
    area.setPlainText(script.text);
    area.show();
    area.moveCursor(QTextCursor::End);
    QCoreApplication::processEvents();
    std::vector<Frame> frames;
    for (const Edit& edit : script.edits) {
        QCoreApplication::processEvents();
        const int end = edit.position + static_cast<int>(edit.text.size());
        frames.push_back(app.time(
            *area.viewport(),
            [&area, &edit, end] {
                QTextCursor cursor(area.document());
                cursor.beginEditBlock();
                cursor.setPosition(edit.position);
                cursor.setPosition(edit.position + edit.removed, QTextCursor::KeepAnchor);
                cursor.insertText(edit.text);
                cursor.endEditBlock();
                cursor.setPosition(end);
                area.setTextCursor(cursor);
                area.ensureCursorVisible();
            },
            [&area, end] { return lineInView(area, end); }));
        if (frames.back().shown < 0)
            qFatal("no frame showed edit %zu", frames.size());
    }
    if (area.toPlainText() != script.after)
        qFatal("the edits did not give the window's text");
    reportFrames("key_frame_floor", frames);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "latency") {
        quorlin::bench::FrameClock<QApplication> app(argc, argv);
        return keyToFrame(app, QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("start")) {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(new QTableWidget(5, 25, &window));
        layout->addWidget(new QPlainTextEdit(&window));
        window.show();
        return QApplication::exec();
    }
    QPlainTextEdit edit;
    edit.resize(800, 300);
    edit.show();
    QCoreApplication::processEvents();
    if (mode == QLatin1String("load") && args.size() == 4) {
        std::vector<double> times;
        for (int i = 0; i < args[3].toInt(); ++i)
            times.push_back(loadOnce(edit, args[2]));
        quorlin::bench::report("load_floor", quorlin::bench::median(times));
        return 0;
    }
    if (mode == QLatin1String("hold") && args.size() == 3) {
        loadOnce(edit, args[2]);
        quorlin::bench::report("rss_floor_kb", static_cast<double>(quorlin::bench::peakRssKb()));
        return 0;
    }
    std::fprintf(stderr, "usage: bench_floor start | load TAB N | hold TAB | latency DIR\n");
    return 2;
}
