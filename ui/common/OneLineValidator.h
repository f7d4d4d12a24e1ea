#pragma once

#include <QValidator>

namespace quorlin::ui {

// Keeps a one-line field on one line: a line break that arrives in a paste, a drop or a set
// text becomes a blank (a CR LF pair a single one), so what is saved stays on its line.
class OneLineValidator final : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace quorlin::ui
