#pragma once

// File > Import ASCII tab, Edit > Paste tab as notes and Edit > Change tuning or strings:
// each makes a whole new tab that takes the present one's place as one step.

#include <QObject>

#include <QString>

#include <memory>

class QMainWindow;

namespace quorlin::document {
class Document;
struct NewTab;
} // namespace quorlin::document

namespace quorlin::ui {

class CommandRouter;
class Prompter;
class TabConversions;

class ConvertFeature : public QObject {
    Q_OBJECT

public:
    ConvertFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                   Prompter& prompter);
    ~ConvertFeature() override;

    // Imports the web tab at `path`, chosen in File > Import...
    void importWebTab(const QString& path);

private:
    void importFile();
    void pasteTabAsNotes();
    void changeTuning();
    void replaceTab(const std::optional<document::NewTab>& tab);

    QMainWindow& m_window;
    document::Document& m_document;
    std::unique_ptr<TabConversions> m_conversions;
};

} // namespace quorlin::ui
