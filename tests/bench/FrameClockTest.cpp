// The key-to-frame clock: it stops only at a frame that painted the edit, at the end of the
// outermost event around that paint, and the edit it records replays to the same text.

#include "bench/FrameClock.h"
#include "bench/EditScript.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QThread>

using quorlin::bench::Edit;
using quorlin::bench::EditWatch;
using quorlin::bench::Frame;
using Clock = quorlin::bench::FrameClock<QApplication>;

namespace {

struct Op {
    int position;
    int removed;
    QString text;
};

QString tenLines()
{
    QStringList lines;
    for (int i = 0; i < 10; ++i)
        lines << QStringLiteral("line %1 --|--").arg(i);
    return lines.join(QLatin1Char('\n'));
}

// Runs `work` from the event loop, as a timer or a posted job would.
class Job : public QObject {
public:
    explicit Job(std::function<void()> work) : m_work(std::move(work)) {}
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        m_work();
        return true;
    }

private:
    std::function<void()> m_work;
};

} // namespace

Q_DECLARE_METATYPE(QList<Op>)

class FrameClockTest : public QObject {
    Q_OBJECT

    QPlainTextEdit m_area;
    Clock& clock() { return *static_cast<Clock*>(QCoreApplication::instance()); }

    // Line `line` of the area's text edited while the view stays where it is, or after
    // being scrolled to it; a corner of the view is repainted either way.
    Frame editLine(int line, bool scrollTo, int timeoutMs)
    {
        const int at = m_area.document()->findBlockByNumber(line).position();
        return clock().time(
            *m_area.viewport(),
            [&] {
                QTextCursor cursor(m_area.document());
                cursor.setPosition(at);
                cursor.insertText(QStringLiteral("X"));
                if (scrollTo) {
                    m_area.setTextCursor(cursor);
                    m_area.ensureCursorVisible();
                }
                m_area.viewport()->update(QRect(0, 0, 4, 4));
            },
            [&] { return quorlin::bench::lineInView(m_area, at); }, timeoutMs);
    }

private slots:
    void init()
    {
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << QStringLiteral("line %1").arg(i);
        m_area.setPlainText(lines.join(QLatin1Char('\n')));
        m_area.resize(300, 120);
        m_area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_area));
        m_area.verticalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
    }

    void stopsAtThePaintOfTheEdit_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("scrollTo");
        QTest::addColumn<bool>("shown");
        QTest::newRow("in view") << 1 << false << true;
        QTest::newRow("below the view, scrolled to") << 150 << true << true;
        // Only the corner is painted: no frame shows the edit.
        QTest::newRow("below the view, left there") << 150 << false << false;
    }

    void stopsAtThePaintOfTheEdit()
    {
        QFETCH(int, line);
        QFETCH(bool, scrollTo);
        QFETCH(bool, shown);
        // Waiting for a frame that never comes ends sooner.
        const Frame frame = editLine(line, scrollTo, shown ? 5000 : 300);
        QCOMPARE(frame.shown >= 0, shown);
        QCOMPARE(frame.painted >= 0, shown);
        QVERIFY(frame.handled >= 0);
        if (shown) {
            QVERIFY(frame.handled <= frame.painted);
            QVERIFY(frame.painted <= frame.shown);
            QVERIFY(frame.cpu > 0 && frame.cpu <= frame.shown * 1.05 + 1e5);
        }
    }

    // The frame lasts until the event that held the paint returns, not until the paint does.
    void endsWithTheOutermostEvent()
    {
        constexpr double kLingerNs = 30e6;
        Job job([this] {
            m_area.viewport()->repaint();
            QThread::usleep(static_cast<unsigned long>(kLingerNs / 1000));
        });
        const Frame frame = clock().time(
            *m_area.viewport(),
            [&] { QCoreApplication::postEvent(&job, new QEvent(QEvent::User)); },
            [&] { return quorlin::bench::lineInView(m_area, 0); });
        QVERIFY(frame.painted >= 0);
        QVERIFY2(frame.shown - frame.painted >= kLingerNs,
                 qPrintable(QStringLiteral("%1 ns").arg(frame.shown - frame.painted)));
        // Sleeping is no processor time.
        QVERIFY(frame.cpu < frame.shown - kLingerNs / 2);
    }

    void watchGivesOneReplacement_data()
    {
        QTest::addColumn<QList<Op>>("ops");
        QTest::addColumn<bool>("oneBlock");
        const QList<Op> apart = {{20, 0, "ab"}, {120, 0, "cd"}};
        QTest::newRow("one line grows") << QList<Op>{{35, 0, "q--"}} << false;
        QTest::newRow("two lines apart") << apart << false;
        QTest::newRow("two lines apart, one block") << apart << true;
        QTest::newRow("the later edit nearer the start")
            << QList<Op>{{120, 0, "cd"}, {3, 0, "ef"}} << false;
        QTest::newRow("a cut, then lines added before it")
            << QList<Op>{{60, 5, ""}, {10, 0, "x\ny\nz"}} << true;
        QTest::newRow("lines added at the end") << QList<Op>{{129, 0, "\n|  q\nG --3"}} << false;
        QTest::newRow("lines joined and replaced") << QList<Op>{{30, 50, "q"}} << false;
        QTest::newRow("the first character") << QList<Op>{{0, 1, "L"}} << false;
    }

    // Replaying the watched replacement on the text before gives the text after.
    void watchGivesOneReplacement()
    {
        QFETCH(QList<Op>, ops);
        QFETCH(bool, oneBlock);
        // As in the window: a document with a layout, which is what announces changes.
        QPlainTextEdit area;
        QTextDocument& doc = *area.document();
        const QString before = tenLines();
        doc.setPlainText(before);
        QCOMPARE(doc.characterCount(), 130);
        EditWatch watch(doc);
        watch.start();
        QTextCursor cursor(&doc);
        if (oneBlock)
            cursor.beginEditBlock();
        for (const Op& op : ops) {
            cursor.setPosition(op.position);
            cursor.setPosition(op.position + op.removed, QTextCursor::KeepAnchor);
            cursor.insertText(op.text);
        }
        if (oneBlock)
            cursor.endEditBlock();
        QVERIFY(watch.changed());
        const Edit edit = watch.edit();
        QCOMPARE(QString(before).replace(edit.position, edit.removed, edit.text),
                 doc.toPlainText());
        QCOMPARE(watch.end(), edit.position + edit.text.size());
        QVERIFY(edit.position <= std::min_element(ops.begin(), ops.end(), [](auto& a, auto& b) {
                                     return a.position < b.position;
                                 })->position);
    }

    void nearestRank_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<double>("expected");
        // Values count, count - 1, ..., 1: ranks worked out by hand.
        QTest::newRow("95th of 20") << 20 << 0.95 << 19.0;
        QTest::newRow("95th of 1000") << 1000 << 0.95 << 950.0;
        QTest::newRow("95th of 10") << 10 << 0.95 << 10.0;
        QTest::newRow("median rank of 9") << 9 << 0.5 << 5.0;
        QTest::newRow("one value") << 1 << 0.95 << 1.0;
        QTest::newRow("none below the least") << 4 << 0.0 << 1.0;
        QTest::newRow("all") << 4 << 1.0 << 4.0;
    }

    void nearestRank()
    {
        QFETCH(int, count);
        QFETCH(double, fraction);
        QFETCH(double, expected);
        std::vector<double> values;
        for (int v = count; v >= 1; --v)
            values.push_back(v);
        QCOMPARE(quorlin::bench::percentile(values, fraction), expected);
    }
};

int main(int argc, char** argv)
{
    Clock app(argc, argv);
    FrameClockTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FrameClockTest.moc"
