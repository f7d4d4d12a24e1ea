// Every edit at the tab cursor is one step: undo walks back through them, each time giving
// the tab, the tab cursor and the selection exactly as they were before that edit, and redo
// walks forward again through what each edit left. The states are the window's own, seen
// before and after each key.

#include "document/Document.h"
#include "tests/ui/entry/TabWindow.h"

using namespace quorlin;
using ui::testing::child;

namespace {

struct Seen {
    QString tab;
    int cursor;
    int selectionFirst;
    int selectionLast;
    bool operator==(const Seen&) const = default;
};

// Keys before the bar only move the cursor or copy; the key after it is the edit.
struct Step {
    const char* moves;
    const char* edit;
};

const Step kSteps[] = {
    {"Alt+Left Alt+Left Shift+Alt+Left", "Ctrl+Up"},
    {"Ctrl+C Alt+End", "Ctrl+V"},
    {"Alt+Home", "Del"},
    {"Up 1 2", "Ins"},
    {"Alt+Right Down 3", "Return"},
    {"", "R"},
    {"Alt+Left", "E"},
    {"", "."},
    {"Alt+Right Alt+Right", "Shift+T"},
    {"Alt+Right", "Backspace"},
    {"Alt+Home Shift+Alt+Right", "Ctrl+X"},
    {"Alt+Right Alt+Right", "Ctrl+V"},
    {"Alt+Left", "Ctrl+Shift+Down"},
    {"Alt+Home Alt+Down Alt+Right Alt+Right", "Shift+S"},
};

struct Window : ui::testing::TabWindow {
    // Three columns a block: the edits cross block boundaries.
    Window() : TabWindow(11)
    {
        type("Down Down 5 Return 7 Return Shift+H 9 Return Shift+D 3 Return Up 5 Return "
             "Down 0 Return 2 Return");
    }
    Seen seen() const
    {
        const auto selection = form.document().selection();
        return {tab(), form.tabCursor().value_or(-1), selection ? selection->first : -1,
                selection ? selection->second : -1};
    }
};

} // namespace

class EditHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void undoAndRedoWalkThroughTheEditsWithTheCursor()
    {
        Window w;
        const std::size_t start = w.form.history().position();
        std::vector<std::pair<Seen, Seen>> states;
        for (const Step& step : kSteps) {
            w.type(QString::fromLatin1(step.moves));
            const Seen before = w.seen();
            w.type(QString::fromLatin1(step.edit));
            states.emplace_back(before, w.seen());
            QVERIFY2(states.back().second.tab != before.tab, step.edit);
            QCOMPARE(w.form.history().position(), start + states.size());
        }
        for (auto it = states.rbegin(); it != states.rend(); ++it) {
            w.type(QStringLiteral("Ctrl+Z"));
            QCOMPARE(w.seen(), it->first);
        }
        for (const auto& [before, after] : states) {
            w.type(QStringLiteral("Ctrl+Shift+Z"));
            QCOMPARE(w.seen(), after);
        }
    }
};

QTEST_MAIN(EditHistoryTest)
#include "EditHistoryTest.moc"
