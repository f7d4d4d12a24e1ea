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
using Source = ui::THeaderForm::CommentSource;
using ui::THeaderForm;
using ui::testing::child;

namespace {

QStringList edits(const THeaderForm& form)
{
    return {child<QLineEdit>(form, "From")->text(), child<QLineEdit>(form, "Artist")->text(),
            child<QLineEdit>(form, "BassPerf")->text()};
}

void typeIn(const THeaderForm& form, const QString& from, const QString& memoText)
{
    child<QLineEdit>(form, "From")->setText(from);
    child<QLineEdit>(form, "Artist")->setText(from + "'s band");
    child<QPlainTextEdit>(form, "Comment")->setPlainText(memoText);
}

} // namespace

class HeaderFormTest : public QObject {
    Q_OBJECT

private slots:
    void frameCloseKeepsTheHeaderAndOkConfirmsIt();
    void loadedHeaderReplacesTheMemoOnTheNextShow();
    void memoLines_data();
    void memoLines();
    void longCommentComesBackAsTheShownLines();
};

void HeaderFormTest::frameCloseKeepsTheHeaderAndOkConfirmsIt()
{
    THeaderForm form;
    auto* memo = child<QPlainTextEdit>(form, "Comment");
    form.showAndRaise();
    QCOMPARE(edits(form), (QStringList{"", "", ""}));
    QVERIFY(memo->toPlainText().isEmpty());

    typeIn(form, "Ann", "riff\nfill");
    form.close();
    QCOMPARE(edits(form)[0], QStringLiteral("Ann")); // typed text stays until the next show
    QCOMPARE(form.songHeader(), files::SongHeader{});
    form.showAndRaise();
    QCOMPARE(edits(form), (QStringList{"", "", ""}));
    QCOMPARE(memo->toPlainText(), QStringLiteral("riff\nfill"));

    typeIn(form, "Bob", "intro\nverse");
    QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
    QVERIFY(form.isHidden());
    QCOMPARE(form.songHeader(), (files::SongHeader{"Bob", "Bob's band", "", {"intro", "verse"}}));
    form.showAndRaise();
    QCOMPARE(edits(form), (QStringList{"Bob", "Bob's band", ""}));
    QCOMPARE(memo->toPlainText(), QStringLiteral("intro\nverse"));

    // A second "Header" while open refills nothing; the bound memo is read as it is now.
    typeIn(form, "Cy", "outro");
    form.showAndRaise();
    QCOMPARE(edits(form)[0], QStringLiteral("Cy"));
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(form.songHeader(), (files::SongHeader{"Bob", "Bob's band", "", {"outro"}}));
}

void HeaderFormTest::loadedHeaderReplacesTheMemoOnTheNextShow()
{
    THeaderForm form;
    form.showAndRaise();
    typeIn(form, "Old", "typed");
    QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);

    const files::SongHeader loaded{"Dee", "Band", "Eve", {"from the file", "", "end"}};
    form.setLoadedHeader(loaded);
    QCOMPARE(form.songHeader(), loaded); // read before any show, the memo is not asked
    form.showAndRaise();
    QCOMPARE(edits(form), (QStringList{"Dee", "Band", "Eve"}));
    QCOMPARE(child<QPlainTextEdit>(form, "Comment")->toPlainText(),
             QStringLiteral("from the file\n\nend"));

    // Loaded while open: the header changes, the open dialog does not.
    form.setLoadedHeader({"Fay", "", "", {"new"}});
    QCOMPARE(edits(form)[0], QStringLiteral("Dee"));
    QCOMPARE(form.commentLines(), QStringList{"new"});
    QTest::mouseClick(child(form, "OkButton"), Qt::LeftButton);
    QCOMPARE(form.songHeader(),
             (files::SongHeader{"Dee", "Band", "Eve", {"from the file", "", "end"}}));
}

void HeaderFormTest::memoLines_data()
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

void HeaderFormTest::memoLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    THeaderForm form;
    child<QPlainTextEdit>(form, "Comment")->setPlainText(text);
    child<QPushButton>(form, "OkButton")->click();
    QCOMPARE(form.commentSource(), Source::Memo);
    QCOMPARE(form.commentLines(), lines);
}

void HeaderFormTest::longCommentComesBackAsTheShownLines()
{
    // Words of many widths, so that a single pixel of width more or less moves some break.
    QStringList words;
    for (int i = 0; i < 200; ++i)
        words << QString(1 + i * 5 % 9, QChar(u'a' + i * 7 % 26));
    const QString text = words.join(' ');
    THeaderForm form;
    auto* memo = child<QPlainTextEdit>(form, "Comment");
    memo->setPlainText(text);
    child<QPushButton>(form, "OkButton")->click(); // never shown
    const QStringList hidden = form.commentLines();
    QVERIFY(hidden.size() >= 10);
    QCOMPARE(hidden.join(' '), text);

    // Once shown, the memo's own layout breaks exactly where the lines do.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTextLayout* layout = memo->document()->firstBlock().layout();
    QStringList shown;
    for (int i = 0; i < layout->lineCount(); ++i)
        shown << text.mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength()).trimmed();
    QCOMPARE(shown, hidden);
}

QTEST_MAIN(HeaderFormTest)
#include "HeaderFormTest.moc"
