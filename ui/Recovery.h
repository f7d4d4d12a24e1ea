#pragma once

// Never losing work: the recovery copy kept a short time behind the tab, removed once the
// work is safe, and the copies of runs that did not end cleanly offered at start-up.

#include "files/RecoveryFile.h"
#include "ui/Autosave.h"
#include "ui/RecoveryStore.h"

#include <QObject>

#include <optional>

namespace quorlin::ui {

class Prompter;

class Recovery : public QObject {
    Q_OBJECT

public:
    // The folder is the user's own unless a test gives one.
    Recovery(Prompter& prompter, Autosave::Provider provider, const QString& folder = {});

    // After every change to the tab, its state or its header.
    void changed() { m_autosave.changed(); }
    // The work is in its file, or gone on purpose (an empty tab, a clean exit).
    void safe() { m_autosave.saved(); }

    // Offers each copy left by a run that did not end cleanly, newest first: restore,
    // discard or later. The copy to restore, if the user chose one.
    std::optional<files::Recovered> offer();

signals:
    void message(const QString& text);

private:
    Prompter& m_prompter;
    RecoveryStore m_store;
    Autosave m_autosave;
    bool m_told = false;
};

} // namespace quorlin::ui
