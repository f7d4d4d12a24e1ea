#pragma once

// The main window, a shell: it lays out the designed area between the menu bar and the
// status bar, builds the document and the features, and shows the document's state in the
// status bar. The features handle every command; only the text area grows with the window.

#include "engine/History.h"
#include "engine/Staff.h"
#include "instrument/Settings.h"
#include "ui/play/LivePlayback.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TBassForm;
}

class QLabel;

namespace quorlin::document {
class Document;
}
namespace quorlin::platform {
class SettingsFileStore;
}

namespace quorlin::ui {

class CommandRouter;
class Commands;
class ConvertFeature;
class EntryFeature;
class ExportFeature;
class FileFeature;
class ImportingFeature;
class HelpCommands;
class PlayFeature;
class PrintFeature;
class Prompter;
class RecoveryFeature;
class TabExport;
class TextMarks;
class THeaderForm;
class TTunningF;
class TranscribeFeature;
class UndoCommands;

class TBassForm : public QMainWindow {
    Q_OBJECT

public:
    // Without a prompter the window asks its questions in real message boxes; without a
    // store it keeps the tuning in the user's own settings. Tests play through fake devices.
    // Recovery copies go to the user's data folder unless `recoveryFolder` is given.
    explicit TBassForm(Prompter* prompter = nullptr, instrument::SettingsStore* store = nullptr,
                       QWidget* parent = nullptr, AudioDevices devices = AudioDevices::real(),
                       const QString& recoveryFolder = {});
    ~TBassForm() override;

    const engine::EditingState& state() const;
    const engine::History& history() const;
    const Commands& commands() const;
    // The column of the tab the tab cursor is on; none while notes are appended.
    std::optional<int> tabCursor() const;
    const document::Document& document() const { return *m_document; }
    const CommandRouter& router() const { return *m_router; }
    PlayFeature& playback() { return *m_play; }
    TabExport& exporter();
    PrintFeature& printing() { return *m_print; }
    ImportingFeature& importing() { return *m_importing; }
    TranscribeFeature& transcribing() { return *m_transcribe; }
    void setHelpFile(const QString& path);
    // The pop-up that a right-click on a string name opens; it lives as long as the window.
    void setTuningPopup(TTunningF* popup);
    // The song header dialog, which shows and edits the document's header.
    void setHeaderForm(THeaderForm* header);
    // Opens the tab named on the command line, as Load would; a file that cannot be read is
    // said so and the tab stays empty.
    void openAtStart(const QString& path);
    // Opens a tab chosen outside the Load dialog (a recent file, a file dropped on the
    // window), asking about unsaved work first. False when it was not opened.
    bool openFile(const QString& path);
    // Offers the work of runs that did not end cleanly; true when one was restored.
    bool offerRecovery();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateIt();
    void ShowIt();
    void applyLook();
    void buildStatusBar();
    void sayNoHome();
    // The controls, the menus' undo texts and the status bar follow the document here.
    void syncControls();
    void showBlockSoon();
    void showCursor();
    void showTextPlace();

    std::unique_ptr<Ui::TBassForm> m_ui;
    QWidget* m_area;
    // The designed area's size less the text area's, kept as the window grows.
    QSize m_textMargins;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter* m_prompter;
    std::unique_ptr<platform::SettingsFileStore> m_ownStore;
    instrument::SettingsStore* m_store;
    std::unique_ptr<document::Document> m_document;
    std::unique_ptr<Commands> m_commands;
    std::unique_ptr<CommandRouter> m_router;
    // The text area's marks, which the tab cursor and playback share.
    std::unique_ptr<TextMarks> m_marks;
    // The features go before the widgets they work on.
    std::unique_ptr<EntryFeature> m_entry;
    std::unique_ptr<FileFeature> m_file;
    std::unique_ptr<UndoCommands> m_undo;
    std::unique_ptr<HelpCommands> m_help;
    std::unique_ptr<ConvertFeature> m_convert;
    std::unique_ptr<PlayFeature> m_play;
    std::unique_ptr<ExportFeature> m_export;
    std::unique_ptr<PrintFeature> m_print;
    std::unique_ptr<RecoveryFeature> m_recovery;
    std::unique_ptr<ImportingFeature> m_importing;
    std::unique_ptr<TranscribeFeature> m_transcribe;
    QLabel* m_cursorStatus = nullptr;
    QLabel* m_choiceStatus = nullptr;
    QLabel* m_placeStatus = nullptr;
    QLabel* m_fileStatus = nullptr;
    // What the cursor field shows, so that an action changing none of it leaves it alone.
    QPoint m_shownCell{-1, -1};
    std::string m_shownName;
    bool m_showPending = false;
    bool m_shown = false;
};

} // namespace quorlin::ui
