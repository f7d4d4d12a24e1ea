#include "ui/export/MusicXmlDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace quorlin::ui {

MusicXmlDialog::MusicXmlDialog(QWidget* parent, model::TimeSignature time, bool hasComment) :
    QDialog(parent)
{
    setObjectName(QStringLiteral("MusicXmlDialog"));
    setWindowTitle(QStringLiteral("Export MusicXML"));
    auto* timeShown = new QLabel(QString::fromStdString(model::timeSignatureText(time)), this);
    timeShown->setObjectName(QStringLiteral("TimeSignature"));
    timeShown->setToolTip(QStringLiteral("The tab's own, chosen beside the tempo"));
    m_key = new QComboBox(this);
    m_key->setObjectName(QStringLiteral("Key"));
    m_key->addItem(QStringLiteral("Found from the notes"));
    for (const bool minor : {false, true}) {
        for (int fifths = -score::kMaxFifths; fifths <= score::kMaxFifths; ++fifths) {
            std::string name = score::keyName({fifths, minor});
            if (minor)
                name.pop_back();
            m_key->addItem(QString::fromStdString(name) +
                               (minor ? QStringLiteral(" minor") : QStringLiteral(" major")),
                           QString::fromStdString(score::keyName({fifths, minor})));
        }
    }
    m_key->setToolTip(QStringLiteral("The key signature, and the key every note is spelled in"));
    m_title = new QCheckBox(QStringLiteral("&Title from the first comment line"), this);
    m_title->setObjectName(QStringLiteral("TitleFromComments"));
    m_title->setChecked(hasComment);
    m_title->setEnabled(hasComment);
    if (!hasComment)
        m_title->setToolTip(QStringLiteral("The song header has no comment line."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Export..."));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Time signature:"), timeShown);
    layout->addRow(QStringLiteral("&Key:"), m_key);
    layout->addRow(m_title);
    layout->addRow(buttons);
}

std::optional<score::Key> MusicXmlDialog::key() const
{
    return score::readKey(m_key->currentData().toString().toStdString());
}

bool MusicXmlDialog::titleFromComments() const
{
    return m_title->isChecked();
}

} // namespace quorlin::ui
