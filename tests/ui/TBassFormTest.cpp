#include "ui/BassU1/TBassForm.h"
#include "tests/ui/FormTesting.h"
#include "ui/HelpViewer.h"
#include "ui/NeckWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace quorlin;
using ui::TBassForm;
using ui::testing::child;
using ui::testing::ScriptedPrompter;

namespace {

const QString kBlock = QStringLiteral("| \nG \nD \nA \nE \n> \n");

} // namespace

class TBassFormTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithItsCaptionAndDefaults();
    void newLineFillsTheBlockAsOneUndoStep();
    void clear_data();
    void clear();
    void widthField_data();
    void widthField();
    void helpWithoutItsFileChangesNothing();
};

void TBassFormTest::startsWithItsCaptionAndDefaults()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QStringLiteral("Quorlin v1.0"));
    QCOMPARE(form.pos(), QPoint(250, 277));
    const engine::EditingState& s = form.state();
    QCOMPARE(std::tuple(s.tabWidth, s.blockStart, s.stringCount.value()), std::tuple(80, 0, 4));
    QVERIFY(s.setupUnlocked);
    QVERIFY(child<QRadioButton>(form, "RadioDefault")->isChecked());
    QVERIFY(!child(form, "RadioChord")->isEnabled());
    QVERIFY(child(form, "MaxLineLen")->isEnabled() && child(form, "MaxStringsSpin")->isEnabled());
    QCOMPARE(child<QSpinBox>(form, "MaxLineLen")->value(), 80);
    QVERIFY(child<QPlainTextEdit>(form, "Tab")->toPlainText().isEmpty());
    QVERIFY(child<QPlainTextEdit>(form, "Tab")->font().fixedPitch());

    auto* neck = child<ui::NeckWidget>(form, "BassNeck");
    QCOMPARE(neck->rowCount(), 5);
    QCOMPARE(neck->cellText(0, 4), QStringLiteral("E "));
    QCOMPARE(neck->cellText(24, 0), QStringLiteral("24"));
    // The drag bounds rely on 20 x 16 pixel cells with their grid lines.
    QCOMPARE(QPoint(neck->columnViewportPosition(24), neck->rowViewportPosition(4)),
             QPoint(24 * 21, 4 * 17));
    for (const char* glyph : {"Image1", "Image2", "Image3", "Image4", "Image5"})
        QCOMPARE(child<QLabel>(form, glyph)->pixmap().size(), QSize(12, 12));
    QVERIFY(prompter.asked.isEmpty());
}

void TBassFormTest::newLineFillsTheBlockAsOneUndoStep()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* tab = child<QPlainTextEdit>(form, "Tab");
    tab->setPlainText(kBlock);

    QTest::mouseClick(child(form, "AbortLine"), Qt::LeftButton);

    const QStringList lines = tab->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[1], QStringLiteral("G ") + QString(79, QLatin1Char('-')));
    QCOMPARE(lines[5], QStringLiteral("> ") + QString(79, QLatin1Char(' ')));
    tab->undo();
    QCOMPARE(tab->toPlainText(), kBlock);
}

void TBassFormTest::clear_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TBassFormTest::clear()
{
    QFETCH(bool, yes);
    ScriptedPrompter prompter;
    prompter.answers << yes;
    TBassForm form(&prompter);
    auto* tab = child<QPlainTextEdit>(form, "Tab");
    auto* width = child<QSpinBox>(form, "MaxLineLen");
    width->setValue(60);
    tab->setPlainText(kBlock);

    QTest::mouseClick(child(form, "ButtonClear"), Qt::LeftButton);

    QCOMPARE(prompter.asked,
             QStringList{"Warning !|Are you sure you want to erase the current tab ?"});
    QCOMPARE(tab->toPlainText(), yes ? QString() : kBlock);
    QCOMPARE(form.state().tabWidth, yes ? 80 : 60);
    QCOMPARE(width->value(), 60);
    QTest::keyClick(width, Qt::Key_Up);
    QCOMPARE(form.state().tabWidth, 61);
}

void TBassFormTest::widthField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("width");
    QTest::newRow("number") << "61" << 61;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("minus sign alone") << "-" << 0;
    QTest::newRow("emptied") << "" << 0;
    QTest::newRow("letters refused") << "abc" << 0;
    QTest::newRow("past the widest refused") << "99999" << 999;
}

void TBassFormTest::widthField()
{
    QFETCH(QString, typed);
    QFETCH(int, width);
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* field = child<QSpinBox>(form, "MaxLineLen")->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    QCOMPARE(form.state().tabWidth, width);
}

void TBassFormTest::helpWithoutItsFileChangesNothing()
{
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    form.setHelpFile(dir.filePath(QStringLiteral("Quorlin.hlp")));
    auto* tab = child<QPlainTextEdit>(form, "Tab");
    tab->setPlainText(kBlock);

    QTest::mouseClick(child(form, "Help"), Qt::LeftButton);

    auto* viewer = form.findChild<ui::HelpViewer*>();
    QVERIFY(viewer != nullptr && viewer->isVisible());
    QVERIFY(child<QTextBrowser>(*viewer, "Page")->toPlainText().contains("Quorlin.hlp"));
    QCOMPARE(tab->toPlainText(), kBlock);
    QCOMPARE(form.state().tabWidth, 80);
}

QTEST_MAIN(TBassFormTest)
#include "TBassFormTest.moc"
