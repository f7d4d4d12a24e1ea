// The song header dialog: what each way of closing it keeps, and the comment lines as shown.

#include "tests/ui/FormTesting.h"
#include "ui/Header/THeaderForm.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace quorlin;
using ui::THeaderForm;
using ui::testing::child;

namespace {

QPlainTextEdit* memo(const THeaderForm& form)
{
    return child<QPlainTextEdit>(form, "Comment");
}

} // namespace

class HeaderFormTest : public QObject {
    Q_OBJECT

private slots:
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ok") << "Ok";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("frame") << "frame";
    }

    // Only Ok takes what was typed, and binds the header to the memo from then on; the memo
    // keeps its text either way, the fields are refilled on the next show.
    void closing()
    {
        QFETCH(QString, how);
        const bool kept = how == "Ok";
        THeaderForm form;
        form.showAndRaise();
        child<QLineEdit>(form, "From")->setText("Bob");
        memo(form)->setPlainText("intro\nverse");
        if (how == "Ok")
            QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
        else if (how == "Escape")
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            form.close();
        QVERIFY(form.isHidden());
        const files::SongHeader typed{"Bob", "", "", {"intro", "verse"}};
        QCOMPARE(form.songHeader(), kept ? typed : files::SongHeader{});

        form.showAndRaise();
        QCOMPARE(child<QLineEdit>(form, "From")->text(), kept ? QStringLiteral("Bob") : QString());
        QCOMPARE(memo(form)->toPlainText(), QStringLiteral("intro\nverse"));
        memo(form)->setPlainText("outro");
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.commentLines(), kept ? QStringList{"outro"} : QStringList{});
    }

    void memoLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty memo") << QString() << QStringList();
        QTest::newRow("only a line break") << QStringLiteral("\n") << QStringList{""};
        QTest::newRow("final line break")
            << QStringLiteral("slap\npop\n") << QStringList{"slap", "pop"};
        QTest::newRow("inner empty line") << QStringLiteral("a\n\nb") << QStringList{"a", "", "b"};
        QTest::newRow("trailing blanks typed") << QStringLiteral("a  ") << QStringList{"a  "};
    }

    void memoLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        THeaderForm form;
        memo(form)->setPlainText(text);
        child<QPushButton>(form, "OkButton")->click();
        QCOMPARE(form.commentLines(), lines);
    }

    void longCommentComesBackAsTheShownLines()
    {
        // Words of many widths, so that a single pixel of width more or less moves some break.
        QStringList words;
        for (int i = 0; i < 200; ++i)
            words << QString(1 + i * 5 % 9, QChar(u'a' + i * 7 % 26));
        const QString text = words.join(' ');
        THeaderForm form;
        memo(form)->setPlainText(text);
        child<QPushButton>(form, "OkButton")->click(); // never shown
        const QStringList hidden = form.commentLines();
        QVERIFY(hidden.size() >= 10);
        QCOMPARE(hidden.join(' '), text);

        // Once shown, the memo's own layout breaks exactly where the lines do.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTextLayout* layout = memo(form)->document()->firstBlock().layout();
        QStringList shown;
        for (int i = 0; i < layout->lineCount(); ++i)
            shown << text.mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength())
                         .trimmed();
        QCOMPARE(shown, hidden);
    }
};

QTEST_MAIN(HeaderFormTest)
#include "HeaderFormTest.moc"
