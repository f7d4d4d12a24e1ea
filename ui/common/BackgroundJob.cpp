#include "ui/common/BackgroundJob.h"

#include <QProgressDialog>
#include <QTimer>

#include <memory>

namespace quorlin::ui {

namespace {

constexpr int kProgressSteps = 1000;

} // namespace

BackgroundJob::BackgroundJob(QWidget& window) : m_window(window) {}

BackgroundJob::~BackgroundJob()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundJob::start(const QString& title, const QString& text, bool cancellable, Job job,
                          Done done)
{
    auto* progress = new QProgressDialog(text, QStringLiteral("Cancel"), 0,
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
            [this, poll, progress, written, problem, cancellable, done = std::move(done)] {
                if (*written >= 0) {
                    // A modal progress bar runs the events while it shows a value: this may
                    // be the second time round, after the first one has finished the job.
                    if (!m_worker.joinable())
                        return;
                    poll->stop();
                    m_worker.join();
                    // Hidden now, its timer to show itself stopped (reset): a box `done`
                    // opens runs its own event loop, in which the deferred deletion does not
                    // happen, and the bar would show over the box.
                    progress->reset();
                    progress->hide();
                    progress->deleteLater();
                    done(*written == 1, *problem);
                    return;
                }
                if (cancellable)
                    progress->setValue(std::min(m_progress.load(), kProgressSteps - 1));
            });
    poll->start(50);
}

} // namespace quorlin::ui
