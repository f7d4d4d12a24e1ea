#pragma once

// The recovery copy follows every change of the tab and goes once the tab is safe in its
// file or empty; at start the copies of runs that did not end cleanly are offered.

#include "document/Document.h"

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace quorlin::ui {

class Prompter;
class Recovery;

class RecoveryFeature : public QObject {
    Q_OBJECT

public:
    // Copies go to the user's data folder unless `folder` is given.
    RecoveryFeature(QWidget& window, document::Document& document, Prompter& prompter,
                    const QString& folder);
    ~RecoveryFeature() override;

    // True when the user restored one.
    bool offerRecovery();
    // A clean exit: whatever was not saved was given up on purpose.
    void leaving();
    Recovery& recovery() { return *m_recovery; }

signals:
    void message(const QString& text);

private:
    void keepRecoverable();

    QWidget& m_window;
    document::Document& m_document;
    std::unique_ptr<Recovery> m_recovery;
    // What the tab was when the recovery copy last heard of it.
    document::Document::Version m_lastChange;
};

} // namespace quorlin::ui
