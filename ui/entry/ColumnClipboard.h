#pragma once

// Columns on the clipboard: as tab text for any program, and in a form of our own that
// keeps what the text alone cannot tell (the width the blocks were broken at).

#include "engine/Columns.h"

#include <optional>
#include <vector>

class QMimeData;

namespace quorlin::ui {

// The copied columns: their tab as plain text, and our own form of it.
QMimeData* columnsMimeData(const std::vector<engine::Column>& run,
                           const engine::EditingState& state);

// The columns the data holds for a tab of `state`'s strings and tuning: our own form, or tab
// text as this program writes it (copied from the text area). None when it holds no such tab.
std::optional<std::vector<engine::Column>> columnsFrom(const QMimeData& data,
                                                       const engine::EditingState& state);

} // namespace quorlin::ui
