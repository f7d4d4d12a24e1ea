#include "ui/convert/RetuneDialog.h"

#include "instrument/NoteCycle.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <optional>

namespace quorlin::ui {

namespace {

struct Preset {
    const char* name;
    int strings;
    std::array<const char*, instrument::kMaxStrings> names;
};

// Top string first, as the neck shows them.
constexpr Preset kPresets[] = {
    {"Standard", 4, {"G ", "D ", "A ", "E "}},
    {"Drop D", 4, {"G ", "D ", "A ", "D "}},
    {"Half step down", 4, {"F#", "C#", "G#", "D#"}},
    {"Whole step down", 4, {"F ", "C ", "G ", "D "}},
    {"Five strings, low B", 5, {"G ", "D ", "A ", "E ", "B "}},
    {"Five strings, high C", 5, {"C ", "G ", "D ", "A ", "E "}},
    {"Six strings", 6, {"C ", "G ", "D ", "A ", "E ", "B "}},
};

// "e", "F#", " bb": the note on the cycle, or nothing when the text names none.
std::optional<std::string> noteName(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    const std::string natural{text[0].toUpper().toLatin1(), ' '};
    if (!instrument::isNoteName(natural))
        return std::nullopt;
    if (text.size() == 1)
        return natural;
    if (text[1] == QLatin1Char('#'))
        return instrument::noteAbove(natural);
    if (text[1] == QLatin1Char('b'))
        return instrument::noteBelow(natural);
    return std::nullopt;
}

QString display(const std::string& name)
{
    return QString::fromStdString(name).trimmed();
}

} // namespace

RetuneDialog::RetuneDialog(QWidget* parent, const score::Setup& current) :
    QDialog(parent), m_shown(current.strings.value())
{
    setObjectName(QStringLiteral("RetuneDialog"));
    setWindowTitle(QStringLiteral("Change tuning or strings"));

    m_preset = new QComboBox(this);
    m_preset->setObjectName(QStringLiteral("Preset"));
    m_preset->addItem(QStringLiteral("Custom"));
    for (const Preset& preset : kPresets)
        m_preset->addItem(QString::fromLatin1(preset.name));
    m_count = new QSpinBox(this);
    m_count->setObjectName(QStringLiteral("StringCount"));
    m_count->setRange(instrument::kMinStrings, instrument::kMaxStrings);
    m_count->setValue(current.strings.value());

    m_form = new QFormLayout;
    m_form->addRow(QStringLiteral("&Preset:"), m_preset);
    m_form->addRow(QStringLiteral("&Strings:"), m_count);
    for (int s = 1; s <= instrument::kMaxStrings; ++s) {
        auto* name = new QLineEdit(this);
        name->setObjectName(QStringLiteral("StringName%1").arg(s));
        name->setMaxLength(2);
        name->setToolTip(QStringLiteral("A note: C, C#, D ... B; a flat such as Bb is taken as "
                                        "its sharp"));
        m_names[static_cast<std::size_t>(s - 1)] = name;
        m_form->addRow(
            s == 1 ? QStringLiteral("String 1 (top):") : QStringLiteral("String %1:").arg(s), name);
        connect(name, &QLineEdit::textChanged, this, &RetuneDialog::check);
        // What was typed is shown as the tab will name it.
        connect(name, &QLineEdit::editingFinished, this, [name] {
            if (const auto note = noteName(name->text()))
                name->setText(display(*note));
        });
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(m_form);
    layout->addWidget(buttons);

    fill(current.tuning);
    connect(m_count, &QSpinBox::valueChanged, this, &RetuneDialog::countChanged);
    connect(m_preset, &QComboBox::activated, this, &RetuneDialog::presetChosen);
}

instrument::Tuning RetuneDialog::typed() const
{
    instrument::Tuning tuning;
    for (int s = 1; s <= instrument::kMaxStrings; ++s) {
        const QString text = m_names[static_cast<std::size_t>(s - 1)]->text();
        tuning.set(s, noteName(text).value_or(text.toStdString()));
    }
    return tuning;
}

void RetuneDialog::fill(const instrument::Tuning& tuning)
{
    for (int s = 1; s <= instrument::kMaxStrings; ++s) {
        QLineEdit* name = m_names[static_cast<std::size_t>(s - 1)];
        const QSignalBlocker quiet(name);
        name->setText(display(tuning.at(s)));
        m_form->setRowVisible(name, s <= m_count->value());
    }
    check();
}

void RetuneDialog::countChanged(int count)
{
    // Six strings take a high C above the others, as the neck does.
    instrument::Tuning tuning = typed();
    tuning.followStringCount(m_shown, count);
    m_shown = count;
    fill(tuning);
}

void RetuneDialog::presetChosen(int index)
{
    if (index < 1)
        return;
    const Preset& preset = kPresets[index - 1];
    instrument::Tuning tuning = typed();
    for (int s = 1; s <= preset.strings; ++s)
        tuning.set(s, preset.names[static_cast<std::size_t>(s - 1)]);
    {
        const QSignalBlocker quiet(m_count);
        m_count->setValue(preset.strings);
    }
    m_shown = preset.strings;
    fill(tuning);
}

void RetuneDialog::check()
{
    bool allNotes = true;
    for (int s = 1; s <= m_count->value(); ++s) {
        QLineEdit* name = m_names[static_cast<std::size_t>(s - 1)];
        const bool note = noteName(name->text()).has_value();
        name->setStyleSheet(note ? QString() : QStringLiteral("color: red"));
        allNotes = allNotes && note;
    }
    m_ok->setEnabled(allNotes);

    const score::Setup setup = chosen();
    int match = 0;
    for (std::size_t p = 0; p < std::size(kPresets); ++p) {
        bool same = kPresets[p].strings == setup.strings.value();
        for (int s = 1; same && s <= kPresets[p].strings; ++s)
            same = setup.tuning.at(s) == kPresets[p].names[static_cast<std::size_t>(s - 1)];
        if (same)
            match = static_cast<int>(p) + 1;
    }
    m_preset->setCurrentIndex(match);
}

score::Setup RetuneDialog::chosen() const
{
    return {instrument::StringCount(m_count->value()), typed()};
}

} // namespace quorlin::ui
