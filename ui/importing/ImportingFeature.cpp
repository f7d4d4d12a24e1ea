#include "ui/importing/ImportingFeature.h"

#include "document/Document.h"
#include "files/SongToTab.h"
#include "platform/FileAccess.h"
#include "ui/commands/CommandRouter.h"
#include "ui/common/Prompter.h"
#include "ui/common/TabFileDialog.h"
#include "ui/importing/TrackDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

namespace quorlin::ui {

namespace {

const QString kImportCaption = QStringLiteral("Import");
const QString kEveryFormat =
    QStringLiteral("Tabs and scores (*.gp3 *.gp4 *.gp5 *.gpx *.gp *.musicxml *.xml *.mxl *.mid "
                   "*.midi *.txt)");
// How long the import's summary stays in the status bar.
constexpr int kMessageMs = 8000;
// A box lists this many problems; the rest are counted.
constexpr std::size_t kListed = 12;

// Enough of a file to tell a song from a tab: a zip's entry names stand at its end too, so
// a song is read whole, up to the size a reader takes.
platform::FileRead readSongFile(const QString& path)
{
    return platform::readRegularFile(path, static_cast<qint64>(files::kLargestSongFile));
}

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString problemList(const std::vector<files::SongProblem>& problems)
{
    QStringList shown;
    for (const files::SongProblem& problem : problems) {
        if (static_cast<std::size_t>(shown.size()) == kListed) {
            shown << QStringLiteral("and %1 more").arg(problems.size() - kListed);
            break;
        }
        const QString what = QString::fromStdString(problem.what);
        shown << (problem.bar > 0
                      ? QStringLiteral("Bar %1, beat %2: %3")
                            .arg(problem.bar)
                            .arg(QString::fromStdString(files::beatText(problem.beat)), what)
                      : what);
    }
    return shown.join(QLatin1Char('\r'));
}

} // namespace

ImportingFeature::ImportingFeature(QMainWindow& window, document::Document& document,
                                   CommandRouter& router, Prompter& prompter) :
    m_window(window),
    m_document(document), m_prompter(prompter)
{
    router.handle(Command::Import, this, [this] { chooseAndImport(); });
}

void ImportingFeature::chooseAndImport()
{
    if (m_dialog == nullptr) {
        m_dialog = new TabFileDialog(&m_window, QStringLiteral("ImportAnyFile"), kImportCaption,
                                     QFileDialog::AcceptOpen);
        m_dialog->setNameFilters({kEveryFormat, QStringLiteral("All files (*)")});
        m_dialog->selectNameFilter(kEveryFormat);
        m_dialog->selectFile(QString());
    }
    if (m_dialog->exec() != QDialog::Accepted || m_dialog->selectedFiles().isEmpty())
        return;
    const QString path = m_dialog->selectedFiles().constFirst();
    if (!openIfSong(path) && m_webTab)
        m_webTab(path);
}

bool ImportingFeature::openIfSong(const QString& path)
{
    const platform::FileRead file = readSongFile(path);
    if (file.tooLarge || !file.ok)
        return false; // not taken: the tab's own opening says why it cannot be read
    if (files::songFormat(view(file.bytes), QFileInfo(path).fileName().toStdString()) ==
        files::SongFormat::None)
        return false;
    importSong(path, file.bytes);
    return true;
}

void ImportingFeature::importSong(const QString& path, const QByteArray& bytes)
{
    const QString name = QDir::toNativeSeparators(path);
    const files::SongReading reading =
        files::readSong(view(bytes), QFileInfo(path).fileName().toStdString(), m_readers);
    if (!reading.ok()) {
        m_prompter.error(name + QLatin1Char(' ') + QString::fromStdString(reading.error) +
                             QLatin1Char('.'),
                         kImportCaption);
        return;
    }
    const files::Song& song = reading.song;
    int track = files::defaultTrack(song);
    if (track < 0) {
        const std::vector<files::TrackSummary> tracks = files::listTracks(song);
        m_prompter.error(QStringLiteral("%1 has no track Quorlin can write as a bass tab: %2.")
                             .arg(name, QString::fromStdString(tracks.front().whyNot)),
                         kImportCaption);
        return;
    }
    m_document.follow();
    if (!m_document.isEmpty() &&
        !m_prompter.askYesNo(QStringLiteral("The imported tab takes the place of the present "
                                            "one; Undo brings it back.\rImport it?"),
                             kImportCaption))
        return;
    files::SongTabOptions options;
    options.tabWidth = m_document.state().tabWidth;
    if (song.tracks.size() > 1) {
        TrackDialog dialog(&m_window, QFileInfo(path).fileName(), song);
        if (dialog.exec() != QDialog::Accepted || dialog.chosen() < 0)
            return;
        track = dialog.chosen();
        options.repeatsOnce = dialog.repeatsOnce();
    }
    const files::SongTab made = files::songToTab(song, track, options);
    const document::NewTab tab = document::songNewTab(
        made, m_document.state(), "Import", QString::fromStdString(files::songSummary(made)));
    m_document.replace(tab);
    m_window.statusBar()->showMessage(tab.report, kMessageMs);
    emit imported(QFileInfo(path).absoluteFilePath());
    if (!made.problems.empty())
        m_prompter.inform(QStringLiteral("The track was imported, but not all of it as "
                                         "written:\r") +
                              problemList(made.problems),
                          kImportCaption);
}

} // namespace quorlin::ui
