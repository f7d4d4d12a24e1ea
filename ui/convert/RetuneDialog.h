#pragma once

// Edit > Change tuning or strings...: the string count and each string's note, typed or filled
// from a preset. The dialog only chooses; the window retunes the tab and says what moved.

#include "instrument/Tuning.h"
#include "score/Retune.h"

#include <QDialog>

#include <array>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quorlin::ui {

class RetuneDialog final : public QDialog {
    Q_OBJECT

public:
    RetuneDialog(QWidget* parent, const score::Setup& current);

    // The names as the tab writes them: "F#", "E "; a flat typed is taken as its sharp.
    score::Setup chosen() const;

private:
    void countChanged(int count);
    void presetChosen(int index);
    // Marks names that are no note, holds OK back while a shown one is, and names the preset
    // the strings now match.
    void check();
    instrument::Tuning typed() const;
    void fill(const instrument::Tuning& tuning);

    QComboBox* m_preset;
    QSpinBox* m_count;
    QFormLayout* m_form;
    std::array<QLineEdit*, instrument::kMaxStrings> m_names{};
    QPushButton* m_ok;
    int m_shown;
};

} // namespace quorlin::ui
