#include "ui/common/HelpViewer.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>

namespace quorlin::ui {

namespace {

bool isBlank(const QString& line)
{
    return line.trimmed().isEmpty();
}

// Blank lines around a body are only spacing in the file; inner ones stay
// because Markdown needs them between paragraphs.
QString joinBody(const QStringList& lines)
{
    qsizetype first = 0;
    qsizetype end = lines.size();
    while (first < end && isBlank(lines[first]))
        ++first;
    while (end > first && isBlank(lines[end - 1]))
        --end;
    return lines.mid(first, end - first).join(QLatin1Char('\n'));
}

QString listLabel(const HelpTopic& topic)
{
    return topic.title.isEmpty() ? QString::number(topic.number) : topic.title;
}

} // namespace

QList<HelpTopic> parseHelpTopics(const QString& text)
{
    static const QRegularExpression header(QStringLiteral("^@topic[ \\t]+(\\d+)(?:[ \\t]+(.*))?$"));

    QString source = text;
    if (source.startsWith(QChar(0xFEFF)))
        source.remove(0, 1);

    QList<HelpTopic> topics;
    QStringList bodyLines;
    auto closeTopic = [&] {
        if (!topics.isEmpty())
            topics.last().body = joinBody(bodyLines);
        bodyLines.clear();
    };

    for (QString line : source.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QRegularExpressionMatch match = header.match(line);
        bool numberOk = false;
        const int number = match.hasMatch() ? match.captured(1).toInt(&numberOk) : 0;
        if (numberOk) {
            closeTopic();
            topics.append({number, match.captured(2).trimmed(), {}});
        } else if (!topics.isEmpty()) {
            bodyLines.append(line);
        }
    }
    closeTopic();
    return topics;
}

QString HelpViewer::installedFile(const QString& name)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QLatin1Char('/') + name;
    const QString installed = dir + QStringLiteral("/../share/quorlin/") + name;
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed)
               ? beside
               : QFileInfo(installed).canonicalFilePath();
}

HelpViewer::HelpViewer(QWidget* parent) :
    QDialog(parent), m_topicList(new QListWidget), m_page(new QTextBrowser)
{
    setWindowTitle(QStringLiteral("Quorlin Help"));
    setModal(false);
    resize(640, 480);

    m_topicList->setObjectName(QStringLiteral("Topics"));
    m_page->setObjectName(QStringLiteral("Page"));
    // The links point at topics of the loaded file, not at files on disk.
    m_page->setOpenLinks(false);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_topicList);
    splitter->addWidget(m_page);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 410});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    connect(m_topicList, &QListWidget::currentRowChanged, this, &HelpViewer::showRow);
    connect(m_page, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
}

bool HelpViewer::openAt(const QString& helpFilePath, int contextNumber)
{
    QFile file(helpFilePath);
    const bool readable = file.open(QIODevice::ReadOnly);
    // The pictures the topics show lie beside the file.
    m_page->setSearchPaths({QFileInfo(helpFilePath).absolutePath()});
    m_topics = readable ? parseHelpTopics(QString::fromUtf8(file.readAll())) : QList<HelpTopic>{};

    {
        // Filling the list would otherwise show each topic it passes through.
        const QSignalBlocker blocker(m_topicList);
        m_topicList->clear();
        for (const HelpTopic& topic : std::as_const(m_topics))
            m_topicList->addItem(listLabel(topic));
    }

    if (!readable)
        showMessage(QStringLiteral("Cannot find the help file %1.").arg(helpFilePath));
    else if (m_topics.isEmpty())
        showMessage(QStringLiteral("The help file %1 holds no topic.").arg(helpFilePath));
    else
        showRow(std::max(rowOf(contextNumber), 0));

    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    return !m_topics.isEmpty();
}

void HelpViewer::showRow(int row)
{
    if (row < 0 || row >= m_topics.size())
        return;
    const HelpTopic& topic = m_topics[row];
    m_page->setMarkdown(QStringLiteral("# ") + listLabel(topic) + QStringLiteral("\n\n") +
                        topic.body);
    m_page->verticalScrollBar()->setValue(0);
    if (m_topicList->currentRow() != row) {
        const QSignalBlocker blocker(m_topicList);
        m_topicList->setCurrentRow(row);
    }
}

void HelpViewer::followLink(const QUrl& url)
{
    static const QRegularExpression anchor(QStringLiteral("^topic-(\\d+)$"));
    if (!url.scheme().isEmpty() || !url.path().isEmpty())
        return;
    const QRegularExpressionMatch match = anchor.match(url.fragment());
    bool numberOk = false;
    const int number = match.hasMatch() ? match.captured(1).toInt(&numberOk) : 0;
    if (numberOk)
        showRow(rowOf(number));
}

void HelpViewer::showMessage(const QString& message)
{
    m_page->setPlainText(message);
}

int HelpViewer::rowOf(int contextNumber) const
{
    for (qsizetype row = 0; row < m_topics.size(); ++row) {
        if (m_topics[row].number == contextNumber)
            return static_cast<int>(row);
    }
    return -1;
}

} // namespace quorlin::ui
