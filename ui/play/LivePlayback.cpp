#include "ui/play/LivePlayback.h"

#include "document/QtTabText.h"
#include "engine/Staff.h"
#include "platform/ExportJobs.h"
#include "ui/common/LinesInView.h"
#include "ui/common/TextMarks.h"
#include "ui/neck/NeckWidget.h"

#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>

namespace quorlin::ui {

namespace {

// Fast enough that the neck follows a run of sixteenths at 400 beats per minute (37 ms each).
constexpr int kPollMilliseconds = 25;

} // namespace

struct LivePlayback::Loaded {
    QString path;
    std::unique_ptr<audio::Synth> synth;
    std::unique_ptr<audio::AudioOutput> output;
    // Over the two above, so it goes first.
    std::unique_ptr<audio::Player> player;
    std::string fontError;
    std::string deviceError;
};

AudioDevices AudioDevices::real()
{
    return {[](const std::string& font, std::string& error) {
                return platform::loadSynth(font, error);
            },
            [] { return audio::makeDeviceOutput(); }, &audio::checkFontOnce};
}

LivePlayback::LivePlayback(TabSource tab, CursorSource cursor, NeckWidget& neck,
                           QPlainTextEdit& text, TextMarks& marks, AudioDevices devices,
                           QObject* parent) :
    QObject(parent),
    m_tab(std::move(tab)), m_cursor(std::move(cursor)), m_neck(neck), m_text(text), m_marks(marks),
    m_devices(std::move(devices))
{
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &LivePlayback::poll);
    connect(m_text.document(), &QTextDocument::contentsChanged, this, &LivePlayback::tabChanged);
    // Play starts from the text cursor only when the user was last in the text, not on the neck.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == &m_text)
            m_textHadFocus = true;
        else if (now == &m_neck)
            m_textHadFocus = false;
    });
}

LivePlayback::~LivePlayback()
{
    m_player.reset();
    if (m_loader.joinable())
        m_loader.join();
}

void LivePlayback::loadFont(const QString& path)
{
    if (m_loading) {
        // One load at a time; the newest wish wins once the running one is done.
        m_fontPath = path;
        return;
    }
    m_fontPath = path;
    if (m_fontPath.isEmpty()) {
        const std::vector<std::string> fonts = audio::installedSoundFonts();
        if (fonts.empty()) {
            m_unavailable = QStringLiteral("No sound font is installed: choose one with "
                                           "Play > Sound font...");
            emit soundChanged();
            emit message(m_unavailable);
            return;
        }
        m_fontPath = QString::fromStdString(fonts.front());
    }
    m_loading = true;
    m_unavailable.clear();
    emit soundChanged();
    if (m_loader.joinable())
        m_loader.join();
    m_loader = std::thread([this, devices = m_devices, path = m_fontPath] {
        auto loaded = std::make_shared<Loaded>();
        loaded->path = path;
        const audio::FontCheck check =
            devices.check ? devices.check(path.toStdString()) : audio::FontCheck{true, {}};
        if (check.good)
            loaded->synth = devices.synth(path.toStdString(), loaded->fontError);
        else
            loaded->fontError = check.error;
        if (loaded->synth) {
            // The device is opened here and kept open, silent, so that the window can tell
            // before Play and Play never waits for it.
            loaded->output = devices.output();
            loaded->player = std::make_unique<audio::Player>(*loaded->synth, *loaded->output);
            if (!loaded->player->open(loaded->deviceError))
                loaded->player.reset();
        }
        QMetaObject::invokeMethod(
            this, [this, loaded] { fontLoaded(loaded); }, Qt::QueuedConnection);
    });
}

void LivePlayback::fontLoaded(const std::shared_ptr<Loaded>& loaded)
{
    m_loader.join();
    m_loading = false;
    if (loaded->path != m_fontPath) {
        loadFont(m_fontPath);
        return;
    }
    const bool play = std::exchange(m_playWhenLoaded, false);
    if (!loaded->synth && m_synth) {
        // The font that plays now is better than none.
        m_fontPath = m_playingFontPath;
        emit message(QStringLiteral("The sound font %1 could not be loaded: %2. %3 still plays.")
                         .arg(loaded->path, QString::fromStdString(loaded->fontError),
                              QFileInfo(m_playingFontPath).fileName()));
        if (play && m_player)
            start();
        return;
    }
    stop();
    m_player.reset();
    m_synth = std::move(loaded->synth);
    m_output = std::move(loaded->output);
    m_playingFontPath = m_synth ? loaded->path : QString();
    m_scoreStale = true; // the new player has heard no performance yet
    // The status bar says it short, once; the Play button's tip gives the detail.
    QString said;
    if (!m_synth) {
        m_unavailable = QStringLiteral("The sound font %1 could not be loaded: %2")
                            .arg(loaded->path, QString::fromStdString(loaded->fontError));
        said = QStringLiteral("The sound font could not be loaded: choose another with Play > "
                              "Sound font...");
    } else if (!loaded->deviceError.empty()) {
        m_unavailable = QString::fromStdString(loaded->deviceError);
        said = QStringLiteral("No sound device: Quorlin cannot play here, but it can export.");
    } else {
        m_unavailable.clear();
        m_player = std::move(loaded->player);
    }
    emit soundChanged();
    if (!said.isEmpty())
        emit message(said);
    if (m_synth)
        emit fontReady(loaded->path);
    if (play && m_player)
        start();
}

