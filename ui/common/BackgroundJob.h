#pragma once

// A file written (or a recording heard) off the window's thread behind a window-modal progress
// bar that can cancel it: long work must neither freeze the window nor hold it hostage.

#include "platform/ExportJobs.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

class QWidget;

namespace quorlin::ui {

class BackgroundJob : public QObject {
    Q_OBJECT

public:
    // Runs on the worker thread: reports its progress, stops when told to, and says why
    // it failed; false with an empty problem when cancelled.
    using Job = std::function<bool(const platform::ExportProgress& progress, QString& problem)>;
    // Back on the window's thread once the job has ended.
    using Done = std::function<void(bool written, const QString& problem)>;

    explicit BackgroundJob(QWidget& window);
    // Stops a job still running and waits for it; `done` is not called then.
    ~BackgroundJob() override;

    bool busy() const { return m_worker.joinable(); }
    // `title` captions the progress bar and `text` says what is done ("Writing song.wav...");
    // without `cancellable` the bar only says the window is busy.
    void start(const QString& title, const QString& text, bool cancellable, Job job, Done done);

private:
    QWidget& m_window;
    std::thread m_worker;
    std::atomic<bool> m_cancel = false;
    std::atomic<int> m_progress = 0;
};

} // namespace quorlin::ui
