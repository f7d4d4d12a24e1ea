#pragma once

#include "ui/common/Prompter.h"
#include "ui/shell/GuardedApplication.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <optional>

namespace quorlin::ui::testing {

// Answers from a script instead of a modal box, and logs every box as "title|text".
class ScriptedPrompter : public Prompter {
public:
    bool askYesNo(const QString& text, const QString& title) override
    {
        inform(text, title);
        return !answers.isEmpty() && answers.takeFirst();
    }
    Answer askYesNoCancel(const QString& text, const QString& title) override
    {
        inform(text, title);
        return choices.isEmpty() ? Answer::Cancel : choices.takeFirst();
    }
    void inform(const QString& text, const QString& title) override { asked << title + '|' + text; }
    void error(const QString& text, const QString& title) override
    {
        inform(text, QStringLiteral("(error) ") + title);
    }

    int choose(const QString& text, const QString& title, const QStringList& buttons) override
    {
        inform(text, title);
        return picks.isEmpty() ? static_cast<int>(buttons.size()) - 1 : picks.takeFirst();
    }

    std::optional<int> askNumber(const QString& text, const QString& title, int value, int min,
                                 int max) override
    {
        inform(text + QStringLiteral(" [%1]").arg(value), title);
        if (numbers.isEmpty())
            return std::nullopt;
        return std::clamp(numbers.takeFirst(), min, max);
    }

    QList<bool> answers;
    QList<Answer> choices;
    QList<int> numbers; // typed into a number box; none left: Cancel
    QList<int> picks;   // the button chosen; none left: the last, as Escape
    QStringList asked;
};

template <typename T = QWidget> T* child(const QWidget& form, const char* name)
{
    T* w = form.findChild<T*>(QLatin1String(name));
    if (w == nullptr)
        qFatal("no control named %s", name);
    return w;
}

// Runs `act` once `owner` has a visible child named `name`, polling from the dialog's own loop.
template <typename T>
void whenVisible(QWidget& owner, const char* name, std::function<void(T*)> act)
{
    auto* poll = new QTimer(&owner);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [poll, &owner, name = QString::fromLatin1(name), act] {
                         T* w = owner.findChild<T*>(name);
                         if (w == nullptr || !w->isVisible())
                             return;
                         poll->stop();
                         poll->deleteLater();
                         act(w);
                     });
    poll->start(0);
}

// A drag that enters, moves to `point` and drops there; true when the target took the drop.
inline bool dragAndDrop(QWidget* target, QPoint point, const QMimeData& data)
{
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &move, &drop}) {
        QCoreApplication::sendEvent(target, event);
        if (!event->isAccepted())
            return false;
    }
    return true;
}

// The file at `path` made to hold `bytes` alone.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// What the file holds; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace quorlin::ui::testing

// Runs the test under the application the program runs in, which reports an error that
// escapes an event and goes on.
#define QUORLIN_GUARDED_TEST_MAIN(TestClass)                                                       \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        quorlin::ui::GuardedApplication app(argc, argv);                                           \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
