#pragma once

// File > Import ASCII tab, Edit > Paste tab as notes and Edit > Change tuning or strings:
// each makes a whole new tab, from a tab found on the web or from the present one, which the
// window then puts in place of the old one as one step of the history.

#include "document/Document.h"
#include "engine/Staff.h"

#include <QPointer>
#include <QString>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QFileDialog;
class QWidget;

namespace quorlin::ui {

class Prompter;

using document::NewTab;

class TabConversions {
public:
    TabConversions(QWidget& window, Prompter& prompter);

    // Nothing when the user cancelled, or when there was nothing to import (said so). `now`
    // gives the width the notes are written to and the tempo, which stays.
    std::optional<NewTab> importFile(const engine::EditingState& now, bool tabEmpty);
    // The web tab at `path`, chosen elsewhere (File > Import... for a text file).
    std::optional<NewTab> importPath(const QString& path, const engine::EditingState& now,
                                     bool tabEmpty);
    std::optional<NewTab> importText(std::string_view text, const engine::EditingState& now,
                                     bool tabEmpty, const char* label);
    // Nothing when cancelled, unchanged, or refused by the user for the notes it would drop.
    std::optional<NewTab> changeTuning(std::span<const std::string_view> lines,
                                       const engine::EditingState& now);

private:
    void tooLong();

    QWidget& m_window;
    Prompter& m_prompter;
    QPointer<QFileDialog> m_dialog;
};

} // namespace quorlin::ui
