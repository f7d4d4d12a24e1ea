#pragma once

// File > Transcribe recording...: the bass line heard in a recording becomes a new, unsaved
// tab in place of the present one, as one step. The listening runs off the window's thread
// behind a progress bar whose Cancel stops it. Recordings dropped on the window, opened from
// Open Recent or named at start come here too.

#include "transcribe/Transcriber.h"
#include "ui/common/BackgroundJob.h"
#include "ui/transcribe/TranscribeDialog.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QByteArray;
class QMainWindow;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Prompter;

// What a run heard, or why it heard nothing.
struct Heard {
    // The reading's, for the user after the file's name.
    std::string error;
    bool cancelled = false;
    // Seconds into the file of the part listened to: the doubtful notes are placed in the file.
    double start = 0;
    transcribe::Transcription transcription;
};

class TranscribeFeature : public QObject {
    Q_OBJECT

public:
    TranscribeFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                      Prompter& prompter);

    // Runs off the window's thread: the program's reading and analysis unless a test hands
    // in its own.
    using Listen = std::function<Heard(const TranscribeRequest&, const transcribe::Progress&)>;
    void setListen(Listen listen) { m_listen = std::move(listen); }

    // Transcribes the file with the window's set-up when it is a recording and says true;
    // false, doing nothing, for any other.
    bool openIfRecording(const QString& path);
    // By the first bytes where the formats tell themselves apart, else by the name's ending.
    static bool isRecording(const QByteArray& head, const QString& fileName);

signals:
    // A recording was transcribed from `path`: it goes on the recent files.
    void transcribed(const QString& path);

private:
    void chooseAndTranscribe();
    void start(const TranscribeRequest& request);
    void put(const Heard& heard, const QString& path);

    QMainWindow& m_window;
    document::Document& m_document;
    Prompter& m_prompter;
    Listen m_listen;
    BackgroundJob m_job;
    QString m_lastPath;
};

} // namespace quorlin::ui
