// The neck as the keyboard's note cursor: keys, clicks and drags move it, and the table's own
// navigation never does. And the neck as the picture of the engine's labels and "X".

#include "engine/Staff.h"
#include "engine/VectorTabText.h"
#include "tests/ui/FormTesting.h"
#include "ui/neck/DurationDrag.h"
#include "ui/neck/NeckWidget.h"

#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>

#include <functional>

using namespace quorlin;

namespace {

// An AZERTY digit-row key says no digit; its X keycode says where it is.
const QHash<QString, std::pair<Qt::Key, quint32>> keys{
    {"up", {Qt::Key_Up, 0}},        {"down", {Qt::Key_Down, 0}},       {"left", {Qt::Key_Left, 0}},
    {"right", {Qt::Key_Right, 0}},  {"home", {Qt::Key_Home, 0}},       {"end", {Qt::Key_End, 0}},
    {"pgup", {Qt::Key_PageUp, 0}},  {"pgdown", {Qt::Key_PageDown, 0}}, {"a", {Qt::Key_A, 0}},
    {"&", {Qt::Key_Ampersand, 10}}, {"é", {Qt::Key_Eacute, 11}},       {"à", {Qt::Key_Agrave, 19}}};

// Plays a script on the neck and logs what it hands on: keys it leaves to its parent and the
// notes asked for. Steps: a key ("k" before a digit for the keypad, "^" for Ctrl), "+ms" to
// let time pass, or action:column,row for click, rclick, dclick, rdclick, drag, set, rows.
QStringList play(ui::NeckWidget& neck, const QString& script)
{
    QStringList log;
    QObject::connect(&neck, &ui::NeckWidget::noteRequested, [&](int column, int row) {
        log << QStringLiteral("note %1,%2").arg(column).arg(row);
    });
    QMimeData duration;
    duration.setData(ui::kDurationMimeType, "q");
    quint64 time = 5000;
    for (QString step : script.split(' ')) {
        const QStringList action = step.split(QRegularExpression("[:,]"));
        const QPoint at(action.value(1).toInt() * 21 + 10, action.value(2).toInt() * 17 + 8);
        const auto button = step.startsWith('r') ? Qt::RightButton : Qt::LeftButton;
        if (step.startsWith('+'))
            time += step.mid(1).toULongLong();
        else if (step.contains("dclick"))
            QTest::mouseDClick(neck.viewport(), button, {}, at);
        else if (step.contains("click"))
            QTest::mouseClick(neck.viewport(), button, {}, at);
        else if (action[0] == "drag") {
            QDragEnterEvent enter(at, Qt::CopyAction, &duration, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(neck.viewport(), &enter);
        } else if (action[0] == "set")
            neck.setCursorCell(action[1].toInt(), action[2].toInt());
        else if (action[0] == "rows")
            neck.setRowCount(action[1].toInt());
        else {
            const QString name = step;
            const auto modifiers = step.startsWith('^')   ? Qt::ControlModifier
                                   : step.startsWith('k') ? Qt::KeypadModifier
                                                          : Qt::NoModifier;
            if (modifiers != Qt::NoModifier)
                step.remove(0, 1);
            const auto [key, code] = keys.value(step, {Qt::Key(Qt::Key_0 + step.toInt()), 0});
            QKeyEvent event(QEvent::KeyPress, key, modifiers, code, 0, 0, step);
            event.setTimestamp(time);
            QCoreApplication::sendEvent(&neck, &event);
            if (!event.isAccepted())
                log << name;
        }
    }
    return log;
}

} // namespace

class NeckTest : public QObject {
    Q_OBJECT

private slots:
    void cursor_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QStringList>("log");
        const auto row = [](const char* name, const char* script, QPoint cursor,
                            QStringList log = {}) {
            QTest::newRow(name) << QString::fromUtf8(script) << cursor << log;
        };
        row("edges up and left", "up left", {0, 1});
        row("edges down and right", "2 4 right down down down down", {24, 4});
        row("home opens the string", "down 7 home", {0, 2});
        row("pair", "1 2", {12, 1});
        row("pair past the frets", "2 5", {5, 1});
        row("pair past the frets, then a pair", "3 1 4", {14, 1});
        row("after a pair a new fret", "1 2 3", {3, 1});
        row("within a second", "1 +1000 2", {12, 1});
        row("a second late", "1 +1001 2", {2, 1});
        row("a move ends the pair", "1 down 2", {2, 2});
        row("keypad", "k1 k9", {19, 1});
        row("AZERTY by the key's place", "é", {2, 1});
        row("AZERTY pair", "& à", {10, 1});
        row("Ctrl and letters go to the parent", "5 ^3 ^é a", {5, 1}, {"^3", "^é", "a"});
        row("table keys move nothing", "4 down pgup pgdown end", {4, 2});
        row("clamped", "set:30,9", {24, 4});
        row("fewer strings", "rows:7 set:3,6 rows:5", {3, 4});
        row("click", "click:9,3", {9, 3});
        row("click on a name", "click:0,2", {0, 2});
        row("click on the numbers", "click:9,0", {0, 1});
        row("right click", "rclick:9,3", {0, 1});
        row("double-click", "dclick:9,3", {9, 3}, {"note 9,3"});
        row("double-click on a name", "dclick:0,4", {0, 4}, {"note 0,4"});
        row("double-click on the numbers", "dclick:9,0", {0, 1});
        row("right double-click", "rdclick:9,3", {0, 1});
        row("drag onto a fret", "drag:0,3 drag:7,2", {7, 2});
        row("drag from a fret below the strings", "drag:7,2 drag:9,6", {9, 2});
        row("drag from a name below the strings", "drag:0,3 drag:9,6", {0, 1});
    }

