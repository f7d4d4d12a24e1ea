#pragma once

// File > Import...: one dialog for every file Quorlin imports. A Guitar Pro, MusicXML or MIDI
// file has a track chosen and made a tab; any other file goes to the web-tab import, which
// the window hands in. The tab takes the present one's place as one step, unsaved, with the
// song's header. Files opened by a drop, from Open Recent or on the command line come here
// too when they are songs.

#include "files/SongReaders.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QFileDialog;
class QMainWindow;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class CommandRouter;
class Prompter;

class ImportingFeature : public QObject {
    Q_OBJECT

public:
    ImportingFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                     Prompter& prompter);

    // Where a file that is no song goes: the web-tab import.
    void setWebTabImport(std::function<void(const QString& path)> import)
    {
        m_webTab = std::move(import);
    }
    // The readers the formats are read with: the program's own unless a test hands in others.
    void setReaders(const files::SongReaders& readers) { m_readers = readers; }

    // Imports the file when it is a song and says true; false, doing nothing, for any other.
    bool openIfSong(const QString& path);

signals:
    // A song was imported from `path`: it goes on the recent files.
    void imported(const QString& path);

private:
    void chooseAndImport();
    void importSong(const QString& path, const QByteArray& bytes);

    QMainWindow& m_window;
    document::Document& m_document;
    Prompter& m_prompter;
    files::SongReaders m_readers = files::builtInReaders();
    std::function<void(const QString& path)> m_webTab;
    QPointer<QFileDialog> m_dialog;
};

} // namespace quorlin::ui
