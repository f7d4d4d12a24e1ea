#pragma once

// The tab as a file: New, Open, Save, Save as, the recent files and files dropped on the
// window, the song header, Exit and the questions before unsaved work is dropped. Reading
// and writing go through the tab file format; the document keeps the path and the saved
// point.

#include "files/TabFile.h"

#include <QFileDialog>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace quorlin::document {
class Document;
}
namespace quorlin::instrument {
class SettingsStore;
}
namespace quorlin::platform {
class SettingsFileStore;
}

namespace quorlin::ui {

class CommandRouter;
class DropAndRecent;
class Prompter;
class TabFileDialog;
class THeaderForm;

// The buttons of the designed area that work on the file.
struct FileControls {
    QPushButton* save;
    QPushButton* load;
    QPushButton* clear;
    QPushButton* exit;
    QPushButton* header;
    // Whether the tuning is kept for the next run, saved on Exit.
    QCheckBox* keepTuning;
    // Files dropped on the text area open too.
    QPlainTextEdit* text;
};

class FileFeature : public QObject {
    Q_OBJECT

public:
    // `ownStore`, when the window keeps the settings in the user's file, says on Exit when
    // the new settings could not be written.
    FileFeature(QWidget& window, document::Document& document, CommandRouter& router,
                Prompter& prompter, instrument::SettingsStore& store,
                const platform::SettingsFileStore* ownStore, FileControls controls);

    void setHeaderForm(THeaderForm* header) { m_header = header; }
    // Files of other programs' formats that open by being imported: true when it took one.
    void setSongOpener(std::function<bool(const QString& path)> open)
    {
        m_songOpener = std::move(open);
    }
    // A file imported elsewhere goes on the recent files too.
    void rememberRecent(const QString& path);
    // Opens the tab named on the command line; the tab is empty then, so nothing is asked.
    void openAtStart(const QString& path);
    // Opens a tab chosen outside the Load dialog, asking about unsaved work first. False
    // when it was not opened.
    bool openFile(const QString& path);
    // Asks before unsaved work is dropped; false when the user wants to stay.
    bool maybeSave();
    // The window may close: Exit asked already, or the user agreed now.
    bool mayClose();

signals:
    // Exit agreed: the window closes.
    void leave();

private:
    bool Clear();
    void LoadDaTab();
    bool SaveTab();
    void SetHeader();
    void CloseApp();
    // Writes to the file last loaded or saved; asks for a name when there is none yet.
    bool saveToCurrent();
    bool write(const QString& path);
    // Reads the file at `path`; nothing when it cannot be read (said so, naming the file).
    std::optional<files::LoadedTab> read(const QString& path);
    // Puts a file just read in place of the tab, then says what it deserves.
    void adopt(const files::LoadedTab& tab, const QString& path, bool cleared);
    // The chosen path, or nothing when the user cancelled.
    QString choose(TabFileDialog*& dialog, const char* name, const QString& title,
                   QFileDialog::AcceptMode mode);

    QWidget& m_window;
    document::Document& m_document;
    Prompter& m_prompter;
    instrument::SettingsStore& m_store;
    const platform::SettingsFileStore* m_ownStore;
    FileControls m_c;
    DropAndRecent* m_opening;
    THeaderForm* m_header = nullptr;
    TabFileDialog* m_saveFile = nullptr;
    TabFileDialog* m_openFile = nullptr;
    bool m_leaving = false;
    std::function<bool(const QString& path)> m_songOpener;
};

} // namespace quorlin::ui
