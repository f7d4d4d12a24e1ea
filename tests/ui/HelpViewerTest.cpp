#include "ui/HelpViewer.h"
#include "tests/ui/FormTesting.h"
#include "ui/BassU1/TBassForm.h"

#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using quorlin::ui::HelpViewer;
using quorlin::ui::parseHelpTopics;
using quorlin::ui::testing::child;

namespace {

// The overview is not the first topic, so falling back to the first is told apart from it.
const QByteArray kTopics = "Note for the author\n@topic 7 Tuning\nRight-click a name.\n"
                           "@topic 1 Overview\nFirst page, see [tuning](#topic-7).\n";

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private slots:
    void parsesTopics_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("topics");
        QTest::newRow("text before the first topic, blank edges")
            << "preamble\n@topic 1 Quorlin v1.0\n\nIntro\n\nMore\n\n@topic 12 Rests\nRest text\n"
            << "1 Quorlin v1.0: Intro\n\nMore | 12 Rests: Rest text";
        QTest::newRow("malformed headers are body text")
            << "@topic 1 One\n@topic Notes\n@topic 5x Five\n@topic 4\nx"
            << "1 One: @topic Notes\n@topic 5x Five | 4 : x";
        QTest::newRow("CRLF and a byte order mark")
            << QString(QChar(0xFEFF)) + "@topic 1 One\r\nline a\r\n    code\r\n"
            << "1 One: line a\n    code";
        QTest::newRow("no topic") << "just text\n"
                                  << "";
    }

    void parsesTopics()
    {
        QFETCH(QString, text);
        QFETCH(QString, topics);
        QStringList summary;
        for (const auto& t : parseHelpTopics(text))
            summary << QStringLiteral("%1 %2: %3").arg(t.number).arg(t.title, t.body);
        QCOMPARE(summary.join(QStringLiteral(" | ")), topics);
    }

    void theShippedFileOpensOnItsOverviewAndNoLinkDangles()
    {
        QFile file(QFINDTESTDATA("../../app/Quorlin.hlp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto topics = parseHelpTopics(QString::fromUtf8(file.readAll()));
        QVERIFY(!topics.isEmpty() && topics.first().number == 1);
        QList<int> numbers;
        for (const auto& topic : topics)
            numbers << topic.number;
        static const QRegularExpression link(QStringLiteral("\\]\\(#topic-(\\d+)\\)"));
        for (const auto& topic : topics) {
            for (const auto& match : link.globalMatch(topic.body))
                QVERIFY2(numbers.contains(match.captured(1).toInt()),
                         qPrintable(match.captured(0)));
        }
    }

    void helpButton_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::addColumn<int>("row");            // -1: the page holds a message instead
        QTest::addColumn<QString>("page");
        QTest::newRow("overview") << kTopics << 1 << "First page";
        QTest::newRow("no overview")
            << kTopics.left(kTopics.indexOf("@topic 1")) << 0 << "Right-click a name.";
        QTest::newRow("no file") << QByteArray() << -1 << "Cannot find the help file";
        QTest::newRow("no topic") << QByteArray("just text\n") << -1 << "holds no topic";
    }

    // "Help" reads the file afresh and opens the overview, or else the first topic; a link
    // opens its topic.
    void helpButton()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, row);
        QFETCH(QString, page);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quorlin.hlp"));
        quorlin::ui::TBassForm form;
        form.setHelpFile(path);
        // Opened at the overview first, so that falling back has a row to move from.
        for (const QByteArray& text : {kTopics, content}) {
            QFile file(path);
            file.remove();
            QVERIFY(text.isNull() || (file.open(QIODevice::WriteOnly) && file.write(text) > 0));
            file.close();
            QTest::mouseClick(child(form, "Help"), Qt::LeftButton);
            // Away from the list, which would pick its first row itself on taking the focus.
            child(*form.findChild<HelpViewer*>(), "Page")->setFocus();
        }
        auto* viewer = form.findChild<HelpViewer*>();
        QVERIFY(viewer != nullptr && QTest::qWaitForWindowExposed(viewer));
        auto* list = child<QListWidget>(*viewer, "Topics");
        auto* browser = child<QTextBrowser>(*viewer, "Page");
        QCOMPARE(list->currentRow(), row);
        QVERIFY(browser->toPlainText().contains(page));
        if (row != 1)
            return;
        QTextCursor link = browser->document()->find(QStringLiteral("tuning"));
        link.setPosition(link.selectionStart() + 1);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                          browser->cursorRect(link).center());
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(browser->toPlainText().contains("Right-click a name."));
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
