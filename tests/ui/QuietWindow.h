#pragma once

#include "tests/instrument/MemoryStore.h"
#include "tests/ui/FakeAudio.h"
#include "tests/ui/FormTesting.h"
#include "ui/shell/BassU1/TBassForm.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

namespace quorlin::ui::testing {

// The main window with scripted questions, no sound, and its settings and recovery copies in a
// folder of its own.
struct QuietWindow {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    instrument::testing::MemoryStore store;
    TBassForm form{&prompter, &store, nullptr, silentDevices(),
                   dir.filePath(QStringLiteral("recovery"))};

    QString tab() const { return child<QPlainTextEdit>(form, "Tab")->toPlainText(); }
};

} // namespace quorlin::ui::testing
