#include "ui/GuardedApplication.h"

#include <QTest>

#include <stdexcept>

using quorlin::ui::GuardedApplication;

class GuardedApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void anEscapedErrorIsReportedAndTheNextEventStillRuns()
    {
        QStringList reported;
        static_cast<GuardedApplication*>(QCoreApplication::instance())
            ->setReporter([&](const QString& message) { reported << message; });
        // Each call arrives as an event of its own.
        const auto post = [this](auto call) {
            QMetaObject::invokeMethod(this, call, Qt::QueuedConnection);
        };
        bool ran = false;
        post([] { throw std::runtime_error("The tab line is out of reach"); });
        post([] { throw 42; });
        post([&] { ran = true; });
        QCoreApplication::processEvents();
        QVERIFY(ran);
        QCOMPARE(reported, (QStringList{"The tab line is out of reach", "Unknown error"}));
    }
};

int main(int argc, char** argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GuardedApplicationTest.moc"
