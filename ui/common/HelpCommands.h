#pragma once

// Help > Help, Keyboard map and About, and the designed area's "Help" button.

#include <QObject>
#include <QString>

class QPushButton;
class QWidget;

namespace quorlin::ui {

class CommandRouter;
class HelpViewer;
class Prompter;

class HelpCommands : public QObject {
    Q_OBJECT

public:
    HelpCommands(QWidget& window, CommandRouter& router, Prompter& prompter, QPushButton& help);

    void setHelpFile(const QString& path) { m_helpFile = path; }

private:
    void HelpMe();
    void openHelp(int topic);
    void showAbout();

    QWidget& m_window;
    Prompter& m_prompter;
    HelpViewer* m_help = nullptr;
    QString m_helpFile;
};

} // namespace quorlin::ui
