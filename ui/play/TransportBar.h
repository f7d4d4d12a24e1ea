#pragma once

// The transport below the designed area: play and stop, the tempo and time signature, loop,
// the metronome, following in the tab, and where playback is.

#include "model/TimeSignature.h"

#include <QToolBar>

class QComboBox;
class QLabel;
class QSpinBox;

namespace quorlin::ui {

class Commands;

class TransportBar final : public QToolBar {
    Q_OBJECT

public:
    TransportBar(const Commands& commands, QWidget* parent);

    QSpinBox& tempo() const { return *m_tempo; }
    // Shows the tempo without reporting a change.
    void showTempo(int bpm);
    QComboBox& timeSignature() const { return *m_time; }
    // The one chosen; 4/4 for none.
    model::TimeSignature chosenTimeSignature() const;
    // Shows it without reporting a change; one the list does not offer (a file's) is added
    // to it until another is shown.
    void showTimeSignature(model::TimeSignature time);
    void showPosition(const QString& text);
    void showPlaying(bool playing);

private:
    const Commands& m_commands;
    QSpinBox* m_tempo;
    QComboBox* m_time;
    QLabel* m_position;
};

} // namespace quorlin::ui
