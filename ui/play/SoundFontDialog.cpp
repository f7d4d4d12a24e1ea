#include "ui/play/SoundFontDialog.h"

#include "audio/Synth.h"
#include "ui/common/FileNameReturn.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorlin::ui {

SoundFontDialog::SoundFontDialog(QWidget* parent, const QString& current) : QDialog(parent)
{
    setObjectName(QStringLiteral("SoundFontDialog"));
    setWindowTitle(QStringLiteral("Sound font"));
    m_fonts = new QComboBox(this);
    m_fonts->setObjectName(QStringLiteral("SoundFonts"));
    m_fonts->setEditable(true);
    m_fonts->setMinimumContentsLength(40);
    for (const std::string& font : audio::installedSoundFonts())
        m_fonts->addItem(QString::fromStdString(font));
    if (!current.isEmpty()) {
        if (m_fonts->findText(current) < 0)
            m_fonts->addItem(current);
        m_fonts->setCurrentText(current);
    }
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    connect(browse, &QPushButton::clicked, this, &SoundFontDialog::browse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("The General MIDI sound font that plays the tab and "
                                            "makes its WAV file (.sf2 or .sf3):"),
                             this);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(m_fonts, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString SoundFontDialog::chosen() const
{
    return m_fonts->currentText().trimmed();
}

void SoundFontDialog::browse()
{
    QFileDialog dialog(this, QStringLiteral("Choose a sound font"),
                       QFileInfo(chosen()).absolutePath());
    dialog.setObjectName(QStringLiteral("SoundFontFile"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    FileNameReturn::install(dialog);
    dialog.setNameFilters(
        {QStringLiteral("Sound fonts (*.sf2 *.sf3)"), QStringLiteral("All files (*)")});
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_fonts->setCurrentText(dialog.selectedFiles().constFirst());
}

} // namespace quorlin::ui
