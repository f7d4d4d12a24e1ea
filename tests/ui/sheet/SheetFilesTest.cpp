// The PDF and SVG writers told to stop: whichever page they are stopped after, even the last,
// nothing is written; left to run, they report every page once, in order.

#include "ui/sheet/SheetFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_MAIN(SheetFilesTest)
#include "SheetFilesTest.moc"
