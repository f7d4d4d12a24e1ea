#include "ui/export/TabExport.h"

#include "ui/common/Prompter.h"
#include "ui/export/MusicXmlDialog.h"

#include <QFile>

namespace quorlin::ui {

TabExport::TabExport(QWidget& window, Prompter& prompter, std::function<score::Score()> read,
                     std::function<QString()> soundFont) :
    m_window(window),
    m_prompter(prompter), m_read(std::move(read)), m_soundFont(std::move(soundFont)),
    m_name(window), m_job(window)
{
}

TabExport::~TabExport() = default;

void TabExport::exportFile(platform::ExportFormat format)
{
    if (busy())
        return;
    const bool midi = format == platform::ExportFormat::Midi;
    const QString path =
        midi ? m_name.ask(QStringLiteral("Export MIDI"),
                          QStringLiteral("MIDI files (*.mid *.midi)"), QStringLiteral("mid"), {})
             : m_name.ask(QStringLiteral("Export WAV"), QStringLiteral("WAV files (*.wav)"),
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
    const QString path = m_name.ask(
        QStringLiteral("Export MusicXML"), QStringLiteral("MusicXML files (*.musicxml *.xml)"),
        QStringLiteral("musicxml"), besideTab(details.path, QStringLiteral("musicxml")));
    if (!path.isEmpty())
        exportMusicXmlTo(path, options);
}

std::optional<score::Score> TabExport::readToExport(const QString& path)
{
    if (refuseTabsOwnFile(m_prompter, m_details ? m_details().path : QString(), path))
        return std::nullopt;
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

void TabExport::inBackground(const QString& title, const QString& path, bool cancellable,
                             BackgroundJob::Job job)
{
    m_job.start(
        title, QStringLiteral("Writing %1...").arg(path), cancellable, std::move(job),
        [this, path](bool written, const QString& problem) { report(written, path, problem); });
}

void TabExport::report(bool written, const QString& path, const QString& problem)
{
    if (const QString said = exportOutcome(m_prompter, written, path, m_skipped, problem);
        !said.isEmpty())
        emit message(said);
    emit finished();
}

} // namespace quorlin::ui
