#include "ui/play/TransportBar.h"

#include "score/Score.h"
#include "ui/commands/Commands.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace quorlin::ui {

TransportBar::TransportBar(const Commands& commands, QWidget* parent) :
    QToolBar(QStringLiteral("Transport"), parent), m_commands(commands)
{
    setObjectName(QStringLiteral("Transport"));
    // It belongs below the designed area, not wherever a drag leaves it.
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    addAction(commands[Command::PlayPause]);
    addAction(commands[Command::Stop]);
    addSeparator();

    auto* label = new QLabel(QStringLiteral(" Tempo "), this);
    m_tempo = new QSpinBox(this);
    m_tempo->setObjectName(QStringLiteral("TempoField"));
    m_tempo->setRange(score::kMinTempo, score::kMaxTempo);
    m_tempo->setValue(score::kDefaultTempo);
    m_tempo->setSuffix(QStringLiteral(" bpm"));
    m_tempo->setToolTip(QStringLiteral("Quarter-note beats per minute, saved with the tab"));
    label->setBuddy(m_tempo);
    addWidget(label);
    addWidget(m_tempo);
    addSeparator();
    addAction(commands[Command::Loop]);
    addAction(commands[Command::Metronome]);
    addAction(commands[Command::Follow]);
    // Short words on the buttons; the menu keeps the full ones.
    commands[Command::Metronome]->setIconText(QStringLiteral("Click"));
    commands[Command::Follow]->setIconText(QStringLiteral("Follow"));
    addSeparator();

    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("PlayPosition"));
    m_position->setMinimumWidth(
        m_position->fontMetrics().horizontalAdvance(QStringLiteral("block 9999, beat 99.75")));
    m_position->setContentsMargins(6, 0, 6, 0);
    addWidget(m_position);
}

void TransportBar::showTempo(int bpm)
{
    if (m_tempo->value() == bpm)
        return;
    const QSignalBlocker quiet(m_tempo);
    m_tempo->setValue(bpm);
}

void TransportBar::showPosition(const QString& text)
{
    if (m_position->text() != text)
        m_position->setText(text);
}

void TransportBar::showPlaying(bool playing)
{
    m_commands[Command::PlayPause]->setText(playing ? QStringLiteral("&Pause")
                                                    : QStringLiteral("&Play"));
}

} // namespace quorlin::ui
