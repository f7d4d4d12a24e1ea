#include "ui/play/PlayFeature.h"

#include "audio/FontCheck.h"
#include "document/Document.h"
#include "instrument/Preferences.h"
#include "ui/commands/CommandRouter.h"
#include "ui/play/SoundFontDialog.h"
#include "ui/play/TransportBar.h"

#include <QAction>
#include <QComboBox>
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

std::optional<TextPlace> cursorPlace(const document::Document& document)
{
    const std::optional<int> at = document.tabCursor();
    if (!at)
        return std::nullopt;
    const std::vector<engine::Column>& columns = document.columns();
    // A hand edit not taken in yet may have left fewer columns than the cursor's number.
    if (*at < 0 || static_cast<std::size_t>(*at) >= columns.size())
        return std::nullopt;
    const engine::Column& column = columns[static_cast<std::size_t>(*at)];
    return TextPlace{column.firstLine, column.character};
}

} // namespace

PlayFeature::PlayFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                         instrument::SettingsStore& store, NeckWidget& neck, QPlainTextEdit& text,
                         TextMarks& marks, AudioDevices devices) :
    m_window(window),
    m_document(document), m_commands(router.commands()), m_store(store),
    m_transport(new TransportBar(router.commands(), &window)),
    m_playback(new LivePlayback([&document] { return document.score(); },
                                [&document] { return cursorPlace(document); }, neck, text, marks,
                                std::move(devices), this))
{
    window.addToolBar(Qt::BottomToolBarArea, m_transport);
    m_playback->setFontPath(QString::fromStdString(
        instrument::loadPreference(store, instrument::kSoundFontPreference)));
    audio::trustFont(instrument::loadPreference(store, instrument::kGoodSoundFontPreference));
    connect(m_playback, &LivePlayback::fontReady, this, &PlayFeature::remember);

    const auto on = [this, &router](Command command, auto handler) {
        router.handle(command, this, handler);
    };
    on(Command::PlayPause, [this] { m_playback->playPause(); });
    on(Command::Stop, [this] { m_playback->stop(); });
    on(Command::Loop, [this](bool on) { m_playback->setLoop(on); });
    on(Command::Metronome, [this](bool on) { m_playback->setMetronome(on); });
    on(Command::Follow, [this](bool on) { m_playback->setFollow(on); });
    on(Command::SoundFont, [this] { chooseSoundFont(); });

    connect(&m_transport->tempo(), &QSpinBox::valueChanged, &document,
            &document::Document::setTempo);
    connect(&m_transport->timeSignature(), &QComboBox::currentIndexChanged, this,
            [this] { m_document.setTimeSignature(m_transport->chosenTimeSignature()); });
    connect(&document, &document::Document::changed, this, &PlayFeature::tabChanged);
    connect(m_playback, &LivePlayback::stateChanged, this, [this] {
        m_transport->showPlaying(m_playback->state() == LivePlayback::State::Playing);
    });
    connect(m_playback, &LivePlayback::positionChanged, m_transport, &TransportBar::showPosition);
    connect(m_playback, &LivePlayback::soundChanged, this, &PlayFeature::showSound);
    const auto say = [this](const QString& text) {
        m_window.statusBar()->showMessage(text, kMessageMs);
    };
    connect(m_playback, &LivePlayback::message, this, say);
    showSound();
    QTimer::singleShot(kFontLoadDelayMs, m_playback, [this] {
        if (!m_playback->ready() && m_playback->unavailable().isEmpty())
            m_playback->loadFont(m_playback->fontPath());
    });
}

PlayFeature::~PlayFeature() = default;

void PlayFeature::tabChanged()
{
    m_transport->showTempo(m_document.state().tempo);
    m_transport->showTimeSignature(m_document.state().time);
    m_playback->setTimeSignature(m_document.state().time);
    m_playback->tabChanged();
}

void PlayFeature::showSound()
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

void PlayFeature::chooseSoundFont()
{
    SoundFontDialog dialog(&m_window, m_playback->fontPath());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_chosenFont = dialog.chosen();
    m_playback->loadFont(m_chosenFont);
}

void PlayFeature::remember(const QString& font)
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