    void cursor()
    {
        QFETCH(QString, script);
        QFETCH(QPoint, cursor);
        QFETCH(QStringList, log);
        ui::NeckWidget neck;
        neck.setRowCount(5);
        QSignalSpy moved(&neck, &ui::NeckWidget::cursorMoved);
        QCOMPARE(play(neck, script), log);
        QCOMPARE(neck.cursorCell(), cursor);
        const QVariantList last = moved.isEmpty() ? QVariantList{0, 1} : moved.last();
        QCOMPARE(QPoint(last[0].toInt(), last[1].toInt()), cursor);
    }

    // Writing only the cells that changed leaves the neck as a full drawing would: every cell
    // reads as the engine has it after each step, across moves of the "X" and new set-ups.
    void showsTheStaffCellForCell()
    {
        engine::VectorTabText text;
        engine::Staff staff(text);
        const auto drop = [&](int fret, int string) { staff.Dropped({fret, string, 'q'}); };
        const std::function<void()> steps[] = {
            [] {},
            [&] { drop(3, 2); },
            [&] { drop(0, 4); },
            [&] { staff.retune(1, "F#"); },
            [&] { staff.setStringCount(6); },
            [&] { drop(24, 6); },
            [&] { staff.setStringCount(5); },
            [&] { drop(0, 5); },
        };
        ui::NeckWidget neck;
        neck.setRowCount(5);
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            steps[i]();
            neck.showStaff(staff.neck());
            QCOMPARE(neck.rowCount(), staff.neck().rows());
            for (int row = 0; row < neck.rowCount(); ++row) {
                for (int column = 0; column < neck.columnCount(); ++column) {
                    const QString want = QString::fromStdString(staff.neck().cell(column, row));
                    if (neck.cellText(column, row) != want)
                        QFAIL(qPrintable(QStringLiteral("step %1, cell %2,%3: \"%4\", not \"%5\"")
                                             .arg(i)
                                             .arg(column)
                                             .arg(row)
                                             .arg(neck.cellText(column, row), want)));
                }
            }
        }
    }
};

QUORLIN_GUARDED_TEST_MAIN(NeckTest)

#include "NeckTest.moc"
