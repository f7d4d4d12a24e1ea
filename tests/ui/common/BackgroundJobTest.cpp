// A job's progress bar is gone once the job has ended, also while what `done` opens (a message
// box with its own event loop) is on the screen.

#include "ui/common/BackgroundJob.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <thread>

using namespace quorlin;

class BackgroundJobTest : public QObject {
    Q_OBJECT

private slots:
    void barGoneWhileDoneIsOnScreen_data()
    {
        // How long the job takes against the bar's wait before it shows itself (300 ms).
        QTest::addColumn<int>("jobMs");
        QTest::newRow("ends before the bar shows") << 50;
        QTest::newRow("ends after the bar shows") << 600;
    }

    void barGoneWhileDoneIsOnScreen()
    {
        QFETCH(int, jobMs);
        QWidget window;
        window.show();
        ui::BackgroundJob job(window);
        bool finished = false;
        bool barShown = true;
        job.start(
            QStringLiteral("Test"), QStringLiteral("Working..."), true,
            [jobMs](const platform::ExportProgress&, QString&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(jobMs));
                return true;
            },
            [&](bool, const QString&) {
                // A box of our own: its loop runs past the moment the bar would show itself.
                QEventLoop box;
                QTimer::singleShot(800, &box, [&] {
                    barShown = false;
                    for (QProgressDialog* bar : window.findChildren<QProgressDialog*>())
                        barShown = barShown || bar->isVisible();
                    box.quit();
                });
                box.exec();
                finished = true;
            });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 5000);
        QVERIFY(!barShown);
    }
};

QTEST_MAIN(BackgroundJobTest)
#include "BackgroundJobTest.moc"
