#pragma once

// The transport below the designed area: play and stop, the tempo, loop, the metronome,
// following in the tab, and where playback is.

#include <QToolBar>

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
    void showPosition(const QString& text);
    void showPlaying(bool playing);

private:
    const Commands& m_commands;
    QSpinBox* m_tempo;
    QLabel* m_position;
};

} // namespace quorlin::ui
