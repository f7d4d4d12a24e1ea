#pragma once

// The tab heard: the transport below the designed area, the Play menu, the tempo and the
// sound font setting.

#include "ui/play/LivePlayback.h"

#include <QObject>

#include <memory>

class QMainWindow;
class QPlainTextEdit;

namespace quorlin::instrument {
class SettingsStore;
}

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Commands;
class NeckWidget;
class Prompter;
class TextMarks;
class TransportBar;

class PlayFeature : public QObject {
    Q_OBJECT

public:
    PlayFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                instrument::SettingsStore& store, NeckWidget& neck, QPlainTextEdit& text,
                TextMarks& marks, AudioDevices devices);
    ~PlayFeature() override;

    LivePlayback& playback() { return *m_playback; }
    TransportBar& transport() { return *m_transport; }

private:
    // The tab or its tempo changed, by an action, undo or the user's hands.
    void tabChanged();
    void chooseSoundFont();
    void remember(const QString& font);
    void showSound();

    QMainWindow& m_window;
    document::Document& m_document;
    const Commands& m_commands;
    instrument::SettingsStore& m_store;
    TransportBar* m_transport;
    LivePlayback* m_playback;
    QString m_chosenFont; // picked by the user, remembered once it loads
};

} // namespace quorlin::ui
