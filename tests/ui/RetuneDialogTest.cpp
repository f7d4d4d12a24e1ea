// The tuning dialog: presets fill the strings, the count moves the names as the neck does, and a
// name that is no note holds OK back.

#include "ui/RetuneDialog.h"
#include "tests/ui/FormTesting.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace quorlin;
using ui::testing::child;

namespace {

score::Setup standard()
{
    return {instrument::StringCount(4), instrument::Tuning()};
}

// "G D A E ": the chosen names of the shown strings, two characters each.
QString names(const score::Setup& setup)
{
    QString all;
    for (int s = 1; s <= setup.strings.value(); ++s)
        all += QString::fromStdString(setup.tuning.at(s));
    return all;
}

QLineEdit* name(const ui::RetuneDialog& dialog, int string)
{
    return child<QLineEdit>(dialog, qPrintable(QStringLiteral("StringName%1").arg(string)));
}

void type(QLineEdit* field, const QString& text)
{
    field->clear();
    QTest::keyClicks(field, text);
}

} // namespace

class RetuneDialogTest : public QObject {
    Q_OBJECT

private slots:
    // A preset picked from the list fills the strings, and strings typed to match one name it.
    void presets_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QString>("expected");
        const std::pair<const char*, const char*> rows[] = {
            {"Drop D", "G D A D "},          {"Half step down", "F#C#G#D#"},
            {"Whole step down", "F C G D "}, {"Five strings, low B", "G D A E B "},
            {"Six strings", "C G D A E B "}, {"Five strings, high C", "C G D A E "},
            {"Standard", "G D A E "}};
        for (const auto& [preset, expected] : rows)
            QTest::newRow(preset) << QString(preset) << QString(expected);
    }
    void presets()
    {
        QFETCH(QString, preset);
        QFETCH(QString, expected);
        // From six strings, so that every preset changes the count or a name.
        score::Setup six{instrument::StringCount(6), instrument::Tuning()};
        six.tuning.followStringCount(4, 6);
        ui::RetuneDialog dialog(nullptr, six);
        auto* presets = child<QComboBox>(dialog, "Preset");
        const int index = presets->findText(preset);
        QVERIFY(index > 0);
        emit presets->activated(index);
        QCOMPARE(names(dialog.chosen()), expected);
        QCOMPARE(child<QSpinBox>(dialog, "StringCount")->value(), expected.size() / 2);

        ui::RetuneDialog typed(nullptr, six);
        child<QSpinBox>(typed, "StringCount")->setValue(static_cast<int>(expected.size() / 2));
        for (int s = 1; s <= expected.size() / 2; ++s)
            type(name(typed, s), expected.mid(2 * (s - 1), 2).trimmed().toLower());
        QCOMPARE(child<QComboBox>(typed, "Preset")->currentText(), preset);
    }

    // What a string's field takes: notes in either case, sharps, flats as their sharps.
    void validation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected"); // empty: refused
        const std::pair<const char*, const char*> rows[] = {
            {"e", "E "},  {"f#", "F#"}, {"Bb", "A#"}, {"Cb", "B "}, {"E#", "F "},
            {" d", "D "}, {"H", ""},    {"Ax", ""},   {"", ""}};
        for (const auto& [typed, expected] : rows)
            QTest::newRow(typed) << QString(typed) << QString(expected);
    }
    void validation()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        ui::RetuneDialog dialog(nullptr, standard());
        auto* ok = child<QDialogButtonBox>(dialog, "Buttons")->button(QDialogButtonBox::Ok);
        type(name(dialog, 3), typed);
        QCOMPARE(ok->isEnabled(), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(QString::fromStdString(dialog.chosen().tuning.at(3)), expected);
        QCOMPARE(child<QComboBox>(dialog, "Preset")->currentText(), QStringLiteral("Custom"));
        // A string no longer shown does not hold OK back.
        child<QSpinBox>(dialog, "StringCount")->setValue(5);
        type(name(dialog, 5), QStringLiteral("H"));
        QVERIFY(!ok->isEnabled());
        child<QSpinBox>(dialog, "StringCount")->setValue(4);
        QCOMPARE(ok->isEnabled(), !expected.isEmpty());
    }

    // More strings and fewer: the high C comes and goes above, as on the neck.
    void stringCount()
    {
        ui::RetuneDialog dialog(nullptr, standard());
        auto* count = child<QSpinBox>(dialog, "StringCount");
        const std::pair<int, QString> steps[] = {
            {5, "G D A E B "}, {6, "C G D A E B "}, {4, "G D A E "}};
        for (const auto& [strings, expected] : steps) {
            count->setValue(strings);
            QCOMPARE(names(dialog.chosen()), expected);
            for (int s = 1; s <= instrument::kMaxStrings; ++s)
                QCOMPARE(name(dialog, s)->isVisibleTo(&dialog), s <= strings);
        }
    }
};

QTEST_MAIN(RetuneDialogTest)
#include "RetuneDialogTest.moc"
