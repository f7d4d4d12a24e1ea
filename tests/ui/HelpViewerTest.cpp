#include "ui/HelpViewer.h"

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

namespace {

const char* const kThreeTopics = "Note for the author\n"
                                 "@topic 1 Overview\n"
                                 "First page. Go to [tuning](#topic-7).\n"
                                 "@topic 7 Tuning\n"
                                 "Right-click a string name.\n"
                                 "@topic 3 Rests\n"
                                 "Drop on the Rest panel.\n";

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

// Centre of the first character of the first link on the page, in viewport coordinates.
QPoint firstLinkPoint(QTextBrowser* page)
{
    for (QTextBlock block = page->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor()) {
                QTextCursor cursor(page->document());
                cursor.setPosition(fragment.position() + 1);
                return page->cursorRect(cursor).center() - QPoint(2, 0);
            }
        }
    }
    return {};
}

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private slots:
    void parsesTopics_data();
    void parsesTopics();
    void shippedFileLinksResolve();
    void opensAtContextNumber_data();
    void opensAtContextNumber();
    void linkAndListSwitchTopic();
    void reloadsEditedFile();
    void unusableFileShowsMessage_data();
    void unusableFileShowsMessage();
};

void HelpViewerTest::parsesTopics_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("bodies");

    QTest::newRow("several topics, blank edges trimmed")
        << "@topic 1 Quorlin v1.0\n\nIntro\n\nMore\n\n@topic 12 Rests\nRest text\n"
        << QList<int>{1, 12} << QStringList{"Quorlin v1.0", "Rests"}
        << QStringList{"Intro\n\nMore", "Rest text"};
    QTest::newRow("text before the first topic ignored")
        << "preamble\n@topic nothing\n@topic 2 Two\nbody" << QList<int>{2} << QStringList{"Two"}
        << QStringList{"body"};
    QTest::newRow("malformed header is body text")
        << "@topic 1 One\n@topic Notes\n@topic 5x Five\n@topics 6 Six\n  @topic 7 Seven"
        << QList<int>{1} << QStringList{"One"}
        << QStringList{"@topic Notes\n@topic 5x Five\n@topics 6 Six\n  @topic 7 Seven"};
    QTest::newRow("number without title") << "@topic 4\nx\n@topic 5   \ny" << QList<int>{4, 5}
                                          << QStringList{"", ""} << QStringList{"x", "y"};
    QTest::newRow("empty file") << "" << QList<int>{} << QStringList{} << QStringList{};
    QTest::newRow("no topic line") << "just text\n"
                                   << QList<int>{} << QStringList{} << QStringList{};
    QTest::newRow("CRLF line ends and byte order mark")
        << QString(QChar(0xFEFF)) + "@topic 1 One\r\nline a\r\n    code\r\n@topic 2 Two\r\n"
        << QList<int>{1, 2} << QStringList{"One", "Two"} << QStringList{"line a\n    code", ""};
}

void HelpViewerTest::parsesTopics()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, bodies);

    const auto topics = parseHelpTopics(text);
    QList<int> gotNumbers;
    QStringList gotTitles;
    QStringList gotBodies;
    for (const auto& topic : topics) {
        gotNumbers << topic.number;
        gotTitles << topic.title;
        gotBodies << topic.body;
    }
    QCOMPARE(gotNumbers, numbers);
    QCOMPARE(gotTitles, titles);
    QCOMPARE(gotBodies, bodies);
}

// The file shipped beside the program: topic 1 is the overview and no link dangles.
void HelpViewerTest::shippedFileLinksResolve()
{
    const QString path =
        QFileInfo(QString::fromUtf8(__FILE__)).dir().filePath("../../app/Quorlin.hlp");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const auto topics = parseHelpTopics(QString::fromUtf8(file.readAll()));
    QVERIFY(!topics.isEmpty());
    QCOMPARE(topics.first().number, 1);
    QCOMPARE(topics.first().title, QStringLiteral("Quorlin v1.0"));

    QList<int> numbers;
    for (const auto& topic : topics)
        numbers << topic.number;
    static const QRegularExpression link(QStringLiteral("\\]\\(#topic-(\\d+)\\)"));
    for (const auto& topic : topics) {
        for (const auto& match : link.globalMatch(topic.body)) {
            QVERIFY2(numbers.contains(match.captured(1).toInt()),
                     qPrintable(topic.title + " -> " + match.captured(0)));
        }
    }
}

