#pragma once

// Gives every command exactly one handler. Each feature claims its commands here; a second
// claim on one command is a fault of the build-up, found the moment the window is made.

#include "ui/commands/Commands.h"

#include <QAction>
#include <QObject>

#include <array>
#include <vector>

class QAbstractButton;

namespace quorlin::ui {

class CommandRouter {
public:
    explicit CommandRouter(const Commands& commands) : m_commands(commands) {}

    const Commands& commands() const { return m_commands; }
    QAction* operator[](Command command) const { return m_commands[command]; }

    template <typename Handler>
    void handle(Command command, const QObject* context, Handler handler)
    {
        claim(command);
        QObject::connect(m_commands[command], &QAction::triggered, context, std::move(handler));
    }
    // A choice (a duration, a technique) is handled by the checkable button it stays in step
    // with.
    void choose(QAbstractButton& button, Command command);

    // The commands nobody claimed.
    std::vector<Command> unhandled() const;

private:
    // Throws std::logic_error when the command has a handler already.
    void claim(Command command);

    const Commands& m_commands;
    std::array<bool, static_cast<std::size_t>(Command::Count)> m_claimed{};
};

} // namespace quorlin::ui
