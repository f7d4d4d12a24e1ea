#pragma once

#include "ui/Prompter.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

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

    QList<bool> answers;
    QList<Answer> choices;
    QStringList asked;
};

template <typename T = QWidget> T* child(const QWidget& form, const char* name)
{
    T* w = form.findChild<T*>(QLatin1String(name));
    if (w == nullptr)
        qFatal("no control named %s", name);
    return w;
}

// Ends the whole run when the step it guards never returns: a call blocked on a named pipe
// cannot fail by itself, and a run that hangs reports nothing.
class HangGuard {
public:
    explicit HangGuard(const char* step) :
        m_watch([step, ended = m_ended.get_future()] {
            if (ended.wait_for(std::chrono::minutes(1)) == std::future_status::timeout) {
                std::fprintf(stderr, "FAIL! %s did not return: it hangs\n", step);
                std::abort();
            }
        })
    {
    }
    ~HangGuard() { m_ended.set_value(); }

private:
    std::promise<void> m_ended;
    std::jthread m_watch; // after the promise it waits on, so it is joined first
};

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

} // namespace quorlin::ui::testing
