#include "ui/TextAreaTabText.h"

#include <QPlainTextEdit>
#include <QTest>

using quorlin::ui::TextAreaTabText;

class TextAreaTabTextTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreTheAreasLinesEachEndedByABreak()
    {
        QPlainTextEdit area;
        TextAreaTabText text(area);
        text.append("| ");
        text.append("G ");
        text.replace(1, "G --5");
        text.replace(2, "X"); // the empty block after the last break is no line
        QCOMPARE(text.line(2), std::string());
        QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\n"));
        const TextAreaTabText::Snapshot closed = text.snapshot();
        QCOMPARE(closed.lines(), (std::vector<std::string_view>{"| ", "G --5"}));

        // A line typed by hand without a break is still a line, and is finished before the next.
        area.moveCursor(QTextCursor::End);
        area.insertPlainText(QStringLiteral("by hand É"));
        QCOMPARE(text.count(), 3);
        const TextAreaTabText::Snapshot open = text.snapshot();
        QCOMPARE(open.lines(), (std::vector<std::string_view>{"| ", "G --5", "by hand É"}));
        text.append("> ");
        QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\nby hand É\n> \n"));

        text.eraseAll();
        QCOMPARE(text.count(), 0);
    }

    // Many lines at once land exactly as the same lines appended one by one.
    void appendingManyIsAppendingEach()
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
        }
    }

    // Extending a line in place ends as replacing it with the longer text would.
    void extendingALineIsReplacingItWithMore()
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
};

QTEST_MAIN(TextAreaTabTextTest)
#include "TextAreaTabTextTest.moc"
