#pragma once

#include <QApplication>

#include <functional>

namespace quorlin::ui {

inline const QString kApplicationTitle = QStringLiteral("Ambrel Quorlin Builder v1.0");

// An error that no handler caught ends only the event that raised it: the user is told,
// and the program goes on with the next event.
class GuardedApplication : public QApplication {
    Q_OBJECT

public:
    using Reporter = std::function<void(const QString& message)>;

    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Replaces the error box, for tests.
    void setReporter(Reporter reporter) { m_reporter = std::move(reporter); }

private:
    Reporter m_reporter;
};

// The box the user sees: the error's own message and a full stop, under the program's title.
void showUnhandledError(const QString& message);

} // namespace quorlin::ui