void LivePlayback::playPause()
{
    switch (m_state) {
    case State::Playing:
        m_player->pause();
        setState(State::Paused);
        return;
    case State::Paused:
        m_player->resume();
        setState(State::Playing);
        return;
    case State::Stopped:
        break;
    }
    if (m_player) {
        start();
    } else if (m_loading) {
        m_playWhenLoaded = true;
        emit message(QStringLiteral("Loading the sound font..."));
    } else if (!m_unavailable.isEmpty()) {
        emit message(m_unavailable);
    } else {
        m_playWhenLoaded = true;
        loadFont(m_fontPath);
    }
}

void LivePlayback::start()
{
    // A long tab takes a while to read: Play on a tab that has not changed since does not.
    const bool changed = m_scoreStale;
    if (changed)
        read();
    if (m_score.columns.empty()) {
        emit message(m_skipped.isEmpty() && m_score.skipped.empty()
                         ? QStringLiteral("There is nothing to play yet.")
                         : QString::fromStdString(score::skippedText(m_score)));
        return;
    }
    // The tab cursor is where the user stands in the tab: it wins over the text's caret.
    std::optional<TextPlace> from = m_cursor();
    if (from && columnFrom(*from) < 0)
        from.reset();
    const auto [first, last] = from ? std::pair{0, -1} : chosenBlocks();
    if (changed || from != m_from || first != m_firstBlock || last != m_lastBlock || m_dirty) {
        m_from = from;
        m_firstBlock = first;
        m_lastBlock = last;
        m_skipped.clear();
        perform();
    }
    std::string error;
    if (!m_player->play(m_startTick, error)) {
        m_unavailable = QString::fromStdString(error);
        m_player.reset();
        emit soundChanged();
        emit message(QStringLiteral("The sound device stopped working: Quorlin cannot play."));
        return;
    }
    setState(State::Playing);
    m_poll.start();
    show(m_player->tick());
}

void LivePlayback::read()
{
    QElapsedTimer timer;
    timer.start();
    m_score = m_tab();
    m_readMs = timer.elapsed();
    m_sinceRead.start();
    m_scoreStale = false;
}

void LivePlayback::perform()
{
    m_dirty = false;
    if (m_score.blocks.empty())
        return;
    const int blocks = static_cast<int>(m_score.blocks.size());
    const score::Block& first =
        m_score.blocks[static_cast<std::size_t>(std::clamp(m_firstBlock, 0, blocks - 1))];
    score::PerformOptions options;
    options.firstColumn = first.firstColumn;
    m_startTick = first.start;
    // An edit while playing may have taken the cursor's column away: then the blocks count.
    if (const int column = m_from ? columnFrom(*m_from) : -1; column >= 0) {
        options.firstColumn = static_cast<std::size_t>(column);
        m_startTick = m_score.columns[options.firstColumn].start;
    } else if (m_lastBlock >= 0) {
        const score::Block& last =
            m_score.blocks[static_cast<std::size_t>(std::clamp(m_lastBlock, 0, blocks - 1))];
        options.endColumn = std::max(last.firstColumn + last.columnCount, first.firstColumn);
    }
    options.metronome = m_metronome;
    auto performance = std::make_shared<const score::Performance>(score::perform(m_score, options));
    m_player->setLoop(m_loop, performance->startTick, performance->endTick);
    m_player->setPerformance(performance);

    const QString skipped = QString::fromStdString(score::skippedText(m_score));
    if (skipped != m_skipped && !skipped.isEmpty())
        emit message(skipped);
    m_skipped = skipped;
}

void LivePlayback::poll()
{
    if (!m_player)
        return;
    // On a long tab a reading takes a while: at most a fifth of the window's time goes to it,
    // however fast the user edits.
    if (m_dirty && m_sinceRead.hasExpired(4 * m_readMs)) {
        read();
        // Nothing left to play (Clear tab, everything deleted): the old notes must not go on.
        if (m_score.columns.empty()) {
            stop();
            return;
        }
        perform();
    }
    show(m_player->tick());
    if (m_player->finished())
        stop();
}

