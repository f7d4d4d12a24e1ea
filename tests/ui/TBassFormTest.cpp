#include "ui/BassU1/TBassForm.h"
#include "tests/ui/FormTesting.h"
#include "ui/HelpViewer.h"
#include "ui/NeckWidget.h"
#include "ui/Prompter.h"

#include <QAbstractButton>
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
    void controls_data();
    void controls();
    void theNoteGlyphsAreLoaded();
    void focusFollowsTheDesignedOrder();
    void theNeckIsLabelledOnAGridOfFixedPitch();
    void newLineFillsTheBlockAsOneUndoStep();
    void clear_data();
    void clear();
    void widthField_data();
    void widthField();
    void stringCountRelabelsTheNeck();
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
    QCOMPARE(s.tabWidth, 80);
    QCOMPARE(s.blockStart, 0);
    QCOMPARE(s.stringCount.value(), 4);
    QVERIFY(s.tuning == instrument::Tuning());
    QVERIFY(s.setupUnlocked);
    QVERIFY(child<QRadioButton>(form, "RadioDefault")->isChecked());
    QVERIFY(!child(form, "RadioChord")->isEnabled());
    QVERIFY(!child<QAbstractButton>(form, "CheckHalf")->isChecked());
    QVERIFY(!child<QAbstractButton>(form, "CheckStrings")->isChecked());
    QCOMPARE(child<QSpinBox>(form, "MaxLineLen")->value(), 80);
    QVERIFY(child(form, "MaxLineLen")->isEnabled());
    QCOMPARE(child<QSpinBox>(form, "MaxStringsSpin")->value(), 4);
    QVERIFY(child(form, "MaxStringsSpin")->isEnabled());
    QVERIFY(child<QPlainTextEdit>(form, "Tab")->toPlainText().isEmpty());
    QVERIFY(child<QPlainTextEdit>(form, "Tab")->font().fixedPitch());
    QVERIFY(prompter.asked.isEmpty());
}

void TBassFormTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QRect>("geometry");

    const auto row = [](const char* name, const char* caption, const char* hint, QRect r) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption)
                            << QString::fromLatin1(hint) << r;
    };
    row("BassNeck", "", "Drop your notes in this grid", {8, 8, 537, 129});
    row("PanelRest", "Rest", "Drop a duration on this for a rest", {560, 64, 33, 17});
    row("RadioH", "HammerOn", "Hammer on", {560, 136, 73, 17});
    row("RadioP", "PullOff", "Pull off", {560, 150, 73, 17});
    row("RadioS", "Slide", "Slided note", {560, 164, 73, 17});
    row("RadioSlap", "Slap", "Slapped note", {560, 178, 73, 17});
    row("RadioPop", "Pop", "Popped note", {560, 192, 73, 17});
    row("RadioChord", "Chord", "Allow to make chord", {560, 206, 73, 17});
    row("RadioTriplet", "Triplet", "The note will be a triplet", {560, 221, 73, 17});
    row("RadioDefault", "Default", "Regular note", {560, 235, 73, 17});
    row("Bevel6", "", "Representation of the neck", {8, 144, 537, 25});
    row("AbortLine", "New line", "Fill the lines to the end and jump to the next one",
        {8, 176, 113, 25});
    row("ButtonSave", "Save", "Save the current tab", {128, 176, 113, 25});
    row("Button1", "To clipboard", "Copy the tab to the clipboard", {248, 176, 113, 25});
    row("ButtonClear", "Clear tab", "Clear the tab", {8, 200, 113, 25});
    row("LoadTab", "Load", "Load a tab", {128, 200, 113, 25});
    row("Header", "Header", "Edit the header of the tab", {248, 200, 113, 25});
    row("ButtonExit", "Exit", "Do ya really need an hint on this ???", {248, 224, 113, 25});
    row("Panel1", "", "Well...", {376, 176, 161, 65});
    row("Label2", "Quorlin v1.0.0", "", {24, 5, 110, 18});
    row("Label1", "Tab width:", "", {8, 232, 70, 15});
    row("MaxLineLen", "80", "Width  of the tab", {80, 232, 41, 24});
    row("CheckStrings", "Strings:", "If checked the string's tunning will be saved",
        {128, 232, 73, 17});
    row("MaxStringsSpin", "4", "", {208, 232, 33, 24});
    row("Help", "Help", "", {416, 245, 89, 17});
    row("Tab", "", "Where the tab is displayed", {8, 264, 633, 137});
    row("ButtonS", "s", "Drop a sixteenth of a note", {8, 8, 25, 17});
    row("Buttonh", "h", "Drop a half of a note", {48, 8, 25, 17});
    row("ButtonE", "e", "drop a eighth of a note", {8, 32, 25, 17});
    row("ButtonQ", "q", "Drop a quarter of note", {48, 32, 25, 17});
    row("ButtonW", "w", "Drop  a whole note", {48, 56, 25, 17});
    row("ButtonRep", "Rep", "Repeat the last sequence", {8, 80, 33, 17});
    row("ButtonBack", "<-", "Delete the Last note of the current line", {48, 80, 33, 17});
    row("CheckHalf", "dot", "The duration and 1/2", {8, 100, 41, 15});
    row("Image1", "", "", {32, 8, 12, 12});
    row("Image5", "", "", {72, 56, 12, 12});
    row("Shape5", "", "", {256, 144, 20, 8});
    row("Shape6", "", "", {256, 160, 20, 8});
    row("Shape9", "", "", {408, 152, 20, 10});
}

void TBassFormTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QRect, geometry);

    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* w = form.findChild<QWidget*>(name);
    QVERIFY2(w != nullptr, qPrintable(name));
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->toolTip(), hint);
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        QCOMPARE(spin->text(), caption);
    else if (w->property("text").isValid())
        QCOMPARE(w->property("text").toString(), caption);
}

void TBassFormTest::theNoteGlyphsAreLoaded()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    for (const char* name : {"Image1", "Image2", "Image3", "Image4", "Image5"}) {
        const QPixmap glyph = child<QLabel>(form, name)->pixmap();
        QVERIFY2(!glyph.isNull(), name);
        QCOMPARE(glyph.size(), QSize(12, 12));
    }
}

void TBassFormTest::focusFollowsTheDesignedOrder()
{
    const QStringList designed{
        "BassNeck",       "ButtonE",    "ButtonQ",      "ButtonW",      "CheckHalf",   "ButtonRep",
        "ButtonBack",     "ButtonS",    "Buttonh",      "Tab",          "RadioH",      "RadioP",
        "RadioS",         "RadioSlap",  "RadioPop",     "RadioDefault", "AbortLine",   "ButtonSave",
        "ButtonClear",    "MaxLineLen", "Button1",      "LoadTab",      "Header",      "ButtonExit",
        "MaxStringsSpin", "Help",       "CheckStrings", "RadioChord",   "RadioTriplet"};
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    QStringList seen;
    QWidget* start = child(form, "BassNeck");
    for (QWidget* w = start; seen.size() < designed.size(); w = w->nextInFocusChain()) {
        if (designed.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
        if (w->nextInFocusChain() == start)
            break;
    }
    QCOMPARE(seen, designed);
}

void TBassFormTest::theNeckIsLabelledOnAGridOfFixedPitch()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* neck = child<ui::NeckWidget>(form, "BassNeck");
    QCOMPARE(neck->columnCount(), 25);
    QCOMPARE(neck->rowCount(), 5);
    QCOMPARE(neck->cellText(0, 0), QString());
    const QStringList names{"G ", "D ", "A ", "E "};
    for (int r = 1; r <= 4; ++r)
        QCOMPARE(neck->cellText(0, r), names[r - 1]);
    for (int c = 1; c <= 24; ++c) {
        QCOMPARE(neck->cellText(c, 0), QString::number(c));
        QCOMPARE(neck->columnViewportPosition(c), 21 * c);
    }
    QCOMPARE(neck->rowViewportPosition(4), 4 * 17);
    QVERIFY(neck->font().fixedPitch());
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
    for (int i = 0; i < 6; ++i)
        QCOMPARE(lines[i].size(), 81);
    QCOMPARE(lines[1], QStringLiteral("G ") + QString(79, QLatin1Char('-')));
    QCOMPARE(lines[5].trimmed(), QStringLiteral(">"));

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
    child<QSpinBox>(form, "MaxStringsSpin")->setValue(5);
    tab->setPlainText(kBlock);

    QTest::mouseClick(child(form, "ButtonClear"), Qt::LeftButton);

    QCOMPARE(prompter.asked,
             QStringList{"Warning !|Are you sure you want to erase the current tab ?"});
    QCOMPARE(tab->toPlainText(), yes ? QString() : kBlock);
    QCOMPARE(form.state().tabWidth, yes ? 80 : 60);
    QCOMPARE(width->value(), 60);
    QVERIFY(width->isEnabled());
    QCOMPARE(form.state().stringCount.value(), 5);

    QTest::keyClick(width, Qt::Key_Up);
    QCOMPARE(form.state().tabWidth, 61);
}

void TBassFormTest::widthField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("width");
    QTest::newRow("number") << "61" << 61;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("minus sign alone") << "-" << 0;
    QTest::newRow("emptied") << "" << 0;
    QTest::newRow("letters refused") << "abc" << 0;
    QTest::newRow("beyond the widest") << "99999" << 999;
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
    QVERIFY(form.state().tabWidth <= engine::kMaxTabWidth);
}

void TBassFormTest::stringCountRelabelsTheNeck()
{
    ScriptedPrompter prompter;
    TBassForm form(&prompter);
    auto* spin = child<QSpinBox>(form, "MaxStringsSpin");
    auto* neck = child<ui::NeckWidget>(form, "BassNeck");
    const auto column = [&] {
        QStringList names;
        for (int r = 1; r < neck->rowCount(); ++r)
            names << neck->cellText(0, r);
        return names;
    };
    spin->setValue(5);
    QCOMPARE(column(), (QStringList{"G ", "D ", "A ", "E ", "B "}));
    spin->setValue(6);
    QCOMPARE(column(), (QStringList{"C ", "G ", "D ", "A ", "E ", "B "}));
    spin->setValue(9);
    QCOMPARE(form.state().stringCount.value(), 6);
    spin->setValue(5);
    QCOMPARE(column(), (QStringList{"G ", "D ", "A ", "E ", "B "}));
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
    QVERIFY(viewer->findChild<QTextBrowser*>(QStringLiteral("Page"))
                ->toPlainText()
                .contains(QStringLiteral("Quorlin.hlp")));
    QCOMPARE(tab->toPlainText(), kBlock);
    QCOMPARE(form.state().tabWidth, 80);
}

QTEST_MAIN(TBassFormTest)
#include "TBassFormTest.moc"
