#pragma once

// The text area that is the tab. It takes no text holding a line longer than a line of the
// tab may be, however the text comes (a paste, the middle button, a drop): Qt would lay the
// line out before anything else, for minutes.

#include <QPlainTextEdit>

namespace quorlin::ui {

class TabArea : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TabArea(QWidget* parent = nullptr);

signals:
    // Nothing was put in, for this reason; sent after the paste or drop has ended.
    void refused(const QString& why);

protected:
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace quorlin::ui
