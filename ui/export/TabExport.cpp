#include "ui/export/TabExport.h"

#include "storage/AtomicFile.h"
#include "ui/common/FileNameReturn.h"
#include "ui/common/Prompter.h"
#include "ui/export/MusicXmlDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

namespace quorlin::ui {

namespace {

constexpr int kProgressSteps = 1000;

} // namespace

TabExport::TabExport(QWidget& window, Prompter& prompter, std::function<score::Score()> read,
                     std::function<QString()> soundFont) :
    m_window(window),
    m_prompter(prompter), m_read(std::move(read)), m_soundFont(std::move(soundFont))
{
}

TabExport::~TabExport()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void TabExport::exportFile(platform::ExportFormat format)
{
    if (busy())
        return;
    const bool midi = format == platform::ExportFormat::Midi;
    const QString path =
        midi ? askName(QStringLiteral("Export MIDI"), QStringLiteral("MIDI files (*.mid *.midi)"),
                       QStringLiteral("mid"), {})
             : askName(QStringLiteral("Export WAV"), QStringLiteral("WAV files (*.wav)"),
                       QStringLiteral("wav"), {});
    if (!path.isEmpty())
        exportTo(format, path);
}

void TabExport::exportMusicXml()
{
    if (busy())
        return;
    const TabDetails details = m_details ? m_details() : TabDetails();
    MusicXmlDialog ask(&m_window, details.time, !files::commentTitle(details.header).empty());
    if (ask.exec() != QDialog::Accepted)
        return;
    files::MusicXmlOptions options;
    options.beats = details.time.beats;
    options.beatType = details.time.beatType;
    options.titleFromComments = ask.titleFromComments();
    options.key = ask.key();
    // Beside the tab, named after it.
    QString suggested;
    if (!details.path.isEmpty()) {
        const QFileInfo tab(details.path);
        suggested = tab.dir().filePath(tab.completeBaseName() + QStringLiteral(".musicxml"));
    }
    const QString path = askName(QStringLiteral("Export MusicXML"),
                                 QStringLiteral("MusicXML files (*.musicxml *.xml)"),
                                 QStringLiteral("musicxml"), suggested);
    if (!path.isEmpty())
        exportMusicXmlTo(path, options);
}

QString TabExport::askName(const QString& title, const QString& filter, const QString& suffix,
                           const QString& suggested)
{
    if (m_dialog == nullptr) {
        m_dialog = new QFileDialog(&m_window);
        m_dialog->setObjectName(QStringLiteral("ExportFile"));
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        FileNameReturn::install(*m_dialog);
    }
    m_dialog->setWindowTitle(title);
    m_dialog->setNameFilters({filter, QStringLiteral("All files (*)")});
    m_dialog->setDefaultSuffix(suffix);
    m_dialog->selectFile(suggested);
    if (m_dialog->exec() != QDialog::Accepted || m_dialog->selectedFiles().isEmpty())
        return {};
    return m_dialog->selectedFiles().constFirst();
}

std::optional<score::Score> TabExport::readToExport(const QString& path)
{
    const QString tab = m_details ? m_details().path : QString();
    if (!tab.isEmpty() && storage::sameFile(QFile::encodeName(tab).toStdString(),
                                            QFile::encodeName(path).toStdString())) {
        m_prompter.error(QStringLiteral("%1 is the tab's own file: exporting there would replace "
                                        "the tab. Choose another name.")
                             .arg(QDir::toNativeSeparators(path)),
                         kCaption);
        return std::nullopt;
    }
    score::Score score = m_read();
    if (score.columns.empty()) {
        m_prompter.inform(QStringLiteral("There is nothing to export yet: the tab has no note "
                                         "or rest Quorlin can read."),
                          kCaption);
        return std::nullopt;
    }
    m_skipped = QString::fromStdString(score::skippedText(score));
    return score;
}

void TabExport::exportMusicXmlTo(const QString& path, const files::MusicXmlOptions& options)
{
    if (busy())
        return;
    const std::optional<score::Score> score = readToExport(path);
    if (!score)
        return;
    const TabDetails details = m_details ? m_details() : TabDetails();
    auto held = std::make_shared<const score::Score>(std::move(*score));
    // The score of a long tab is many times its size: a few seconds that the window must not
    // freeze for. The writer cannot stop half-way, so there is nothing to cancel.
    inBackground(QStringLiteral("Export MusicXML"), path, false,
                 [held, details, options, path](const auto&, QString& problem) {
                     return platform::exportMusicXml(*held, details.tuning, details.header, options,
                                                     QFile::encodeName(path).toStdString(),
                                                     problem);
                 });
}

void TabExport::exportTo(platform::ExportFormat format, const QString& path)
{
    if (busy())
        return;
    const std::optional<score::Score> score = readToExport(path);
    if (!score)
        return;
    auto performance = std::make_shared<const score::Performance>(score::perform(*score));
    if (format == platform::ExportFormat::Midi) {
        QString problem;
        report(platform::exportPerformance(format, *performance,
                                           QFile::encodeName(path).toStdString(), {}, {}, problem),
               path, problem);
        return;
    }

    // Rendering takes seconds for a long tab: the window stays alive and can cancel it.
    inBackground(QStringLiteral("Export WAV"), path, true,
                 [performance, path, font = m_soundFont().toStdString()](const auto& progress,
                                                                         QString& problem) {
                     return platform::exportPerformance(platform::ExportFormat::Wav, *performance,
                                                        QFile::encodeName(path).toStdString(), font,
                                                        progress, problem);
                 });
}

void TabExport::inBackground(const QString& title, const QString& path, bool cancellable, Job job)
{
    auto* progress =
        new QProgressDialog(QStringLiteral("Writing %1...").arg(path), QStringLiteral("Cancel"), 0,
                            cancellable ? kProgressSteps : 0, &m_window);
    progress->setObjectName(QStringLiteral("ExportProgress"));
    progress->setWindowTitle(title);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    if (!cancellable)
        progress->setCancelButton(nullptr);
    m_cancel = false;
    m_progress = 0;
    auto written = std::make_shared<std::atomic<int>>(-1);
    auto problem = std::make_shared<QString>();
    m_worker = std::thread([this, job = std::move(job), written, problem] {
        const platform::ExportProgress step = [this](double fraction) {
            m_progress = static_cast<int>(fraction * kProgressSteps);
            return !m_cancel.load();
        };
        *written = job(step, *problem) ? 1 : 0;
    });
    connect(progress, &QProgressDialog::canceled, this, [this] { m_cancel = true; });
    auto* poll = new QTimer(progress);
    connect(poll, &QTimer::timeout, this,
            [this, poll, progress, written, problem, path, cancellable] {
                if (*written >= 0) {
                    // A modal progress bar runs the events while it shows a value: this may
                    // be the second time round, after the first one has finished the export.
                    if (!m_worker.joinable())
                        return;
                    poll->stop();
                    m_worker.join();
                    progress->deleteLater();
                    report(*written == 1, path, *problem);
                    return;
                }
                if (cancellable)
                    progress->setValue(std::min(m_progress.load(), kProgressSteps - 1));
            });
    poll->start(50);
}

void TabExport::report(bool written, const QString& path, const QString& problem)
{
    if (written) {
        emit message(m_skipped.isEmpty() ? QStringLiteral("Exported %1").arg(path)
                                         : QStringLiteral("Exported %1; %2").arg(path, m_skipped));
    } else if (problem.isEmpty()) {
        emit message(QStringLiteral("Export cancelled: nothing was written."));
    } else {
        m_prompter.error(problem, kCaption);
    }
    emit finished();
}

} // namespace quorlin::ui
