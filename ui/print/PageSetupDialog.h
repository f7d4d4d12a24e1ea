#pragma once

// File > Page setup...: the title the pages carry and the paper they are laid out for.

#include "ui/print/SheetSource.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace quorlin::ui {

class PageSetupDialog final : public QDialog {
    Q_OBJECT

public:
    // `commentTitle` is the title left empty stands for: the first comment line.
    PageSetupDialog(QWidget* parent, const PageSetup& setup, const QString& commentTitle);

    PageSetup setup() const;

private:
    QLineEdit* m_title;
    QComboBox* m_paper;
};

} // namespace quorlin::ui
