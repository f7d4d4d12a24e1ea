#pragma once

// The song header dialog: who wrote the tab, the artist, the bass performer and the comment
// lines. It owns the header for the whole run; the window only shows it, and the tab file
// code reads and writes the header through it. It never blocks the main window.

#include "files/SongHeader.h"

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class THeaderForm;
}

namespace quorlin::ui {

class THeaderForm : public QDialog {
    Q_OBJECT

public:
    // Where the comment lines come from: nowhere yet, the memo itself, or a loaded file.
    enum class CommentSource { None, Memo, Loaded };

    explicit THeaderForm(QWidget* parent = nullptr);
    ~THeaderForm() override;

    // Takes over the comment lines of a loaded file; the memo shows them on the next show.
    void setpComment(QStringList lines);
    CommentSource commentSource() const { return m_commentSource; }
    // The comment lines as the writer saves them. Bound to the memo, these are the lines
    // the memo shows, soft-wrapped lines included, whether or not it was ever laid out.
    QStringList commentLines() const;

    files::SongHeader songHeader() const;
    // A file's header; an open dialog shows it at once.
    void setLoadedHeader(const files::SongHeader& header);

    // Shows the dialog (refilling it only when it was hidden) and brings it to the front.
    void showAndRaise();

signals:
    // "Ok" changed the header; the window keeps the change for undo.
    void headerChanged(const files::SongHeader& before, const files::SongHeader& after);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowIt();
    void CloseIt();
    QStringList memoLines() const;

    std::unique_ptr<Ui::THeaderForm> m_ui;
    QString m_from;
    QString m_artist;
    QString m_bassPerf;
    CommentSource m_commentSource = CommentSource::None;
    QStringList m_loadedComments;
};

} // namespace quorlin::ui
