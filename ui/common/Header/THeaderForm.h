#pragma once

// The song header dialog: who wrote the tab, the artist, the bass performer and the comment
// lines. The header is the document's; the dialog shows it, and "Ok" commits what was typed
// as one step. From then on the comment lines are the memo's, read each time they are
// needed. It never blocks the main window.

#include "files/SongHeader.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class THeaderForm;
}

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class THeaderForm : public QDialog {
    Q_OBJECT

public:
    explicit THeaderForm(QWidget* parent = nullptr);
    ~THeaderForm() override;

    void attach(document::Document& document);
    // The comment lines as the writer saves them.
    QStringList commentLines() const;
    files::SongHeader songHeader() const;
    // Shows the dialog (refilling it only when it was hidden) and brings it to the front.
    void showAndRaise();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowIt();
    void CloseIt();
    // The header changed from outside (a load, undo): the memo shows its lines again.
    void headerReplaced();
    QStringList memoLines() const;
    std::vector<std::string> memoComments() const;

    std::unique_ptr<Ui::THeaderForm> m_ui;
    QPointer<document::Document> m_document;
    // The header came from outside since the last "Ok": the memo is not its source.
    bool m_replaced = false;
    bool m_committing = false;
};

} // namespace quorlin::ui
