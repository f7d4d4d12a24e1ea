#include "ui/common/HelpCommands.h"

#include "ui/commands/CommandRouter.h"
#include "ui/common/HelpViewer.h"
#include "ui/common/Prompter.h"

#include <QPushButton>

namespace quorlin::ui {

namespace {

const QString kHelpFileName = QStringLiteral("Quorlin.hlp");
constexpr int kHelpOverviewTopic = 1;
constexpr int kKeyboardMapTopic = 12;

} // namespace

HelpCommands::HelpCommands(QWidget& window, CommandRouter& router, Prompter& prompter,
                           QPushButton& help) :
    m_window(window),
    m_prompter(prompter), m_helpFile(HelpViewer::installedFile(kHelpFileName))
{
    router.handle(Command::Help, this, [this] { HelpMe(); });
    router.handle(Command::KeyboardMap, this, [this] { openHelp(kKeyboardMapTopic); });
    router.handle(Command::About, this, [this] { showAbout(); });
    router.commands().bind(help, Command::Help);
    connect(&help, &QPushButton::clicked, this, &HelpCommands::HelpMe);
}

void HelpCommands::HelpMe()
{
    openHelp(kHelpOverviewTopic);
}

void HelpCommands::openHelp(int topic)
{
    if (m_help == nullptr)
        m_help = new HelpViewer(&m_window);
    m_help->openAt(m_helpFile, topic);
}

void HelpCommands::showAbout()
{
    m_prompter.inform(QStringLiteral("Quorlin v1.0.0\rA bass tablature editor: drop or type "
                                     "notes on the neck, and the tab grows as text."),
                      QStringLiteral("About Quorlin"));
}

} // namespace quorlin::ui
