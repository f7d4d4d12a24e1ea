#pragma once

// The copies left by runs that did not end cleanly, in one list however many there are, newest
// first: one to restore, and the others to discard or leave for a later start. It only
// records the choices; the caller carries them out once the dialog is closed.

#include "platform/RecoveryFolder.h"

#include <QDialog>

#include <optional>
#include <set>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace quorlin::ui {

class RecoveryDialog final : public QDialog {
    Q_OBJECT

public:
    // Indexes into the orphans given.
    struct Decision {
        std::optional<std::size_t> restore;
        std::set<std::size_t> discard;

        bool operator==(const Decision&) const = default;
    };

    RecoveryDialog(const std::vector<platform::Orphan>& orphans, QWidget* parent = nullptr);

    const Decision& decision() const { return m_decision; }

private:
    // The chosen rows, or every row still listed.
    std::vector<std::size_t> rows(bool all) const;
    // Takes the rows off the list; the dialog closes once none is left.
    void settle(const std::vector<std::size_t>& rows, bool discard);
    void restoreChosen();
    void updateButtons();

    QTreeWidget* m_list;
    QPushButton* m_restore;
    QPushButton* m_discard;
    QPushButton* m_later;
    Decision m_decision;
};

} // namespace quorlin::ui
