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
    void rightClickRetunesAStringUntilTheFirstNote();
};

void NeckDropTest::dragOver_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QPoint>("current"); // (column, row), (-1, -1) for none

    QTest::newRow("fret-number row") << QPoint(100, 8) << false << QPoint(-1, -1);
    QTest::newRow("string names") << QPoint(10, 40) << true << QPoint(-1, -1);
    QTest::newRow("fret 7 of string 2") << cellCentre(7, 2) << true << QPoint(7, 2);
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

    QVERIFY(dragAndDrop(child(form, "PanelRest"), QPoint(5, 5), *duration('h')));
    QVERIFY(dragAndDrop(neck->viewport(), cellCentre(5, 3), *duration('q')));
    child<QRadioButton>(form, "RadioH")->setChecked(true);
    child<QAbstractButton>(form, "CheckHalf")->setChecked(true);
    QVERIFY(dragAndDrop(neck->viewport(), cellCentre(0, 1), *duration('e')));
    // Below the strings the drop lands but writes nothing.
    QVERIFY(dragAndDrop(neck->viewport(), QPoint(100, 110), *duration('w')));

    QCOMPARE(tabLines(form), (QStringList{"|   h  q e.", "G ------H-0", "D ---------",
                                          "A -----5---", "E ---------", "    r      "}));
    QCOMPARE(neck->cellText(0, 1), QStringLiteral("X"));
    QCOMPARE(neck->cellText(5, 3), QString());
    QVERIFY(!child(form, "MaxLineLen")->isEnabled());
    QVERIFY(!child(form, "MaxStringsSpin")->isEnabled());
    QVERIFY(child(form, "RadioChord")->isEnabled());

    child<QRadioButton>(form, "RadioS")->setChecked(true);
    dragAndDrop(neck->viewport(), cellCentre(7, 2), *duration('e'));
    child<QRadioButton>(form, "RadioChord")->setChecked(true);
    dragAndDrop(neck->viewport(), cellCentre(9, 1), *duration('e'));
    QCOMPARE(prompter.asked,
             (QStringList{"(error) You're too strong|Can't slide from one string to another",
                          "Error !|Can't make a chord with \rdifferent durations or\ror with "
                          "notes on the same string !"}));

    // A chord left checked by "Clear tab" would be stuck: Default takes over.
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
    // Steps the pop-up up (positive) or down, then presses "Ok", once it shows.
    const auto answer = [&](int steps) {
        QTimer::singleShot(0, &popup, [&, steps] {
            shown = child<QLabel>(popup, "Note")->text();
            placed = popup.pos();
            for (int i = 0; i < std::abs(steps); ++i)
                QTest::mouseClick(child(popup, steps > 0 ? "Up" : "Down"), Qt::LeftButton);
            QTest::mouseClick(child(popup, "ButtonOk"), Qt::LeftButton);
        });
    };

    answer(2);
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(0, 2));
    QCOMPARE(shown, QStringLiteral("D "));
    QCOMPARE(placed, form.mapToGlobal(cellCentre(0, 2)) + QPoint(16, 0));
    QCOMPARE(neck->cellText(0, 2), QStringLiteral("E "));
    QCOMPARE(form.state().tuning.at(2), std::string("E "));
    answer(-1);
    QTest::mouseClick(neck->viewport(), Qt::RightButton, {}, cellCentre(1, 4));
    QCOMPARE(neck->cellText(0, 4), QStringLiteral("D#"));

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

QTEST_MAIN(NeckDropTest)
#include "NeckDropTest.moc"
