#pragma once

// The main window. It binds the controls to the engine and keeps nothing of the tab
// itself: the text area is the tab, and the engine holds the editing state.

#include "engine/Staff.h"
#include "instrument/Settings.h"

#include <QFileDialog>
#include <QWidget>

#include <memory>

namespace Ui {
class TBassForm;
}

namespace quorlin::ui {

class HelpViewer;
class THeaderForm;
class Prompter;
class TabFileDialog;
class TextAreaTabText;
class TTunningF;

class TBassForm : public QWidget {
    Q_OBJECT

public:
    // Without a prompter the window asks its questions in real message boxes; without a
    // store it keeps the tuning in the user's own settings.
    explicit TBassForm(Prompter* prompter = nullptr, instrument::SettingsStore* store = nullptr,
                       QWidget* parent = nullptr);
    ~TBassForm() override;

    const engine::EditingState& state() const { return m_staff->state(); }
    void setHelpFile(const QString& path) { m_helpFile = path; }
    // The pop-up that a right-click on a string name opens; it lives as long as the window.
    void setTuningPopup(TTunningF* popup) { m_tuningPopup = popup; }
    // The song header dialog; saving reads it and loading fills it.
    void setHeaderForm(THeaderForm* header) { m_headerForm = header; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateIt();
    void ShowIt();
    void JumpLine();
    bool Clear();
    void ChangeMaxLength(const QString& text);
    void StringsChange(int value);
    void Dropped(QPoint point, char symbol);
    void ChordError();
    void MouseDown(Qt::MouseButton button, QPoint point);
    void setRest(char symbol);
    void RepeatLast();
    void GoBack();
    bool SaveTab();
    void LoadDaTab();
    void CopyToClip();
    void SetHeader();
    void CloseApp();
    void HelpMe();

    engine::Technique technique() const;
    // The chosen path, or nothing when the user cancelled.
    QString chooseFile(TabFileDialog*& dialog, const char* name, const QString& title,
                       QFileDialog::AcceptMode mode);
    bool writeTab(const QString& path);
    // Asks before unsaved work is dropped; false when the user wants to stay.
    bool maybeSave();
    void markSaved();
    void applyLook();
    void connectHandlers();
    // The controls, and the lines in view, follow the engine's state here, and only here.
    void syncControls();
    void updateControls();
    void showBlockSoon();
    // Typing and the area's own undo change the tab behind the engine: its state and the
    // controls follow once the change is complete.
    void followHandEdits();

    std::unique_ptr<Ui::TBassForm> m_ui;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter* m_prompter;
    std::unique_ptr<TextAreaTabText> m_text;
    std::unique_ptr<engine::Staff> m_staff;
    HelpViewer* m_help = nullptr;
    TTunningF* m_tuningPopup = nullptr;
    THeaderForm* m_headerForm = nullptr;
    std::unique_ptr<instrument::SettingsStore> m_ownStore;
    instrument::SettingsStore* m_store;
    TabFileDialog* m_saveFile = nullptr;
    TabFileDialog* m_openFile = nullptr;
    // Exit has asked about unsaved work already; closing must not ask again.
    bool m_leaving = false;
    bool m_followPending = false;
    bool m_showPending = false;
    QString m_helpFile;
};

} // namespace quorlin::ui
