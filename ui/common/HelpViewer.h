#pragma once

// Our own help: a plain UTF-8 file of topics, each opened by a line
// "@topic <number> <title>" and written in Markdown, shown by a small viewer
// window. Topics link to each other with "[text](#topic-N)".

#include <QDialog>
#include <QList>
#include <QString>

class QListWidget;
class QTextBrowser;
class QUrl;

namespace quorlin::ui {

struct HelpTopic {
    int number = 0;
    QString title;
    QString body; // Markdown
};

// Topics in file order. Text before the first "@topic" line is a note for the
// file's author; an "@topic" line without a number is ordinary body text.
QList<HelpTopic> parseHelpTopics(const QString& text);

class HelpViewer : public QDialog {
    Q_OBJECT

public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Where the help file `name` is: beside the program in the build tree, or under the
    // share folder next to the program's own folder once installed.
    static QString installedFile(const QString& name);

    // Reads the file afresh, shows, raises and activates the window at the
    // topic with that context number, or at the first topic when there is none.
    // False when the file cannot be read or holds no topic; the window then
    // shows a message instead.
    bool openAt(const QString& helpFilePath, int contextNumber);

private:
    void showRow(int row);
    void followLink(const QUrl& url);
    void showMessage(const QString& message);
    int rowOf(int contextNumber) const;

    QListWidget* m_topicList;
    QTextBrowser* m_page;
    QList<HelpTopic> m_topics;
};

} // namespace quorlin::ui
