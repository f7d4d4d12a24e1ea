// The tuning dialog: presets fill the strings, the count moves the names as the neck does, and a
// name that is no note holds OK back.

#include "ui/convert/RetuneDialog.h"
#include "tests/ui/FormTesting.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace quorlin;
using ui::testing::child;

class RetuneDialogTest : public QObject {
    Q_OBJECT

private slots:
    // One dialog, from six strings, so that every preset changes the count or a name.
    void steps()
    {
        score::Setup six{instrument::StringCount(6), instrument::Tuning()};
        six.tuning.followStringCount(4, 6);
        ui::RetuneDialog dialog(nullptr, six);
        auto* presets = child<QComboBox>(dialog, "Preset");
        auto* count = child<QSpinBox>(dialog, "StringCount");
        auto* ok = child<QDialogButtonBox>(dialog, "Buttons")->button(QDialogButtonBox::Ok);
        const auto field = [&dialog](int string) {
            return child<QLineEdit>(dialog, qPrintable(QStringLiteral("StringName%1").arg(string)));
        };
        // "preset NAME", "count N" or "S:TEXT" typed into string S; then the chosen names of the
        // shown strings ("" while OK is held back) and the preset the list shows.
        const std::tuple<QString, QString, QString> steps[] = {
            // Fewer strings and more: the high C goes and comes above, as on the neck.
            {"count 5", "G D A E B ", "Five strings, low B"},
            {"count 4", "G D A E ", "Standard"},
            {"count 6", "C G D A E B ", "Six strings"},
            {"preset Drop D", "G D A D ", "Drop D"},
            {"preset Half step down", "F#C#G#D#", "Half step down"},
            {"preset Whole step down", "F C G D ", "Whole step down"},
            {"preset Five strings, low B", "G D A E B ", "Five strings, low B"},
            {"preset Six strings", "C G D A E B ", "Six strings"},
            {"preset Five strings, high C", "C G D A E ", "Five strings, high C"},
            {"preset Standard", "G D A E ", "Standard"},
            // Notes in either case, sharps, flats as their sharps; typed names find their preset.
            {"4:d", "G D A D ", "Drop D"},
            {"4:e", "G D A E ", "Standard"},
            {"3:f#", "G D F#E ", "Custom"},
            {"3:Bb", "G D A#E ", "Custom"},
            {"3:Cb", "G D B E ", "Custom"},
            {"3:E#", "G D F E ", "Custom"},
            {"3: d", "G D D E ", "Custom"},
            {"3:H", "", "Custom"},
            {"3:Ax", "", "Custom"},
            {"3:", "", "Custom"},
            // A string no longer shown does not hold OK back; a hidden one keeps its name.
            {"3:A", "G D A E ", "Standard"},
            {"count 5", "G D A E E ", "Custom"},
            {"5:H", "", "Custom"},
            {"count 4", "G D A E ", "Standard"},
        };
        for (const auto& [step, names, preset] : steps) {
            if (step.startsWith("preset ")) {
                emit presets->activated(presets->findText(step.mid(7)));
            } else if (step.startsWith("count ")) {
                count->setValue(step.mid(6).toInt());
            } else {
                QLineEdit* name = field(step.left(1).toInt());
                name->clear();
                QTest::keyClicks(name, step.mid(2));
            }
            const score::Setup chosen = dialog.chosen();
            QString shown;
            for (int s = 1; s <= chosen.strings.value(); ++s)
                shown += QString::fromStdString(chosen.tuning.at(s));
            QCOMPARE(ok->isEnabled() ? shown : QString(), names);
            QCOMPARE(presets->currentText(), preset);
            for (int s = 1; s <= instrument::kMaxStrings; ++s)
                QCOMPARE(field(s)->isVisibleTo(&dialog), s <= count->value());
        }
    }
};

QTEST_MAIN(RetuneDialogTest)
#include "RetuneDialogTest.moc"
