#include "ui/print/PageSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace quorlin::ui {

PageSetupDialog::PageSetupDialog(QWidget* parent, const PageSetup& setup,
                                 const QString& commentTitle) :
    QDialog(parent)
{
    setObjectName(QStringLiteral("PageSetupDialog"));
    setWindowTitle(QStringLiteral("Page setup"));
    m_title = new QLineEdit(QString::fromStdString(setup.title), this);
    m_title->setObjectName(QStringLiteral("Title"));
    // What an empty field prints, so that nobody types the title the header already gives.
    m_title->setPlaceholderText(commentTitle.isEmpty()
                                    ? QStringLiteral("None: the header has no comment line")
                                    : commentTitle);
    m_title->setToolTip(QStringLiteral("Left empty, the first comment line of the song header"));
    m_title->setClearButtonEnabled(true);
    m_title->setMinimumWidth(m_title->fontMetrics().averageCharWidth() * 48);
    m_paper = new QComboBox(this);
    m_paper->setObjectName(QStringLiteral("Paper"));
    m_paper->addItem(QStringLiteral("A4 (210 × 297 mm)"), static_cast<int>(sheet::Paper::A4));
    m_paper->addItem(QStringLiteral("Letter (8.5 × 11 in)"),
                     static_cast<int>(sheet::Paper::Letter));
    m_paper->setCurrentIndex(m_paper->findData(static_cast<int>(setup.paper)));
    m_paper->setToolTip(QStringLiteral("The paper the pages are laid out for, kept for the tabs "
                                       "opened after this one"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("&Title:"), m_title);
    layout->addRow(QStringLiteral("&Paper:"), m_paper);
    layout->addRow(buttons);
}

PageSetup PageSetupDialog::setup() const
{
    PageSetup setup;
    // Blanks alone would print no title at all, which nobody asks for this way.
    setup.title = m_title->text().trimmed().toStdString();
    setup.paper = static_cast<sheet::Paper>(m_paper->currentData().toInt());
    return setup;
}

} // namespace quorlin::ui
