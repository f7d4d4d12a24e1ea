#include "ui/commands/CommandRouter.h"

#include <stdexcept>
#include <string>

namespace quorlin::ui {

void CommandRouter::choose(QAbstractButton& button, Command command)
{
    claim(command);
    m_commands.bind(button, command);
}

void CommandRouter::claim(Command command)
{
    bool& claimed = m_claimed.at(static_cast<std::size_t>(command));
    if (claimed)
        throw std::logic_error("a second handler for command " +
                               std::to_string(static_cast<int>(command)));
    claimed = true;
}

std::vector<Command> CommandRouter::unhandled() const
{
    std::vector<Command> left;
    for (std::size_t i = 0; i < m_claimed.size(); ++i) {
        if (!m_claimed[i])
            left.push_back(static_cast<Command>(i));
    }
    return left;
}

} // namespace quorlin::ui
