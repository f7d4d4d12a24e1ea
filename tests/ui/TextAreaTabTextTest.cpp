#include "ui/TextAreaTabText.h"

#include <QPlainTextEdit>
#include <QTest>

using quorlin::ui::TextAreaTabText;

class TextAreaTabTextTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreTheAreasLinesEachEndedByABreak();
    void appendingManyIsAppendingEach();
    void extendingALineIsReplacingItWithMore();
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
    area.insertPlainText(QStringLiteral("by hand É"));
    QCOMPARE(text.count(), 3);
    QCOMPARE(text.line(2), std::string("by hand É"));
    const TextAreaTabText::Snapshot snapshot = text.snapshot();
    QCOMPARE(snapshot.lines(), (std::vector<std::string_view>{"| ", "G --5", "by hand É"}));
    text.append("> ");
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\nby hand É\n> \n"));

    text.eraseAll();
    QCOMPARE(text.count(), 0);
    QVERIFY(area.toPlainText().isEmpty());
}

// Many lines at once land exactly as the same lines appended one by one.
void TextAreaTabTextTest::appendingManyIsAppendingEach()
{
    const std::vector<std::string> lines = {"| q", "G 5-", "", "D ½"};
    for (const QString& before : {QString(), QStringLiteral("x\n"), QStringLiteral("open")}) {
        QPlainTextEdit one, many;
        TextAreaTabText oneByOne(one), atOnce(many);
        one.setPlainText(before);
        many.setPlainText(before);
        for (const std::string& line : lines)
            oneByOne.append(line);
        atOnce.appendLines(lines);
        atOnce.appendLines({});
        QCOMPARE(many.toPlainText(), one.toPlainText());
        QCOMPARE(atOnce.count(), oneByOne.count());
        const TextAreaTabText::Snapshot snapshot = atOnce.snapshot();
        QCOMPARE(snapshot.lines().back(), std::string_view("D ½"));
    }
}

// Extending a line in place ends as replacing it with the longer text would.
void TextAreaTabTextTest::extendingALineIsReplacingItWithMore()
{
    const QString before = QStringLiteral("| \nG É-\nD \nopen");
    for (int index : {-1, 0, 1, 3, 4, 9}) {
        QPlainTextEdit extended, replaced;
        extended.setPlainText(before);
        replaced.setPlainText(before);
        TextAreaTabText byTail(extended), byLine(replaced);
        byTail.extend(index, "q½-");
        byLine.replace(index, byLine.line(index) + "q½-");
        QCOMPARE(extended.toPlainText(), replaced.toPlainText());
    }
}

QTEST_MAIN(TextAreaTabTextTest)
#include "TextAreaTabTextTest.moc"
