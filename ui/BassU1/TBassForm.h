#pragma once

// The main window. It binds the controls to the engine and keeps nothing of the tab
// itself: the text area is the tab, the engine holds the editing state and the history
// every user action goes through. The designed area sits between the menu bar and the
// status bar; only the text area grows with the window.

#include "engine/History.h"
#include "engine/Staff.h"
#include "instrument/Settings.h"
#include "ui/Playback.h"

#include <QFileDialog>
#include <QMainWindow>

#include <memory>
#include <optional>
#include <tuple>

namespace Ui {
class TBassForm;
}

class QLabel;

namespace quorlin::files {
struct LoadedTab;
struct SongHeader;
} // namespace quorlin::files

namespace quorlin::ui {

class Commands;
class HelpViewer;
class PlaybackControls;
class Recovery;
class SettingsFileStore;
class THeaderForm;
class Prompter;
class TabConversions;
class TabDocument;
struct NewTab;
class TextAreaTabText;
class TTunningF;

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

    const engine::EditingState& state() const { return m_staff->state(); }
    const engine::History& history() const { return *m_history; }
    const Commands& commands() const { return *m_commands; }
    PlaybackControls& playback() { return *m_playback; }
    void setHelpFile(const QString& path) { m_helpFile = path; }
    // The pop-up that a right-click on a string name opens; it lives as long as the window.
    void setTuningPopup(TTunningF* popup) { m_tuningPopup = popup; }
    // The song header dialog; saving reads it, loading fills it, and its "Ok" can be undone.
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
    void JumpLine();
    bool Clear();
    void ChangeMaxLength(const QString& text);
    void StringsChange(int value);
    void tempoChange(int bpm);
    void Dropped(QPoint point, char symbol);
    void ChordError();
    void MouseDown(Qt::MouseButton button, QPoint point);
    void setRest(char symbol);
    void RepeatLast();
    void GoBack();
    bool SaveTab();
    void LoadDaTab();
    void CopyToClip();
    void pasteTabAsNotes();
    void changeTuning();
    // Puts a tab made by an import or a retune in place of the present one, as one step.
    void replaceTab(const std::optional<NewTab>& tab);
    void SetHeader();
    void CloseApp();
    void HelpMe();

    // A drop, a key and a double-click all write their note here.
    void placeNote(int fret, int string, char symbol);
    void writeNoteAtCursor();
    void giveKeysToNeck();
    // Undo, or redo when forward, and say so in the status bar.
    void moveInHistory(bool forward);
    void openHelp(int topic);
    void showAbout();
    void headerChanged(const files::SongHeader& before, const files::SongHeader& after);
    // Puts a file just read in place of the tab; `cleared`: a "Clear tab" step came first.
    void adopt(const files::LoadedTab& tab, bool cleared);
    // The recovery copy follows every change, and goes once the tab is safe or empty.
    void keepRecoverable();

    // Runs one user action as one step of the history, then brings the window in line.
    template <typename Action>
    void act(const char* label, Action&& action, engine::StepOptions options = {})
    {
        m_history->record(label, std::forward<Action>(action), std::move(options));
        syncControls();
    }

    engine::Technique technique() const;
    void applyLook();
    void connectHandlers();
    void connectCommands();
    void buildStatusBar();
    // The neck, the controls, the menus' undo texts and the lines in view follow the engine's
    // state here, and only here.
    void syncControls();
    void updateControls();
    // The width and string fields show the engine's values without reporting a change.
    void showSetup();
    void showBlockSoon();
    void showChoice();
    void showCursor();
    void showTextPlace();
    // Typing and pasting change the tab behind the engine: the history takes them in once
    // the change is complete.
    void followHandEdits();

    std::unique_ptr<Ui::TBassForm> m_ui;
    QWidget* m_area;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter* m_prompter;
    std::unique_ptr<TextAreaTabText> m_text;
    std::unique_ptr<engine::Staff> m_staff;
    std::unique_ptr<engine::History> m_history;
    std::unique_ptr<TabDocument> m_document;
    std::unique_ptr<Commands> m_commands;
    // Goes before the widgets it shows the playback on.
    std::unique_ptr<PlaybackControls> m_playback;
    std::unique_ptr<TabConversions> m_conversions;
    QLabel* m_cursorStatus = nullptr;
    QLabel* m_choiceStatus = nullptr;
    QLabel* m_placeStatus = nullptr;
    QLabel* m_fileStatus = nullptr;
    std::unique_ptr<Recovery> m_recovery;
    // What the tab was when the recovery copy last heard of it.
    std::tuple<int, std::size_t, engine::Staff::Snapshot> m_lastChange;
    HelpViewer* m_help = nullptr;
    TTunningF* m_tuningPopup = nullptr;
    THeaderForm* m_headerForm = nullptr;
    std::unique_ptr<SettingsFileStore> m_ownStore;
    instrument::SettingsStore* m_store;
    char m_duration = 'q';
    // What the status bar and the undo items show, so that an action changing none of it
    // leaves them alone.
    QPoint m_shownCell{-1, -1};
    std::string m_shownName;
    const char* m_shownUndo = "";
    const char* m_shownRedo = "";
    // Exit has asked about unsaved work already; closing must not ask again.
    bool m_leaving = false;
    bool m_followPending = false;
    bool m_showPending = false;
    bool m_shown = false;
    QString m_helpFile;
};

} // namespace quorlin::ui
