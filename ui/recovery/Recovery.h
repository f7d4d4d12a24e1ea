#pragma once

// Never losing work: the recovery copy kept a short time behind the tab, removed once the
// work is safe, and the copies of runs that did not end cleanly offered at start-up.

#include "files/RecoveryFile.h"
#include "platform/AutosaveTimer.h"
#include "platform/RecoveryFolder.h"
#include "ui/recovery/RecoveryDialog.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QProgressDialog;

namespace quorlin::ui {

class Prompter;

// While a big copy goes into the text area: a box that says why the window waits. (A copy
// with a line longer than the area takes is refused as damaged when it is read.)
class RestoreProgress {
public:
    RestoreProgress(const files::Recovered& copy, QWidget* parent);
    ~RestoreProgress();
    RestoreProgress(const RestoreProgress&) = delete;
    RestoreProgress& operator=(const RestoreProgress&) = delete;

    // A copy this big shows the box.
    static constexpr std::size_t kBusyBytes = 1'000'000;

private:
    std::unique_ptr<QProgressDialog> m_box;
};

class Recovery : public QObject {
    Q_OBJECT

public:
    // The folder is the user's own unless a test gives one.
    Recovery(Prompter& prompter, platform::AutosaveTimer::Provider provider,
             const QString& folder = {});

    // After every change to the tab, its state or its header.
    void changed() { m_autosave.changed(); }
    // The work is in its file, or gone on purpose (an empty tab, a clean exit).
    void safe() { m_autosave.saved(); }

    // Offers the copies left by runs that did not end cleanly in one list, after one message
    // for those that are damaged or cannot be read. The copy to restore, if the user chose one.
    std::optional<files::Recovered> offer();

    // What the user chose among the sound copies; the list dialog unless a test answers.
    using Chooser = std::function<RecoveryDialog::Decision(const std::vector<platform::Orphan>&)>;
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    void setDialogParent(QWidget* parent) { m_parent = parent; }

signals:
    void message(const QString& text);

private:
    RecoveryDialog::Decision choose(const std::vector<platform::Orphan>& orphans);
    // Damaged copies are set aside, unreadable ones left; both told in one message.
    void report(const std::vector<platform::Orphan>& troubled);

    Prompter& m_prompter;
    Chooser m_chooser;
    QPointer<QWidget> m_parent;
    platform::RecoveryFolder m_store;
    platform::AutosaveTimer m_autosave;
    bool m_told = false;
};

} // namespace quorlin::ui
