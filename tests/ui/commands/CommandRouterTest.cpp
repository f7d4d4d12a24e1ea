#include "ui/commands/CommandRouter.h"
#include "tests/ui/QuietWindow.h"

#include <QMainWindow>
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
