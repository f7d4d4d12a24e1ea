#pragma once

// File > Export MIDI and Export WAV: the name, then the file written off the window's thread
// when it takes a while, with a progress bar that can cancel it.

#include "score/Score.h"
#include "ui/Exports.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <thread>

class QFileDialog;
class QWidget;

namespace quorlin::ui {

class Prompter;

class TabExport : public QObject {
    Q_OBJECT

public:
    TabExport(QWidget& window, Prompter& prompter, std::function<score::Score()> read,
              std::function<QString()> soundFont);
    ~TabExport() override;

    void exportFile(ExportFormat format);
    // Writes without asking for a name; what the menu does once it has one.
    void exportTo(ExportFormat format, const QString& path);
    bool busy() const { return m_worker.joinable(); }

signals:
    // Said once in the status bar.
    void message(const QString& text);
    void finished();

private:
    void report(bool written, const QString& path, const QString& problem);

    QWidget& m_window;
    Prompter& m_prompter;
    std::function<score::Score()> m_read;
    std::function<QString()> m_soundFont;
    QPointer<QFileDialog> m_dialog;
    std::thread m_worker;
    std::atomic<bool> m_cancel = false;
    std::atomic<int> m_progress = 0;
    QString m_skipped;
};

} // namespace quorlin::ui
