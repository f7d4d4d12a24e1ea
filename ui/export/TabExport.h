#pragma once

// File > Export MIDI, Export WAV and Export MusicXML: the name, then the file written off the
// window's thread when it takes a while, with a progress bar that can cancel it.

#include "model/TimeSignature.h"
#include "platform/ExportJobs.h"
#include "score/Score.h"
#include "ui/common/BackgroundJob.h"
#include "ui/common/ExportName.h"

#include <QObject>

#include <functional>
#include <optional>

class QWidget;

namespace quorlin::ui {

class Prompter;

// What a score takes from the window beside the music.
struct TabDetails {
    instrument::Tuning tuning;
    files::SongHeader header;
    // The tab's own file, whose name the score takes; empty until it is saved.
    QString path;
    model::TimeSignature time;
};

class TabExport : public QObject {
    Q_OBJECT

public:
    TabExport(QWidget& window, Prompter& prompter, std::function<score::Score()> read,
              std::function<QString()> soundFont);
    ~TabExport() override;

    void exportFile(platform::ExportFormat format);
    // Writes without asking for a name; what the menu does once it has one.
    void exportTo(platform::ExportFormat format, const QString& path);
    bool busy() const { return m_job.busy(); }

    void setDetails(std::function<TabDetails()> details) { m_details = std::move(details); }
    // The key and title first, then the name.
    void exportMusicXml();
    void exportMusicXmlTo(const QString& path, const files::MusicXmlOptions& options);

signals:
    // Said once in the status bar.
    void message(const QString& text);
    void finished();

private:
    // The tab, or nothing with the reason said when it holds nothing to export or `path` is
    // the tab's own file, which the export would destroy.
    std::optional<score::Score> readToExport(const QString& path);
    void report(bool written, const QString& path, const QString& problem);
    // Writes the file on the worker thread behind a window-modal progress bar, then reports.
    void inBackground(const QString& title, const QString& path, bool cancellable,
                      BackgroundJob::Job job);

    QWidget& m_window;
    Prompter& m_prompter;
    std::function<score::Score()> m_read;
    std::function<QString()> m_soundFont;
    std::function<TabDetails()> m_details;
    ExportName m_name;
    BackgroundJob m_job;
    QString m_skipped;
};

} // namespace quorlin::ui
