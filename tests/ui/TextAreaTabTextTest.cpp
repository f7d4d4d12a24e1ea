#include "ui/TextAreaTabText.h"

#include <QPlainTextEdit>
#include <QTest>

using quorlin::ui::TextAreaTabText;

class TextAreaTabTextTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreTheAreasLinesEachEndedByABreak();
};

void TextAreaTabTextTest::linesAreTheAreasLinesEachEndedByABreak()
{
    QPlainTextEdit area;
    TextAreaTabText text(area);
    QCOMPARE(text.count(), 0);
    text.append("| ");
    text.append("G ");
    text.replace(1, "G --5");
    for (int outside : {-1, 2, 50}) {
        QCOMPARE(text.line(outside), std::string());
        text.replace(outside, "X");
    }
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\n"));
    QCOMPARE(text.count(), 2);

    // A line typed by hand without a break is still a line, and is finished before the next.
    area.moveCursor(QTextCursor::End);
    area.insertPlainText(QStringLiteral("by hand"));
    QCOMPARE(text.count(), 3);
    QCOMPARE(text.line(2), std::string("by hand"));
    QCOMPARE(text.lines(), (std::vector<std::string>{"| ", "G --5", "by hand"}));
    text.append("> ");
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\nby hand\n> \n"));

    text.eraseAll();
    QCOMPARE(text.count(), 0);
    QVERIFY(area.toPlainText().isEmpty());
}

QTEST_MAIN(TextAreaTabTextTest)
#include "TextAreaTabTextTest.moc"
