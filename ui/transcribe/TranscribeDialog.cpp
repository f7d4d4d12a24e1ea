#include "ui/transcribe/TranscribeDialog.h"

#include "score/Score.h"
#include "ui/common/TabFileDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quorlin::ui {

namespace {

const QString kTitle = QStringLiteral("Transcribe recording");
const QString kRecordings = QStringLiteral("Recordings (*.wav *.flac *.ogg *.oga *.mp3)");
// A part may be chosen anywhere in a day-long file; only the part itself is held to an hour.
constexpr double kLatestSecond = 24 * 3600;

QDoubleSpinBox* secondsBox(QWidget* parent, const char* name, const QString& unset)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(1);
    box->setRange(0, kLatestSecond);
    box->setSuffix(QStringLiteral(" s"));
    // The least value stands for "not given": the file's own start or end.
    box->setSpecialValueText(unset);
    return box;
}

} // namespace

TranscribeDialog::TranscribeDialog(QWidget* parent, const QString& path,
                                   instrument::StringCount strings,
                                   const instrument::Tuning& tuning) :
    QDialog(parent),
    m_path(new QLineEdit(QDir::toNativeSeparators(path), this)),
    m_start(secondsBox(this, "Start", QStringLiteral("the beginning"))),
    m_end(secondsBox(this, "End", QStringLiteral("the end"))), m_tempo(new QSpinBox(this)),
    m_strings(new QSpinBox(this)),
    m_tuning(new QLineEdit(QString::fromStdString(instrument::tuningText(strings, tuning)), this)),
    m_problem(new QLabel(this)),
    m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("TranscribeDialog"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    m_path->setObjectName(QStringLiteral("RecordingPath"));
    m_path->setMinimumWidth(m_path->fontMetrics().averageCharWidth() * 48);
    auto* browse = new QPushButton(QStringLiteral("C&hoose..."), this);
    browse->setObjectName(QStringLiteral("ChooseRecording"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(browse);
    form->addRow(QStringLiteral("&Recording:"), fileRow);
    qobject_cast<QLabel*>(form->labelForField(fileRow))->setBuddy(m_path);
    form->addRow(QStringLiteral("&From:"), m_start);
    form->addRow(QStringLiteral("T&o:"), m_end);

    m_tempo->setObjectName(QStringLiteral("Tempo"));
    m_tempo->setRange(score::kMinTempo - 1, score::kMaxTempo);
    m_tempo->setSuffix(QStringLiteral(" bpm"));
    m_tempo->setSpecialValueText(QStringLiteral("found from the recording"));
    m_tempo->setValue(m_tempo->minimum());
    form->addRow(QStringLiteral("T&empo:"), m_tempo);

    m_strings->setObjectName(QStringLiteral("Strings"));
    m_strings->setRange(instrument::kMinStrings, instrument::kMaxStrings);
    m_strings->setValue(strings.value());
    form->addRow(QStringLiteral("&Strings:"), m_strings);
    m_tuning->setObjectName(QStringLiteral("Tuning"));
    m_tuning->setToolTip(QStringLiteral("The open strings, lowest first, as the tab's tuning "
                                        "line names them"));
    form->addRow(QStringLiteral("T&uning:"), m_tuning);

    auto* note = new QLabel(QStringLiteral("The notes heard are fingered on these strings. A "
                                           "recording of the bass alone works best."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_problem->setObjectName(QStringLiteral("TranscribeProblem"));
    layout->addWidget(m_problem);

    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Transcribe"));
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &TranscribeDialog::choose);
    // Another string count starts from its usual tuning, which the user then changes.
    connect(m_strings, &QSpinBox::valueChanged, this, [this](int count) {
        const instrument::StringCount chosen(count);
        m_tuning->setText(QString::fromStdString(
            instrument::tuningText(chosen, instrument::standardTuning(chosen))));
    });
    for (QLineEdit* edit : {m_path, m_tuning})
        connect(edit, &QLineEdit::textChanged, this, &TranscribeDialog::check);
    for (QDoubleSpinBox* box : {m_start, m_end})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TranscribeDialog::check);
    check();
}

void TranscribeDialog::choose()
{
    TabFileDialog dialog(this, QStringLiteral("TranscribeFile"), kTitle, QFileDialog::AcceptOpen);
    dialog.setNameFilters({kRecordings, QStringLiteral("All files (*)")});
    dialog.selectNameFilter(kRecordings);
    if (!m_path->text().isEmpty())
        dialog.selectFile(m_path->text());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_path->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

void TranscribeDialog::check()
{
    const auto tuning = instrument::readTuningText(m_tuning->text().toStdString());
    QString problem;
    if (m_path->text().trimmed().isEmpty())
        problem = QStringLiteral("Choose the recording to listen to.");
    else if (m_end->value() > 0 && m_end->value() <= m_start->value())
        problem = QStringLiteral("The part to listen to ends before it begins.");
    else if (!tuning)
        problem = QStringLiteral("The tuning needs 4 to 6 note names, lowest string first, "
                                 "such as E A D G.");
    else if (tuning->first.value() != m_strings->value())
        problem = QStringLiteral("The tuning names %1 strings, not %2.")
                      .arg(tuning->first.value())
                      .arg(m_strings->value());
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

TranscribeRequest TranscribeDialog::request() const
{
    TranscribeRequest request;
    request.path = QDir::fromNativeSeparators(m_path->text().trimmed());
    request.span.start = m_start->value();
    if (m_end->value() > 0)
        request.span.end = m_end->value();
    if (m_tempo->value() != m_tempo->minimum())
        request.options.tempo = m_tempo->value();
    if (const auto tuning = instrument::readTuningText(m_tuning->text().toStdString()))
        request.options.openPitches = score::openPitches(tuning->first, tuning->second);
    return request;
}

} // namespace quorlin::ui
