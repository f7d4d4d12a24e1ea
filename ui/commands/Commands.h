#pragma once

// Every command of the main window, declared once with its menu, text, keys and tip. Its
// button, its menu item and its key all trigger the one QAction, which calls the handler.

#include <QKeySequence>
#include <QString>

#include <array>

class QAbstractButton;
class QAction;
class QMainWindow;
class QMenu;
class QWidget;

namespace quorlin::ui {

enum class Command {
    New,
    Open,
    Save,
    SaveAs,
    ExportMidi,
    ExportWav,
    ExportMusicXml,
    ExportPdf,
    ExportSvg,
    Import,
    Transcribe,
    ImportTab,
    Copy,
    PageSetup,
    PrintPreview,
    Print,
    Exit,
    Undo,
    Redo,
    CutColumns,
    CopyColumns,
    PasteColumns,
    SemitoneUp,
    SemitoneDown,
    OctaveUp,
    OctaveDown,
    PasteTabAsNotes,
    ChangeTuning,
    GoToBar,
    ViewSheet,
    ZoomIn,
    ZoomOut,
    ZoomFit,
    RepeatLast,
    DeleteLast,
    NewLine,
    WriteNote,
    Rest,
    Sixteenth,
    Eighth,
    Quarter,
    Half,
    Whole,
    Dot,
    HammerOn,
    PullOff,
    Slide,
    Slap,
    Pop,
    Chord,
    Triplet,
    Default,
    TabCursorLeft,
    TabCursorRight,
    TabCursorUp,
    TabCursorDown,
    TabCursorFirst,
    TabCursorEnd,
    TabCursorPreviousBar,
    TabCursorNextBar,
    SelectLeft,
    SelectRight,
    InsertNote,
    DeleteColumn,
    PlayPause,
    Stop,
    Loop,
    Metronome,
    Follow,
    SoundFont,
    Help,
    KeyboardMap,
    About,
    Count
};

class Commands {
public:
    // Builds the window's menu bar. Keys of the note cursor work only while `neck` has the
    // focus, so that the same keys still type into the text area.
    Commands(QMainWindow& window, QWidget& neck);

    // File > Open Recent, filled by whoever keeps the list.
    QMenu& recentMenu() const { return *m_recent; }

    QAction* operator[](Command command) const
    {
        return m_actions[static_cast<std::size_t>(command)];
    }
    // The command's first key as the menu shows it, for tool tips and the status bar.
    QString keyText(Command command) const;
    // The button that does the command names its key in its hint; a checkable one and the
    // menu item are one choice, checked together.
    void bind(QAbstractButton& button, Command command) const;

private:
    std::array<QAction*, static_cast<std::size_t>(Command::Count)> m_actions{};
    QMenu* m_recent = nullptr;
};

// The duration a palette key stands for.
Command durationCommand(char symbol);

} // namespace quorlin::ui