void LivePlayback::show(std::int64_t tick)
{
    emit positionChanged(positionText());
    const int index = m_score.columnAt(tick);
    if (index == m_shownColumn)
        return;
    m_shownColumn = index;
    QList<QPoint> cells;
    QList<QTextEdit::ExtraSelection> marks;
    if (index < 0)
        emit columnPlaying(-1, 0);
    if (index >= 0) {
        const score::Column& column = m_score.columns[static_cast<std::size_t>(index)];
        emit columnPlaying(column.line, column.offset);
        for (const score::Note& note : column.notes)
            cells << QPoint(note.fret, note.string);
        // The whole column, rhythm line to articulation line, without the user's cursor.
        const int lines = tabtext::blockLineCount(m_score.strings);
        QTextCharFormat format;
        format.setBackground(QColor(255, 214, 102));
        for (int i = 0; i < lines; ++i) {
            const QTextBlock block = m_text.document()->findBlockByNumber(column.line + i);
            if (!block.isValid())
                break;
            const int end = block.length() - 1;
            QTextCursor cursor(block);
            cursor.setPosition(block.position() + std::min(column.offset, end));
            cursor.setPosition(block.position() + std::min(column.offset + column.width, end),
                               QTextCursor::KeepAnchor);
            marks.append({cursor, format});
        }
        if (m_follow)
            showLines(m_text, column.line, column.line + lines - 1);
    }
    m_neck.setSounding(cells);
    m_marks.set(TextMarks::Layer::Playing, std::move(marks));
}

QString LivePlayback::positionText() const
{
    if (m_state == State::Stopped || !m_player || m_score.blocks.empty())
        return {};
    const std::int64_t tick = m_player->tick();
    const auto after =
        std::upper_bound(m_score.blocks.begin(), m_score.blocks.end(), tick,
                         [](std::int64_t t, const score::Block& block) { return t < block.start; });
    const auto block = after == m_score.blocks.begin() ? after : after - 1;
    return QString::fromStdString(model::barBeatText(tick, m_time)) +
           QStringLiteral(" (block %1)").arg(block - m_score.blocks.begin() + 1);
}

void LivePlayback::stop()
{
    m_playWhenLoaded = false;
    if (m_state == State::Stopped)
        return;
    // The transport first: the sound ends within a period, without waiting for anyone.
    setState(State::Stopped);
    emit positionChanged(QString());
    if (m_player)
        m_player->stop();
    m_poll.stop();
    m_shownColumn = -2;
    emit columnPlaying(-1, 0);
    m_neck.setSounding({});
    m_marks.clear(TextMarks::Layer::Playing);
}

void LivePlayback::setLoop(bool on)
{
    m_loop = on;
    tabChanged();
}

void LivePlayback::setMetronome(bool on)
{
    m_metronome = on;
    tabChanged();
}

void LivePlayback::tabChanged()
{
    m_scoreStale = true;
    if (m_state != State::Stopped)
        m_dirty = true;
}

void LivePlayback::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

std::pair<int, int> LivePlayback::chosenBlocks() const
{
    if (!m_textHadFocus)
        return {0, -1};
    const QTextCursor cursor = m_text.textCursor();
    const QTextDocument& document = *m_text.document();
    const int from = document.findBlock(cursor.selectionStart()).blockNumber();
    const int to = document.findBlock(cursor.selectionEnd()).blockNumber();
    // A line between blocks belongs to the block after it for the start, before it for the end.
    const auto& blocks = m_score.blocks;
    const auto firstAfter = std::find_if(blocks.begin(), blocks.end(), [&](const score::Block& b) {
        return m_score.blockOfLine(from) == &b - blocks.data() || b.line > from;
    });
    const int first =
        firstAfter == blocks.end() ? 0 : static_cast<int>(firstAfter - blocks.begin());
    if (!cursor.hasSelection())
        return {first, -1};
    int last = -1;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (blocks[b].line <= to)
            last = static_cast<int>(b);
    }
    return {first, std::max(first, last)};
}

int LivePlayback::columnFrom(TextPlace place) const
{
    const auto& columns = m_score.columns;
    const auto at = std::find_if(columns.begin(), columns.end(), [&](const score::Column& c) {
        return TextPlace{c.line, c.offset} >= place;
    });
    return at == columns.end() ? -1 : static_cast<int>(at - columns.begin());
}

} // namespace quorlin::ui
