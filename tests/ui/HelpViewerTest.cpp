#include "ui/HelpViewer.h"
#include "tests/ui/FormTesting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

using quorlin::ui::HelpViewer;
using quorlin::ui::parseHelpTopics;
using quorlin::ui::testing::child;

namespace {

QString summary(const QList<quorlin::ui::HelpTopic>& topics)
{
    QStringList parts;
    for (const auto& t : topics)
        parts << QStringLiteral("%1 %2: %3").arg(t.number).arg(t.title, t.body);
    return parts.join(QStringLiteral(" | "));
}

QString writeHelp(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("Quorlin.hlp"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The first character of the page's first link, in viewport coordinates.
QPoint firstLink(QTextBrowser* page)
{
    for (QTextBlock b = page->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                QTextCursor cursor(page->document());
                cursor.setPosition(it.fragment().position() + 1);
                return page->cursorRect(cursor).center();
            }
        }
    }
    return {};
}

const QByteArray kTopics = "Note for the author\n@topic 1 Overview\nFirst page, see "
                           "[tuning](#topic-7).\n@topic 7 Tuning\nRight-click a name.\n";

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private slots:
    void parsesTopics_data();
    void parsesTopics();
    void theShippedFileOpensOnItsOverviewAndNoLinkDangles();
    void opensAtATopicAndFollowsLinks();
};

void HelpViewerTest::parsesTopics_data()
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

void HelpViewerTest::parsesTopics()
{
    QFETCH(QString, text);
    QFETCH(QString, topics);
    QCOMPARE(summary(parseHelpTopics(text)), topics);
}

void HelpViewerTest::theShippedFileOpensOnItsOverviewAndNoLinkDangles()
{
    QFile file(QFileInfo(QString::fromUtf8(__FILE__)).dir().filePath("../../app/Quorlin.hlp"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto topics = parseHelpTopics(QString::fromUtf8(file.readAll()));
    QVERIFY(!topics.isEmpty());
    QCOMPARE(topics.first().number, 1);
    QList<int> numbers;
    for (const auto& topic : topics)
        numbers << topic.number;
    static const QRegularExpression link(QStringLiteral("\\]\\(#topic-(\\d+)\\)"));
    for (const auto& topic : topics) {
        for (const auto& match : link.globalMatch(topic.body))
            QVERIFY2(numbers.contains(match.captured(1).toInt()), qPrintable(match.captured(0)));
    }
}

void HelpViewerTest::opensAtATopicAndFollowsLinks()
{
    QTemporaryDir dir;
    const QString path = writeHelp(dir, kTopics);
    HelpViewer viewer;
    auto* list = child<QListWidget>(viewer, "Topics");
    auto* page = child<QTextBrowser>(viewer, "Page");

    QVERIFY(viewer.openAt(path, 7));
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(viewer.openAt(path, 42));
    QCOMPARE(list->currentRow(), 0); // an unknown topic falls back to the first
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));

    QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, firstLink(page));
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(page->toPlainText().contains("Right-click a name."));
}

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
