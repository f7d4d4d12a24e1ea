#include "ui/TextAreaTabText.h"

#include <QPlainTextEdit>
#include <QTest>

using quorlin::ui::TextAreaTabText;

class TextAreaTabTextTest : public QObject {
    Q_OBJECT

private slots:
    void linesMapToTheAreasLines();
    void linesOutsideReadEmptyAndIgnoreWrites();
    void aLineTypedWithoutBreakIsStillALine();
    void oneActionIsOneUndoStep();
};

void TextAreaTabTextTest::linesMapToTheAreasLines()
{
    QPlainTextEdit area;
    TextAreaTabText text(area);
    QCOMPARE(text.count(), 0);

    text.append("| ");
    text.append("G ");
    text.append("> ");
    QCOMPARE(text.count(), 3);
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG \n> \n"));

    text.replace(1, "G --5");
    QCOMPARE(text.line(1), std::string("G --5"));
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG --5\n> \n"));

    text.eraseAll();
    QCOMPARE(text.count(), 0);
    QCOMPARE(area.toPlainText(), QString());
}

void TextAreaTabTextTest::linesOutsideReadEmptyAndIgnoreWrites()
{
    QPlainTextEdit area;
    area.setPlainText(QStringLiteral("| \nG \n"));
    TextAreaTabText text(area);
    for (int index : {-1, 2, 50}) {
        QCOMPARE(text.line(index), std::string());
        text.replace(index, "X");
    }
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG \n"));
}

void TextAreaTabTextTest::aLineTypedWithoutBreakIsStillALine()
{
    QPlainTextEdit area;
    area.setPlainText(QStringLiteral("| \nnotes by hand"));
    TextAreaTabText text(area);
    QCOMPARE(text.count(), 2);
    QCOMPARE(text.line(1), std::string("notes by hand"));

    text.append("> ");
    QCOMPARE(text.count(), 3);
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nnotes by hand\n> \n"));
}

void TextAreaTabTextTest::oneActionIsOneUndoStep()
{
    QPlainTextEdit area;
    TextAreaTabText text(area);
    {
        TextAreaTabText::Action action(text);
        text.append("| ");
        text.append("G ");
    }
    {
        TextAreaTabText::Action action(text);
        text.replace(0, "|   q");
        text.replace(1, "G --3");
    }
    area.undo();
    QCOMPARE(area.toPlainText(), QStringLiteral("| \nG \n"));
    area.undo();
    QCOMPARE(area.toPlainText(), QString());
}

QTEST_MAIN(TextAreaTabTextTest)
#include "TextAreaTabTextTest.moc"
