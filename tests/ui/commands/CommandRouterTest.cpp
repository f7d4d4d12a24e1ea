#include "ui/commands/CommandRouter.h"
#include "tests/ui/QuietWindow.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <stdexcept>

using namespace quorlin;

class CommandRouterTest : public QObject {
    Q_OBJECT

private slots:
    // Every command of the built window reaches exactly one handler.
    void everyCommandHasItsHandler()
    {
        ui::testing::QuietWindow w;
        QString left;
        for (ui::Command command : w.form.router().unhandled())
            left += w.form.commands()[command]->text() + u' ';
        QCOMPARE(left, QString());
    }

    // Alt and a letter reaches one item of a menu, and one menu of the bar.
    void mnemonicsAreUnique()
    {
        QMainWindow window;
        QWidget neck;
        const ui::Commands commands(window, neck);
        const auto letterOf = [](const QString& text) {
            const qsizetype at = text.indexOf(u'&');
            return at < 0 || at + 1 >= text.size() ? QChar() : text[at + 1].toLower();
        };
        const auto unique = [&](const QList<QAction*>& actions, const QString& where) {
            QMap<QChar, QString> taken;
            for (const QAction* action : actions) {
                const QChar letter = letterOf(action->text());
                if (letter.isNull())
                    continue;
                QVERIFY2(!taken.contains(letter),
                         qPrintable(where + ": " + taken[letter] + " and " + action->text()));
                taken[letter] = action->text();
            }
        };
        unique(window.menuBar()->actions(), "the menu bar");
        for (const QAction* title : window.menuBar()->actions())
            unique(title->menu()->actions(), title->text());
    }

    // A second handler, by trigger or by choice, is refused before it is connected.
    void secondHandlerRefused_data()
    {
        QTest::addColumn<bool>("firstIsChoice");
        QTest::addColumn<bool>("secondIsChoice");
        QTest::newRow("handler, handler") << false << false;
        QTest::newRow("handler, choice") << false << true;
        QTest::newRow("choice, handler") << true << false;
    }
    void secondHandlerRefused()
    {
        QFETCH(bool, firstIsChoice);
        QFETCH(bool, secondIsChoice);
        QMainWindow window;
        QWidget neck;
        const ui::Commands commands(window, neck);
        ui::CommandRouter router(commands);
        QPushButton button;
        button.setCheckable(true);
        int calls = 0;
        const auto claim = [&](bool choice) {
            if (choice)
                router.choose(button, ui::Command::Slap);
            else
                router.handle(ui::Command::Slap, &window, [&calls] { ++calls; });
        };
        claim(firstIsChoice);
        QVERIFY_THROWS_EXCEPTION(std::logic_error, claim(secondIsChoice));
        commands[ui::Command::Slap]->trigger();
        QCOMPARE(calls, firstIsChoice ? 0 : 1);
        QCOMPARE(router.unhandled().size(), static_cast<std::size_t>(ui::Command::Count) - 1);
    }
};

QUORLIN_GUARDED_TEST_MAIN(CommandRouterTest)

#include "CommandRouterTest.moc"
