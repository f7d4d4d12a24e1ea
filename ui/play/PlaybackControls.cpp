#include "ui/play/PlaybackControls.h"

#include "audio/FontCheck.h"
#include "instrument/Preferences.h"
#include "ui/commands/Commands.h"
#include "ui/play/SoundFontDialog.h"
#include "ui/export/TabExport.h"
#include "ui/play/TransportBar.h"

#include <QAction>
#include <QMainWindow>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

namespace quorlin::ui {

namespace {

// Long enough to be read, short enough not to hide the undo messages for long.
constexpr int kMessageMs = 6000;
// The font loads in the background once the window is up, so start-up never waits for it.
constexpr int kFontLoadDelayMs = 800;

} // namespace

PlaybackControls::PlaybackControls(QMainWindow& window, const Commands& commands,
                                   Prompter& prompter, instrument::SettingsStore& store,
                                   NeckWidget& neck, QPlainTextEdit& text, TabSource tab,
                                   AudioDevices devices) :
    m_window(window),
    m_commands(commands), m_store(store), m_transport(new TransportBar(commands, &window)),
    m_playback(new LivePlayback(tab, neck, text, std::move(devices), this)),
    m_export(std::make_unique<TabExport>(window, prompter, tab,
                                         [this] { return m_playback->fontPath(); }))
{
    window.addToolBar(Qt::BottomToolBarArea, m_transport);
    m_playback->setFontPath(QString::fromStdString(
        instrument::loadPreference(store, instrument::kSoundFontPreference)));
    audio::trustFont(instrument::loadPreference(store, instrument::kGoodSoundFontPreference));
    connect(m_playback, &LivePlayback::fontReady, this, &PlaybackControls::remember);

    const auto on = [this, &commands](Command command, auto handler) {
        connect(commands[command], &QAction::triggered, this, handler);
    };
    on(Command::PlayPause, [this] { m_playback->playPause(); });
    on(Command::Stop, [this] { m_playback->stop(); });
    on(Command::Loop, [this](bool on) { m_playback->setLoop(on); });
    on(Command::Metronome, [this](bool on) { m_playback->setMetronome(on); });
    on(Command::Follow, [this](bool on) { m_playback->setFollow(on); });
    on(Command::SoundFont, [this] { chooseSoundFont(); });
    on(Command::ExportMidi, [this] { m_export->exportFile(platform::ExportFormat::Midi); });
    on(Command::ExportWav, [this] { m_export->exportFile(platform::ExportFormat::Wav); });
    on(Command::ExportMusicXml, [this] { m_export->exportMusicXml(); });

    connect(&m_transport->tempo(), &QSpinBox::valueChanged, this, &PlaybackControls::tempoEdited);
    connect(m_playback, &LivePlayback::stateChanged, this,
            [this] { m_transport->showPlaying(m_playback->state() == LivePlayback::State::Playing); });
    connect(m_playback, &LivePlayback::positionChanged, m_transport, &TransportBar::showPosition);
    connect(m_playback, &LivePlayback::soundChanged, this, &PlaybackControls::showSound);
    const auto say = [this](const QString& text) {
        m_window.statusBar()->showMessage(text, kMessageMs);
    };
    connect(m_playback, &LivePlayback::message, this, say);
    connect(m_export.get(), &TabExport::message, this, say);
    showSound();
    QTimer::singleShot(kFontLoadDelayMs, m_playback, [this] {
        if (!m_playback->ready() && m_playback->unavailable().isEmpty())
            m_playback->loadFont(m_playback->fontPath());
    });
}

PlaybackControls::~PlaybackControls() = default;

void PlaybackControls::tabChanged(int tempo)
{
    m_transport->showTempo(tempo);
    m_playback->tabChanged();
}

void PlaybackControls::showSound()
{
    // Without sound neither can do anything, and both say why.
    const QString& why = m_playback->unavailable();
    const std::pair<Command, const char*> controls[] = {
        {Command::PlayPause, "Play or pause the tab (%1)"},
        {Command::Stop, "Stop and go back to the start (%1)"}};
    for (const auto& [command, tip] : controls) {
        QAction* action = m_commands[command];
        action->setEnabled(why.isEmpty());
        action->setToolTip(why.isEmpty() ? QString::fromLatin1(tip).arg(m_commands.keyText(command))
                                         : why);
    }
}

void PlaybackControls::chooseSoundFont()
{
    SoundFontDialog dialog(&m_window, m_playback->fontPath());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_chosenFont = dialog.chosen();
    m_playback->loadFont(m_chosenFont);
}

void PlaybackControls::remember(const QString& font)
{
    // A stamp that cannot be written only costs a check at the next start: not worth a word.
    const std::string stamp = audio::fontStamp(font.toStdString());
    if (stamp != instrument::loadPreference(m_store, instrument::kGoodSoundFontPreference))
        instrument::savePreference(m_store, instrument::kGoodSoundFontPreference, stamp);
    // Only a font that loaded is kept for the next start, so a bad pick cannot stick.
    if (font == std::exchange(m_chosenFont, QString()) &&
        !instrument::savePreference(m_store, instrument::kSoundFontPreference, font.toStdString()))
        m_window.statusBar()->showMessage(
            QStringLiteral("The sound font will be used, but could not be remembered: the "
                           "settings cannot be written."),
            kMessageMs);
}

} // namespace quorlin::ui
