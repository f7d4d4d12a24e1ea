#pragma once

// Writing the tab: notes dropped or typed on the neck, rests, Rep, <-, New line, the width
// and string count, a string retuned from the neck, and the choice of the next note
// (duration, dot, technique). Each becomes one action of the document. Also the tab cursor:
// the column of the tab it stands on, moved from the neck or by Alt+click in the text.

#include "document/Document.h"
#include "engine/Staff.h"
#include "ui/commands/Commands.h"

#include <QObject>
#include <QPoint>

#include <optional>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace quorlin::ui {

class CommandRouter;
class NeckWidget;
class Prompter;
class RestPanel;
class TextMarks;
class TTunningF;

// The controls of the designed area that choose and write notes.
struct EntryControls {
    QWidget* area;
    NeckWidget* neck;
    RestPanel* rests;
    QSpinBox* width;
    QSpinBox* strings;
    QCheckBox* dot;
    QRadioButton* plain;
    // Hammer-on, pull-off, slide, slap, pop, chord and triplet, in that order.
    std::vector<QRadioButton*> techniques;
    // 16th to whole, in that order.
    std::vector<QPushButton*> palette;
    QPushButton* newLine;
    QPushButton* repeat;
    QPushButton* back;
    // The tab itself: the tab cursor shows there, and Alt+click puts it on a column.
    QPlainTextEdit* text;
    // The marks over it, which playback shares.
    TextMarks* marks;
};

class EntryFeature : public QObject {
    Q_OBJECT

public:
    EntryFeature(document::Document& document, CommandRouter& router, Prompter& prompter,
                 EntryControls controls);

    void setTuningPopup(TTunningF* popup) { m_tuningPopup = popup; }
    // The width and string fields show the document's values without reporting a change.
    void showSetup();
    // The controls that depend on the editing state follow it.
    void followState();
    // "q, dotted, Slap" and the like: the next note's choice, for the status bar.
    QString choice() const;
    void giveKeysToNeck();

signals:
    void choiceChanged();
    // Said in the status bar for a moment.
    void message(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void JumpLine();
    void ChangeMaxLength(const QString& text);
    void StringsChange(int value);
    void Dropped(QPoint point, char symbol);
    void ChordError();
    void MouseDown(Qt::MouseButton button, QPoint point);
    void setRest(char symbol);
    void RepeatLast();
    void GoBack();
    void writeNoteAtCursor();
    // A drop, a key and a double-click all write their note here.
    void placeNote(int fret, int string, char symbol);
    // The note the neck's choices make at a fret and string.
    engine::Drop drop(int fret, int string, char symbol) const;
    // A duration, the dot or a technique chosen: the tab cursor's column takes it.
    void choiceAtCursor(Command command);
    void moveTabCursor(Command command);
    // Edit > Go to bar...: the tab cursor to the column sounding where the bar begins.
    void goToBar();
    void insertNote();
    void copyColumns();
    void pasteColumns();
    void transpose(int semitones);
    // The boxes a refusal shows, and what the status bar says of notes turned plain.
    void report(const document::Document::Edited& edited);
    // The tab cursor's column marked on every line of its block; nothing while appending.
    void showTabCursor();
    // Scrolls the text area to the tab cursor's block.
    void revealTabCursor();
    // The column whose cells hold the character at `point` of the text area's viewport.
    std::optional<int> columnAt(QPoint point) const;

    document::Document& m_document;
    const Commands& m_commands;
    Prompter& m_prompter;
    EntryControls m_c;
    // Among the techniques: the chord is the one its availability greys.
    QRadioButton* m_chord;
    QRadioButton* m_triplet;
    TTunningF* m_tuningPopup = nullptr;
    char m_duration = 'q';
};

} // namespace quorlin::ui
