#pragma once

// Keeps the sheet view in step with the tab: laid out again a moment after each edit, once
// for a burst of them, and only while the view is in sight; the tab cursor, the selection
// and the sounding column marked on it, and the edited place scrolled into sight.

#include "score/Score.h"
#include "sheet/SheetLayout.h"
#include "ui/sheet/QtTextMeasure.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <utility>
#include <vector>

class QLabel;

namespace quorlin::document {
class Document;
}

namespace quorlin::ui {

class SheetSource;
class SheetView;

class LiveSheet : public QObject {
    Q_OBJECT

public:
    // `skipped` tells which columns the score could not read; hidden when it read them all.
    LiveSheet(const document::Document& document, SheetSource& source, SheetView& view,
              QLabel& skipped);

    // The column by its rhythm line and first character; line -1 for none.
    void showPlaying(int line, int offset);
    // The layout a change asked for, now rather than on the next turn of the event loop.
    void flush();
    // How many times the tab was laid out.
    int layouts() const { return m_layouts; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void changed();
    void layOutSoon();
    void layOut();
    void showCursor(bool scroll);
    // The score column that starts at `line`, `offset` of the text, if the score read one.
    std::optional<int> scoreColumn(int line, int offset) const;
    std::optional<int> scoreColumnOfTab(int tabColumn) const;

    const document::Document& m_document;
    SheetSource& m_source;
    SheetView& m_view;
    QLabel& m_skipped;
    // One for the whole run: it remembers the widths of the fret numbers.
    QtTextMeasure m_measure;
    // The sheet shown and the score it was laid out for: an edit is laid out again from its
    // first changed column.
    sheet::SheetLayout m_layout{m_measure};
    score::Score m_score;
    QTimer m_soon;
    // Where each score column starts in the text, in text order, as read at the last layout.
    std::vector<std::pair<int, int>> m_starts;
    bool m_stale = true;
    bool m_edited = false;
    int m_layouts = 0;
    qint64 m_lastLayoutMs = 0;
    std::pair<int, int> m_playing{-1, 0};
};

} // namespace quorlin::ui
