// The PDF and SVG writers told to stop, or interrupted by a signal: whichever page they are
// stopped after, even the last, nothing is left; left to run, they report every page once, in
// order.

#include "ui/sheet/SheetFiles.h"
#include "storage/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorlin;

class SheetFilesTest : public QObject {
    Q_OBJECT

private slots:
    void stoppedAtAnyPageWritesNothing_data()
    {
        QTest::addColumn<bool>("pdf");
        QTest::addColumn<int>("stopAfter"); // 0: never
        for (const bool pdf : {true, false}) {
            const char* kind = pdf ? "PDF" : "SVG";
            QTest::addRow("%s, never stopped", kind) << pdf << 0;
            QTest::addRow("%s, stopped after the first page", kind) << pdf << 1;
            QTest::addRow("%s, stopped after the last page", kind) << pdf << 3;
        }
    }
    void stoppedAtAnyPageWritesNothing()
    {
        QFETCH(bool, pdf);
        QFETCH(int, stopAfter);
        sheet::Sheet sheet;
        sheet.size = sheet::pageSize(sheet::Paper::A4);
        sheet.pages.resize(3);
        QTemporaryDir dir;
        const std::string target = QDir(dir.path()).filePath("out").toStdString();
        std::vector<std::size_t> told; // the pages drawn, then the whole
        const ui::SheetProgress progress = [&](std::size_t drawn, std::size_t pages) {
            told.push_back(drawn);
            told.push_back(pages);
            return static_cast<int>(drawn) != stopAfter;
        };
        std::string problem = "left from before";
        const bool written = pdf ? ui::writeSheetPdf(sheet, {}, target, problem, progress)
                                 : ui::writeSheetSvg(sheet, {}, target, problem, progress);
        QCOMPARE(written, stopAfter == 0);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        if (stopAfter == 0) {
            QCOMPARE(told, (std::vector<std::size_t>{1, 3, 2, 3, 3, 3}));
            QCOMPARE(files.size(), pdf ? 1 : 3);
            return;
        }
        QCOMPARE(told.size(), static_cast<std::size_t>(stopAfter) * 2);
        QCOMPARE(files, QStringList());
        QCOMPARE(problem, std::string());
    }

    // A page whose name leads to another page's file would take it over: nothing is written.
    void pagesThatAreOneFileWriteNothing()
    {
        sheet::Sheet sheet;
        sheet.size = sheet::pageSize(sheet::Paper::A4);
        sheet.pages.resize(3);
        QTemporaryDir dir;
        const QDir folder(dir.path());
        QFile first(folder.filePath("out-1.svg"));
        QVERIFY(first.open(QIODevice::WriteOnly) && first.write("kept") == 4);
        first.close();
        QVERIFY(QFile::link(folder.filePath("out-1.svg"), folder.filePath("out-3.svg")));
        std::string problem;
        QVERIFY(!ui::writeSheetSvg(sheet, {}, folder.filePath("out.svg").toStdString(), problem));
        QVERIFY2(problem.find("out-3.svg: it is ") != std::string::npos, problem.c_str());
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{"out-1.svg", "out-3.svg"}));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), QByteArray("kept"));
    }

    // As the command line runs them: Ctrl+C once some pages are drawn, of more pages than a
    // handful of files written at once.
    void interruptedAtAnyPageLeavesNothing_data()
    {
        QTest::addColumn<bool>("pdf");
        QTest::addColumn<int>("stopAfter");
        for (const bool pdf : {true, false}) {
            QTest::addRow("%s, after the first page", pdf ? "PDF" : "SVG") << pdf << 1;
            QTest::addRow("%s, after the last page", pdf ? "PDF" : "SVG") << pdf << 12;
        }
    }
    void interruptedAtAnyPageLeavesNothing()
    {
        QFETCH(bool, pdf);
        QFETCH(int, stopAfter);
        sheet::Sheet sheet;
        sheet.size = sheet::pageSize(sheet::Paper::A4);
        sheet.pages.resize(12);
        QTemporaryDir dir;
        const std::string target = QDir(dir.path()).filePath("out.svg").toStdString();
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            storage::removePartialFilesOnSignals();
            const ui::SheetProgress progress = [&](std::size_t drawn, std::size_t) {
                if (static_cast<int>(drawn) == stopAfter)
                    ::raise(SIGINT);
                return true;
            };
            std::string problem;
            if (pdf)
                ui::writeSheetPdf(sheet, {}, target, problem, progress);
            else
                ui::writeSheetSvg(sheet, {}, target, problem, progress);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 128 + SIGINT);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(SheetFilesTest)
#include "SheetFilesTest.moc"