void HelpViewerTest::opensAtContextNumber_data()
{
    QTest::addColumn<int>("context");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");

    QTest::newRow("topic 1") << 1 << 0 << "First page.";
    QTest::newRow("topic 3, third in the file") << 3 << 2 << "Drop on the Rest panel.";
    QTest::newRow("unknown falls back to first") << 42 << 0 << "First page.";
}

void HelpViewerTest::opensAtContextNumber()
{
    QFETCH(int, context);
    QFETCH(int, row);
    QFETCH(QString, text);

    QTemporaryDir dir;
    const QString path = dir.filePath("Quorlin.hlp");
    QVERIFY(writeFile(path, kThreeTopics));

    HelpViewer viewer;
    QVERIFY(viewer.openAt(path, context));
    auto* list = viewer.findChild<QListWidget*>("Topics");
    auto* page = viewer.findChild<QTextBrowser*>("Page");
    QVERIFY(list && page);

    QVERIFY(viewer.isVisible());
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), row);
    QVERIFY2(page->toPlainText().contains(text), qPrintable(page->toPlainText()));
    QVERIFY(page->toPlainText().startsWith(list->currentItem()->text()));
}

void HelpViewerTest::linkAndListSwitchTopic()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quorlin.hlp");
    const QString notes = dir.filePath("notes.txt");
    QVERIFY(writeFile(notes, "not a help topic"));
    const QByteArray fileLink = QUrl::fromLocalFile(notes).toEncoded();
    QVERIFY(writeFile(path, QByteArray(kThreeTopics) + "@topic 9 Files\nSee [notes](" + fileLink +
                                ").\n"));

    HelpViewer viewer;
    QVERIFY(viewer.openAt(path, 1));
    auto* list = viewer.findChild<QListWidget*>("Topics");
    auto* page = viewer.findChild<QTextBrowser*>("Page");
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));

    QPoint link = firstLinkPoint(page);
    QVERIFY(!link.isNull());
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, link);
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(page->toPlainText().contains("Right-click a string name."));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(3)).center());
    QVERIFY(page->toPlainText().contains("See notes."));

    // Only topic links are followed: the browser must not load the file in its place.
    link = firstLinkPoint(page);
    QVERIFY(!link.isNull());
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, link);
    QCOMPARE(list->currentRow(), 3);
    QVERIFY2(page->toPlainText().contains("See notes."), qPrintable(page->toPlainText()));
}

void HelpViewerTest::reloadsEditedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quorlin.hlp");
    QVERIFY(writeFile(path, "@topic 1 Old\nold text\n"));

    HelpViewer viewer;
    QVERIFY(viewer.openAt(path, 1));
    QVERIFY(writeFile(path, "@topic 1 New\nnew text\n@topic 2 Extra\nmore\n"));
    QVERIFY(viewer.openAt(path, 1));

    auto* page = viewer.findChild<QTextBrowser*>("Page");
    QVERIFY(page->toPlainText().contains("new text"));
    QCOMPARE(viewer.findChild<QListWidget*>("Topics")->count(), 2);
}

void HelpViewerTest::unusableFileShowsMessage_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing") << false << QByteArray() << "Cannot find the help file";
    QTest::newRow("empty") << true << QByteArray() << "holds no topic";
    QTest::newRow("no topic line") << true << QByteArray("@topic x\ntext\n") << "holds no topic";
}

void HelpViewerTest::unusableFileShowsMessage()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString good = dir.filePath("good.hlp");
    const QString path = dir.filePath("Quorlin.hlp");
    QVERIFY(writeFile(good, kThreeTopics));
    if (exists)
        QVERIFY(writeFile(path, content));

    // A good file first, so stale topics would show if the failure left them behind.
    HelpViewer viewer;
    QVERIFY(viewer.openAt(good, 7));
    QVERIFY(!viewer.openAt(path, 1));

    auto* page = viewer.findChild<QTextBrowser*>("Page");
    QVERIFY(viewer.isVisible());
    QCOMPARE(viewer.findChild<QListWidget*>("Topics")->count(), 0);
    QVERIFY2(page->toPlainText().contains(message), qPrintable(page->toPlainText()));
    QVERIFY(page->toPlainText().contains(path));
}

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
