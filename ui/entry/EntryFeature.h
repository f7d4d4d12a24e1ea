#pragma once

// Writing the tab: notes dropped or typed on the neck, rests, Rep, <-, New line, the width
// and string count, a string retuned from the neck, and the choice of the next note
// (duration, dot, technique). Each becomes one action of the document.

#include "engine/Staff.h"

#include <QObject>
#include <QPoint>

#include <vector>

class QAbstractButton;
class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Commands;
class NeckWidget;
class Prompter;
class RestPanel;
class TTunningF;

// The controls of the designed area that choose and write notes.
struct EntryControls {
    QWidget* area;
    NeckWidget* neck;
    RestPanel* rests;
    QSpinBox* width;
    QSpinBox* strings;
    QCheckBox* dot;
    QRadioButton* chord;
    QRadioButton* triplet;
    QRadioButton* plain;
    // Hammer-on, pull-off, slide, slap, pop, chord and triplet, in that order.
    std::vector<QRadioButton*> techniques;
    // 16th to whole, in that order.
    std::vector<QPushButton*> palette;
    QPushButton* newLine;
    QPushButton* repeat;
    QPushButton* back;
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
    engine::Technique technique() const;

    document::Document& m_document;
    const Commands& m_commands;
    Prompter& m_prompter;
    EntryControls m_c;
    TTunningF* m_tuningPopup = nullptr;
    char m_duration = 'q';
};

} // namespace quorlin::ui
