// Durations dragged onto the neck, the Rest panel and the text area of the real window.

#include "tests/ui/FormTesting.h"
#include "ui/BassU1/TBassForm.h"
#include "ui/DurationDrag.h"
#include "ui/NeckWidget.h"
#include "ui/Tunning/TTunningF.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace quorlin;
using ui::TBassForm;
using ui::testing::child;
using ui::testing::dragAndDrop;
using ui::testing::ScriptedPrompter;

namespace {

QPoint cellCentre(int column, int row)
{
    return {column * 21 + 10, row * 17 + 8};
}

std::unique_ptr<QMimeData> duration(char symbol)
{
    return std::unique_ptr<QMimeData>(ui::durationMimeData(symbol));
}

QStringList tabLines(const TBassForm& form)
{
    QStringList lines = child<QPlainTextEdit>(form, "Tab")->toPlainText().split(QLatin1Char('\n'));
    lines.removeLast(); // every line ends with a break
    return lines;
}

} // namespace

class NeckDropTest : public QObject {
    Q_OBJECT

private slots:
    void dragOver_data();
    void dragOver();
    void dropsWriteColumnsAndLockTheSetUp();
    void foreignDragsAreRefusedEverywhere();
    void aRefusedSlideShowsItsBox();
    void restRepAndBack();
    void rightClickRetunesAStringUntilTheFirstNote();
    void tuningPopupStepsAndKeepsItsNote();
};

void NeckDropTest::dragOver_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QPoint>("current"); // (column, row), (-1, -1) for none

    QTest::newRow("fret-number row") << QPoint(100, 8) << false << QPoint(-1, -1);
    QTest::newRow("bottom pixel of the number row") << QPoint(100, 16) << false << QPoint(-1, -1);
    QTest::newRow("string names") << QPoint(10, 40) << true << QPoint(-1, -1);
    QTest::newRow("fret 7 of string 2") << cellCentre(7, 2) << true << QPoint(7, 2);
    QTest::newRow("fret 24 of string 4") << cellCentre(24, 4) << true << QPoint(24, 4);
    QTest::newRow("below the last string") << QPoint(100, 110) << true << QPoint(-1, -1);
}

void NeckDropTest::dragOver()
{
    QFETCH(QPoint, point);
    QFETCH(bool, accepted);
    QFETCH(QPoint, current);

    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* neck = child<ui::NeckWidget>(form, "BassNeck");
    const auto data = duration('q');
    QDragEnterEvent enter(QPoint(100, 30), Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(neck->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    neck->setCurrentCell(-1, -1);

    QDragMoveEvent move(point, Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(neck->viewport(), &move);
    QCOMPARE(move.isAccepted(), accepted);
    QCOMPARE(QPoint(neck->currentColumn(), neck->currentRow()), current);
}

void NeckDropTest::dropsWriteColumnsAndLockTheSetUp()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* neck = child<ui::NeckWidget>(form, "BassNeck");

    QVERIFY(dragAndDrop(neck->viewport(), cellCentre(5, 3), *duration('q')));
    child<QRadioButton>(form, "RadioH")->setChecked(true);
    child<QAbstractButton>(form, "CheckHalf")->setChecked(true);
    QVERIFY(dragAndDrop(neck->viewport(), cellCentre(0, 1), *duration('e')));
    // Off the strings: the drop lands but writes nothing.
    QVERIFY(dragAndDrop(neck->viewport(), QPoint(100, 110), *duration('w')));

    QCOMPARE(tabLines(form),
             (QStringList{"|   q e.", "G ---H-0", "D ------", "A --5---", "E ------", ">       "}));
    QCOMPARE(neck->cellText(0, 1), QStringLiteral("X"));
    QCOMPARE(neck->cellText(5, 3), QString());
    QVERIFY(!child(form, "MaxLineLen")->isEnabled());
    QVERIFY(!child(form, "MaxStringsSpin")->isEnabled());
    QVERIFY(child(form, "RadioChord")->isEnabled());
    QVERIFY(prompter.asked.isEmpty());

    child<QRadioButton>(form, "RadioChord")->setChecked(true);
    QVERIFY(dragAndDrop(neck->viewport(), cellCentre(9, 1), *duration('e')));
    QCOMPARE(prompter.asked, QStringList{"Error !|Can't make a chord with \rdifferent durations "
                                         "or\ror with notes on the same string !"});

    prompter.answers << true;
    QTest::mouseClick(child(form, "ButtonClear"), Qt::LeftButton);
    QVERIFY(!child(form, "RadioChord")->isEnabled());
    QVERIFY(child<QRadioButton>(form, "RadioDefault")->isChecked());
    QVERIFY(child(form, "MaxStringsSpin")->isEnabled());
}

void NeckDropTest::foreignDragsAreRefusedEverywhere()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    QMimeData text;
    text.setText(QStringLiteral("q"));
    QMimeData unknown;
    unknown.setData(ui::kDurationMimeType, "x");

    for (const QMimeData* data : {&text, &unknown}) {
        QVERIFY(!dragAndDrop(child<ui::NeckWidget>(form, "BassNeck")->viewport(), cellCentre(3, 1),
                             *data));
        QVERIFY(!dragAndDrop(child(form, "PanelRest"), QPoint(5, 5), *data));
    }
    // The text area takes text, but never a duration.
    QVERIFY(
        !dragAndDrop(child<QPlainTextEdit>(form, "Tab")->viewport(), QPoint(5, 5), *duration('q')));
    QVERIFY(tabLines(form).isEmpty());
    QVERIFY(form.state().setupUnlocked);
}

void NeckDropTest::aRefusedSlideShowsItsBox()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* viewport = child<ui::NeckWidget>(form, "BassNeck")->viewport();
    dragAndDrop(viewport, cellCentre(5, 2), *duration('q'));
    child<QRadioButton>(form, "RadioS")->setChecked(true);
    const QStringList before = tabLines(form);

    dragAndDrop(viewport, cellCentre(7, 3), *duration('q'));

    QCOMPARE(prompter.asked,
             QStringList{"(error) You're too strong|Can't slide from one string to another"});
    QCOMPARE(tabLines(form), before);
}

