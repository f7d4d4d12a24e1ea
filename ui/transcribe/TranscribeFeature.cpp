#include "ui/transcribe/TranscribeFeature.h"

#include "document/Document.h"
#include "files/SongToTab.h"
#include "ui/commands/CommandRouter.h"
#include "ui/common/Prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

#include <algorithm>
#include <array>
#include <memory>

namespace quorlin::ui {

namespace {

const QString kTitle = QStringLiteral("Transcribe recording");
// How long the summary stays in the status bar.
constexpr int kMessageMs = 8000;
// Decoding is quick beside the listening: its share of the progress bar.
constexpr double kReadShare = 0.15;
// A box lists this many doubtful notes; the rest are counted.
constexpr int kListed = 20;

Heard listen(const TranscribeRequest& request, const transcribe::Progress& progress)
{
    Heard heard;
    const transcribe::RecordingReading reading =
        transcribe::readRecording(QFile::encodeName(request.path).toStdString(), request.span,
                                  [&progress](double done) { return progress(kReadShare * done); });
    heard.error = reading.error;
    heard.cancelled = reading.cancelled;
    if (!reading.ok())
        return heard;
    heard.start = reading.recording.start;
    heard.transcription =
        transcribe::transcribe(reading.recording, request.options, [&progress](double done) {
            return progress(kReadShare + (1 - kReadShare) * done);
        });
    heard.cancelled = heard.transcription.cancelled;
    return heard;
}

QString doubtList(const Heard& heard)
{
    // Placed in the file, not in the part listened to, so that a player can go there.
    transcribe::Transcription inFile;
    inFile.notes = heard.transcription.notes;
    for (transcribe::HeardNote& note : inFile.notes) {
        note.onset += heard.start;
        note.offset += heard.start;
    }
    const std::vector<std::string> doubts = transcribe::doubtfulNotes(inFile);
    QStringList shown;
    for (const std::string& doubt : doubts) {
        if (shown.size() == kListed) {
            shown << QStringLiteral("and %1 more").arg(doubts.size() - kListed);
            break;
        }
        shown << QString::fromStdString(doubt);
    }
    return shown.join(QLatin1Char('\r'));
}

} // namespace

TranscribeFeature::TranscribeFeature(QMainWindow& window, document::Document& document,
                                     CommandRouter& router, Prompter& prompter) :
    m_window(window),
    m_document(document), m_prompter(prompter), m_listen(listen), m_job(window)
{
    router.handle(Command::Transcribe, this, [this] { chooseAndTranscribe(); });
}

bool TranscribeFeature::isRecording(const QByteArray& head, const QString& fileName)
{
    const auto at = [&head](qsizetype offset, const char* magic) {
        return head.mid(offset, static_cast<qsizetype>(qstrlen(magic))) == magic;
    };
    if (((at(0, "RIFF") || at(0, "RF64")) && at(8, "WAVE")) || at(0, "fLaC") || at(0, "OggS") ||
        at(0, "ID3"))
        return true;
    // A bare MP3 frame's few sync bits tell too little: its name says it.
    static const std::array<QString, 5> kEndings = {QStringLiteral("wav"), QStringLiteral("flac"),
                                                    QStringLiteral("ogg"), QStringLiteral("oga"),
                                                    QStringLiteral("mp3")};
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return std::find(kEndings.begin(), kEndings.end(), suffix) != kEndings.end();
}

bool TranscribeFeature::openIfRecording(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) ||
        !isRecording(file.read(16), QFileInfo(path).fileName()))
        return false;
    const engine::EditingState& now = m_document.state();
    TranscribeRequest request;
    request.path = path;
    request.options.openPitches = score::openPitches(now.stringCount, now.tuning);
    start(request);
    return true;
}

void TranscribeFeature::chooseAndTranscribe()
{
    if (m_job.busy())
        return;
    const engine::EditingState& now = m_document.state();
    TranscribeDialog dialog(&m_window, m_lastPath, now.stringCount, now.tuning);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TranscribeRequest request = dialog.request();
    m_lastPath = request.path;
    start(request);
}

void TranscribeFeature::start(const TranscribeRequest& request)
{
    if (m_job.busy())
        return;
    m_document.follow();
    if (!m_document.isEmpty() && m_document.isModified() &&
        !m_prompter.askYesNo(QStringLiteral("The transcribed tab takes the place of the present "
                                            "one, which is not saved; Undo brings it back.\r"
                                            "Transcribe the recording?"),
                             kTitle))
        return;
    auto heard = std::make_shared<Heard>();
    const QString path = request.path;
    m_job.start(
        kTitle, QStringLiteral("Listening to %1...").arg(QDir::toNativeSeparators(path)), true,
        [listen = m_listen, request, heard](const platform::ExportProgress& progress,
                                            QString& problem) {
            *heard = listen(request, progress);
            problem = QString::fromStdString(heard->error);
            return heard->error.empty() && !heard->cancelled;
        },
        [this, heard, path](bool heardAll, const QString& problem) {
            if (heardAll)
                put(*heard, path);
            else if (!problem.isEmpty())
                m_prompter.error(QDir::toNativeSeparators(path) + QLatin1Char(' ') + problem +
                                     QLatin1Char('.'),
                                 kTitle);
            else
                m_window.statusBar()->showMessage(
                    QStringLiteral("Transcription cancelled: the tab is as it was."), kMessageMs);
        });
}

void TranscribeFeature::put(const Heard& heard, const QString& path)
{
    const transcribe::Transcription& heardLine = heard.transcription;
    if (!heardLine.noBassLine.empty()) {
        m_prompter.inform(QStringLiteral("No bass line found: %1.")
                              .arg(QString::fromStdString(heardLine.noBassLine)),
                          kTitle);
        return;
    }
    files::SongTabOptions options;
    options.tabWidth = m_document.state().tabWidth;
    const document::NewTab tab = document::songNewTab(
        files::songToTab(heardLine.song, 0, options), m_document.state(), "Transcribe",
        QString::fromStdString(transcribe::transcriptionSummary(heardLine)));
    m_document.replace(tab);
    m_window.statusBar()->showMessage(tab.report, kMessageMs);
    emit transcribed(QFileInfo(path).absoluteFilePath());
    // The summary names the remarks (double stops...) too.
    if (const QString doubts = doubtList(heard); !doubts.isEmpty())
        m_prompter.inform(QStringLiteral("%1.\rThese notes are in doubt; listen to them again:\r%2")
                              .arg(tab.report, doubts),
                          QStringLiteral("Doubtful notes"));
}

} // namespace quorlin::ui
