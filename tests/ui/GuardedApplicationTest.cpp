#include "ui/GuardedApplication.h"

#include <QEvent>
#include <QTest>

#include <stdexcept>

using quorlin::ui::GuardedApplication;

namespace {

// Stands for a handler that lets an error escape.
class Faulty : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("The tab line is out of reach");
        if (e->type() == QEvent::User + 1)
            throw 42;
        ++handled;
        return true;
    }
};

} // namespace

class GuardedApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void anEscapedErrorIsReportedAndTheNextEventStillRuns();
};

void GuardedApplicationTest::anEscapedErrorIsReportedAndTheNextEventStillRuns()
{
    auto* app = static_cast<GuardedApplication*>(QCoreApplication::instance());
    QStringList reported;
    app->setReporter([&](const QString& message) { reported << message; });

    Faulty target;
    QEvent failing(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&target, &failing), false);
    QEvent strange(static_cast<QEvent::Type>(QEvent::User + 1));
    QCoreApplication::sendEvent(&target, &strange);
    QEvent fine(QEvent::MaxUser);
    QCOMPARE(QCoreApplication::sendEvent(&target, &fine), true);

    QCOMPARE(reported, (QStringList{QStringLiteral("The tab line is out of reach"),
                                    QStringLiteral("Unknown error")}));
    QCOMPARE(target.handled, 1);
}

int main(int argc, char** argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GuardedApplicationTest.moc"