void NeckDropTest::restRepAndBack()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    QVERIFY(dragAndDrop(child(form, "PanelRest"), QPoint(5, 5), *duration('h')));
    QCOMPARE(tabLines(form), (QStringList{"|   h", "G ---", "D ---", "A ---", "E ---", "    r"}));
    QVERIFY2(!child(form, "MaxStringsSpin")->isEnabled(), "a block fixes the strings");

    dragAndDrop(child<ui::NeckWidget>(form, "BassNeck")->viewport(), cellCentre(5, 2),
                *duration('q'));
    QTest::mouseClick(child(form, "ButtonRep"), Qt::LeftButton);
    QCOMPARE(tabLines(form)[2], QStringLiteral("D -----5--5"));
    QTest::mouseClick(child(form, "ButtonBack"), Qt::LeftButton);
    QTest::mouseClick(child(form, "ButtonBack"), Qt::LeftButton);
    QCOMPARE(tabLines(form)[0], QStringLiteral("|   h"));

    // One click is one undo step.
    child<QPlainTextEdit>(form, "Tab")->undo();
    QCOMPARE(tabLines(form)[2], QStringLiteral("D -----5"));
}

void NeckDropTest::rightClickRetunesAStringUntilTheFirstNote()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    ui::TTunningF popup;
    form.setTuningPopup(&popup);
    form.show();
    auto* neck = child<ui::NeckWidget>(form, "BassNeck");

    QString shown;
    QPoint placed;
    const auto answer = [&](int ups) {
        QTimer::singleShot(0, &popup, [&, ups] {
            shown = child<QLabel>(popup, "Note")->text();
            placed = popup.pos();
            for (int i = 0; i < ups; ++i)
                QTest::mouseClick(child(popup, "Up"), Qt::LeftButton);
            QTest::mouseClick(child(popup, "ButtonOk"), Qt::LeftButton);
        });
    };

    answer(2);
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(0, 2));
    QCOMPARE(shown, QStringLiteral("D "));
    QCOMPARE(placed, form.mapToGlobal(cellCentre(0, 2)) + QPoint(16, 0));
    QCOMPARE(neck->cellText(0, 2), QStringLiteral("E "));
    QCOMPARE(form.state().tuning.at(2), std::string("E "));

    // Columns past the first fret, the number row and the left button open nothing.
    shown.clear();
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(2, 2));
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(0, 0));
    QTest::mouseClick(neck->viewport(), Qt::LeftButton, {}, cellCentre(0, 3));
    QCOMPARE(shown, QString());

    dragAndDrop(neck->viewport(), cellCentre(5, 2), *duration('q'));
    answer(1);
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(1, 3));
    QCOMPARE(shown, QString());
    QCOMPARE(neck->cellText(0, 3), QStringLiteral("A "));
    popup.hide();
}

void NeckDropTest::tuningPopupStepsAndKeepsItsNote()
{
    ui::TTunningF popup;
    popup.setpNote(QStringLiteral("G "));
    QTimer::singleShot(0, &popup, [&] {
        QCOMPARE(child<QLabel>(popup, "Note")->text(), QStringLiteral("G "));
        QTest::mouseClick(child(popup, "Up"), Qt::LeftButton);
        QTest::mouseClick(child(popup, "Up"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(popup, "Note")->text(), QStringLiteral("A "));
        QTest::mouseClick(child(popup, "Down"), Qt::LeftButton);
        QTest::mouseClick(child(popup, "ButtonOk"), Qt::LeftButton);
    });
    QCOMPARE(popup.exec(), 1);
    QCOMPARE(popup.pNote(), QStringLiteral("G#"));
    QVERIFY(!popup.isVisible());
}

QTEST_MAIN(NeckDropTest)
#include "NeckDropTest.moc"
