#pragma once

// Playing the tab: the sound font loaded in the background, the player on the audio thread,
// and what the window shows while it plays (the neck's sounding notes, the sounding column
// in the text, the position). The window polls the player's position; the audio never
// waits for the window, and the window never waits for the audio.

#include "audio/FontCheck.h"
#include "audio/Player.h"
#include "audio/Synth.h"
#include "document/QtTabText.h"
#include "model/TimeSignature.h"
#include "score/Performance.h"
#include "score/Score.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QPlainTextEdit;

namespace quorlin::engine {
struct EditingState;
}

namespace quorlin::ui {

class NeckWidget;
class TextMarks;

// What makes the sound; tests give a fake synthesiser and a silent clock.
struct AudioDevices {
    std::function<std::unique_ptr<audio::Synth>(const std::string& font, std::string& error)> synth;
    std::function<std::unique_ptr<audio::AudioOutput>()> output;
    // Proves a font harmless before `synth` loads it here; none: every font is taken as it is.
    std::function<audio::FontCheck(const std::string& font)> check;

    static AudioDevices real();
};

using TabSource = std::function<score::Score()>;

// Where a column of the tab stands: its block's rhythm line and its first character.
struct TextPlace {
    int line = 0;
    int character = 0;

    auto operator<=>(const TextPlace&) const = default;
};
// The tab cursor's column; none while notes are appended.
using CursorSource = std::function<std::optional<TextPlace>()>;

class LivePlayback : public QObject {
    Q_OBJECT

public:
    enum class State { Stopped, Playing, Paused };

    // Play starts from the tab cursor's column when there is one.
    LivePlayback(TabSource tab, CursorSource cursor, NeckWidget& neck, QPlainTextEdit& text,
                 TextMarks& marks, AudioDevices devices, QObject* parent = nullptr);
    ~LivePlayback() override;

    // Loads the font in the background; an empty path takes the first installed one.
    void loadFont(const QString& path);
    // The font the first Play loads, unless loadFont comes first.
    void setFontPath(const QString& path) { m_fontPath = path; }
    // The font loading or loaded, if any.
    const QString& fontPath() const { return m_fontPath; }

    void playPause();
    void stop();
    void setLoop(bool on);
    void setMetronome(bool on);
    // The text area scrolls to the sounding column.
    void setFollow(bool on) { m_follow = on; }
    // The tab or its tempo changed: the player takes it from the next column on.
    void tabChanged();

    State state() const { return m_state; }
    bool ready() const { return m_player != nullptr; }
    // Why there is no sound, in words for the user; empty when there is or may be.
    const QString& unavailable() const { return m_unavailable; }
    // The bars the position is counted in.
    void setTimeSignature(model::TimeSignature time) { m_time = time; }
    // "bar 3, beat 2.5 (block 2)" while playing or paused.
    QString positionText() const;

signals:
    // A font loaded and playing from now on; one that is refused leaves the last one playing.
    void fontReady(const QString& path);
    void stateChanged();
    // Loading finished, well or not; unavailable() says which.
    void soundChanged();
    void positionChanged(const QString& text);
    // The sounding column by its rhythm line and first character in the text; line -1 when
    // none sounds.
    void columnPlaying(int line, int offset);
    // Something to say once in the status bar.
    void message(const QString& text);

private:
    struct Loaded;
    void fontLoaded(const std::shared_ptr<Loaded>& loaded);
    void start();
    void poll();
    void read();
    void perform();
    void show(std::int64_t tick);
    void setState(State state);
    // The blocks the text area's cursor or selection stands on, as score blocks [first, last].
    std::pair<int, int> chosenBlocks() const;
    // The score column a play from `place` starts with, past any it could not read; -1 for none.
    int columnFrom(TextPlace place) const;

    TabSource m_tab;
    CursorSource m_cursor;
    NeckWidget& m_neck;
    QPlainTextEdit& m_text;
    TextMarks& m_marks;
    AudioDevices m_devices;
    QString m_fontPath;
    QString m_playingFontPath; // the font of m_synth
    QString m_unavailable;
    std::thread m_loader;
    bool m_loading = false;
    bool m_playWhenLoaded = false;

    std::unique_ptr<audio::Synth> m_synth;
    std::unique_ptr<audio::AudioOutput> m_output;
    std::unique_ptr<audio::Player> m_player;

    State m_state = State::Stopped;
    score::Score m_score;
    model::TimeSignature m_time;
    // The blocks being played, first and last; the last is -1 for "to the end".
    int m_firstBlock = 0;
    int m_lastBlock = -1;
    // Or, from the tab cursor, its column on to the end: the loop goes back to it too, to
    // practise a passage.
    std::optional<TextPlace> m_from;
    std::int64_t m_startTick = 0;
    bool m_loop = false;
    bool m_metronome = false;
    bool m_follow = false;
    bool m_dirty = false;
    bool m_scoreStale = true; // m_score is not the tab as it is now
    bool m_textHadFocus = false;
    int m_shownColumn = -2;
    QString m_skipped;
    QTimer m_poll;
    QElapsedTimer m_sinceRead;
    qint64 m_readMs = 0;
};

} // namespace quorlin::ui
