#pragma once

// While a menu or another pop-up is open, the keys are its own. Qt would still fire the
// neck's one-letter shortcuts, since the neck keeps the focus behind an open menu: R would
// write a rest into the tab instead of choosing "Open Recent".

#include <QObject>

namespace quorlin::ui {

class PopupKeys : public QObject {
    Q_OBJECT

public:
    explicit PopupKeys(QObject* parent);
    ~PopupKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quorlin::ui
