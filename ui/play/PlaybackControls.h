#pragma once

// What the window gained to be heard: the transport below the designed area, the Play menu,
// the sound font setting and the exports. The window only hands over its tab and its
// tempo; everything else is bound here.

#include "ui/play/LivePlayback.h"

#include <QObject>

#include <memory>

class QMainWindow;
class QPlainTextEdit;

namespace quorlin::instrument {
class SettingsStore;
}

namespace quorlin::ui {

class Commands;
class NeckWidget;
class Prompter;
class TabExport;
class TransportBar;

class PlaybackControls : public QObject {
    Q_OBJECT

public:
    PlaybackControls(QMainWindow& window, const Commands& commands, Prompter& prompter,
                     instrument::SettingsStore& store, NeckWidget& neck, QPlainTextEdit& text,
                     TabSource tab, AudioDevices devices);
    ~PlaybackControls() override;

    // The tab or its tempo changed, by an action, undo or the user's hands.
    void tabChanged(int tempo);

    LivePlayback& playback() { return *m_playback; }
    TabExport& exporter() { return *m_export; }
    TransportBar& transport() { return *m_transport; }

signals:
    // The user set another tempo; the window makes it a step of the history.
    void tempoEdited(int bpm);

private:
    void chooseSoundFont();
    void remember(const QString& font);
    void showSound();

    QMainWindow& m_window;
    const Commands& m_commands;
    instrument::SettingsStore& m_store;
    TransportBar* m_transport;
    LivePlayback* m_playback;
    std::unique_ptr<TabExport> m_export;
    QString m_chosenFont; // picked by the user, remembered once it loads
};

} // namespace quorlin::ui
