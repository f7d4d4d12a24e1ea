#include "ui/play/TransportBar.h"

#include "score/Score.h"
#include "ui/commands/Commands.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include <iterator>

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

    auto* timeLabel = new QLabel(QStringLiteral(" Time "), this);
    m_time = new QComboBox(this);
    m_time->setObjectName(QStringLiteral("TimeSignatureField"));
    for (const model::TimeSignature time : model::kTimeSignatureChoices)
        m_time->addItem(QString::fromStdString(model::timeSignatureText(time)));
    m_time->setToolTip(
        QStringLiteral("The time signature, saved with the tab: the bars of the MusicXML score"));
    timeLabel->setBuddy(m_time);
    addWidget(timeLabel);
    addWidget(m_time);
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

model::TimeSignature TransportBar::chosenTimeSignature() const
{
    return model::readTimeSignature(m_time->currentText().toStdString())
        .value_or(model::TimeSignature());
}

void TransportBar::showTimeSignature(model::TimeSignature time)
{
    if (chosenTimeSignature() == time)
        return;
    const QSignalBlocker quiet(m_time);
    const int offered = static_cast<int>(std::size(model::kTimeSignatureChoices));
    while (m_time->count() > offered)
        m_time->removeItem(offered);
    const QString text = QString::fromStdString(model::timeSignatureText(time));
    if (m_time->findText(text) < 0)
        m_time->addItem(text);
    m_time->setCurrentText(text);
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
