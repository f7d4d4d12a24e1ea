#pragma once

// The tab leaving Quorlin: File > Export MIDI, WAV and MusicXML, and the "Copy" button that
// puts the tab's text on the clipboard.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QMainWindow;
class QPlainTextEdit;
class QPushButton;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Prompter;
class TabExport;

class ExportFeature : public QObject {
    Q_OBJECT

public:
    // `soundFont` gives the font the WAV export renders with: the one playback uses.
    ExportFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                  Prompter& prompter, std::function<QString()> soundFont, QPlainTextEdit& text,
                  QPushButton& copy);
    ~ExportFeature() override;

    TabExport& exporter() { return *m_export; }

private:
    void CopyToClip();

    QPlainTextEdit& m_text;
    std::unique_ptr<TabExport> m_export;
};

} // namespace quorlin::ui
