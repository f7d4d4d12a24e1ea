// The least a Qt program can do for the same jobs: a text area that loads and holds a tab,
// and a window of a 25 x 5 table and a text area for start-up.

#include "bench/Measure.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

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

} // namespace

int main(int argc, char** argv)
{
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
    std::fprintf(stderr, "usage: bench_floor start | load TAB N | hold TAB\n");
    return 2;
}
