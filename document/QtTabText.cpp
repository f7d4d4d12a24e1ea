#include "document/QtTabText.h"

#include <QAbstractUndoItem>
#include <QTextBlock>
#include <QTextDocument>

namespace quorlin::document {

namespace {

// The area holds plain text only, in the empty format that typing and pasting give it too.
// Naming it spares each insert looking up the format of the character before it.
const QTextCharFormat kPlain;

// A level of the document's undo that does nothing: it stands for a step that changed only
// the editing state.
class NoTextChange final : public QAbstractUndoItem {
public:
    void undo() override {}
    void redo() override {}
};

} // namespace

QtTabText::QtTabText(QTextDocument& text) : m_document(text)
{
    m_watch = QObject::connect(&document(), &QTextDocument::contentsChange, &m_document,
                               [this](int, int removed, int added) {
                                   if (m_ownDepth != 0 || (removed == 0 && added == 0))
                                       return;
                                   ++m_foreignChanges;
                                   if (m_onForeign)
                                       m_onForeign();
                               });
    // A level joined to the one before is announced again; it is no new level.
    m_levelWatch =
        QObject::connect(&document(), &QTextDocument::undoCommandAdded, &m_document, [this] {
            if (!m_joining)
                ++m_levels;
        });
    // Setting the whole text anew empties the document's undo.
    m_emptyWatch = QObject::connect(&document(), &QTextDocument::undoAvailable, &m_document,
                                    [this](bool available) {
                                        if (!available)
                                            m_levels = 0;
                                    });
}

QtTabText::~QtTabText()
{
    QObject::disconnect(m_watch);
    QObject::disconnect(m_levelWatch);
    QObject::disconnect(m_emptyWatch);
}

QTextDocument& QtTabText::document() const
{
    return m_document;
}

QTextCursor QtTabText::endOfText() const
{
    QTextCursor cursor(&document());
    cursor.setPosition(document().characterCount() - 1);
    return cursor;
}

int QtTabText::count() const
{
    const QTextDocument& doc = document();
    // A block's length counts its break too.
    const bool openLastLine = doc.lastBlock().length() > 1;
    return doc.blockCount() - (openLastLine ? 0 : 1);
}

QTextBlock QtTabText::lineBlock(int index) const
{
    const QTextBlock block = document().findBlockByNumber(index);
    // The empty block after the last line's break is no line.
    if (block.isValid() && block.length() == 1 && !block.next().isValid())
        return {};
    return block;
}

std::string QtTabText::line(int index) const
{
    const QTextBlock block = lineBlock(index);
    return block.isValid() ? block.text().toStdString() : std::string();
}

// Positions, not cursor moves: a move lays the block out first, which costs more than the
// edit itself.

void QtTabText::replace(int index, const std::string& text)
{
    const Own own(*this);
    const QTextBlock block = lineBlock(index);
    if (!block.isValid())
        return;
    const int start = block.position();
    QTextCursor cursor(&document());
    cursor.setPosition(start);
    cursor.setPosition(start + block.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(text), kPlain);
}

void QtTabText::extend(int index, std::string_view tail)
{
    const Own own(*this);
    const QTextBlock block = lineBlock(index);
    if (!block.isValid())
        return;
    QTextCursor cursor(&document());
    cursor.setPosition(block.position() + block.length() - 1);
    cursor.insertText(QString::fromUtf8(tail.data(), static_cast<qsizetype>(tail.size())), kPlain);
}

void QtTabText::append(const std::string& text)
{
    const Own own(*this);
    QTextCursor cursor = endOfText();
    // A line typed by hand without a line break is finished first.
    const QString opening = cursor.block().text().isEmpty() ? QString() : QStringLiteral("\n");
    cursor.insertText(opening + QString::fromStdString(text) + QLatin1Char('\n'), kPlain);
}

void QtTabText::appendLines(const std::vector<std::string>& lines)
{
    const Own own(*this);
    if (lines.empty())
        return;
    QString text;
    {
        std::string joined;
        std::size_t size = 0;
        for (const std::string& line : lines)
            size += line.size() + 1;
        joined.reserve(size);
        for (const std::string& line : lines)
            joined.append(line).push_back('\n');
        text = QString::fromUtf8(joined.data(), static_cast<qsizetype>(joined.size()));
    }
    QTextCursor cursor = endOfText();
    if (!cursor.block().text().isEmpty())
        cursor.insertText(QStringLiteral("\n"), kPlain);
    cursor.insertText(text, kPlain);
}

QtTabText::Snapshot QtTabText::snapshot() const
{
    // Raw text keeps the blocks apart with a paragraph separator, which nothing typed holds.
    static constexpr std::string_view kSeparator = "\u2029";
    Snapshot result;
    result.m_utf8 = document().toRawText().toUtf8();
    std::string_view rest(result.m_utf8.constData(),
                          static_cast<std::size_t>(result.m_utf8.size()));
    for (std::size_t end; (end = rest.find(kSeparator)) != std::string_view::npos;) {
        result.m_lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + kSeparator.size());
    }
    // The empty last block follows the last line's break: it is no line.
    if (!rest.empty())
        result.m_lines.push_back(rest);
    return result;
}

void QtTabText::eraseAll()
{
    const Own own(*this);
    QTextCursor cursor(&document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
}

void QtTabText::eraseFrom(int from)
{
    const Own own(*this);
    const QTextBlock block = lineBlock(from);
    if (!block.isValid())
        return;
    // To the end of the document: the last line's break goes with it, as eraseAll's does.
    QTextCursor cursor(&document());
    cursor.setPosition(block.position());
    cursor.setPosition(document().characterCount() - 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void QtTabText::beginGroup(bool joinPrevious)
{
    if (m_groupDepth++ > 0)
        return;
    m_group = QTextCursor(&document());
    m_joining = joinPrevious && m_levels > 0;
    if (m_joining)
        m_group.joinPreviousEditBlock();
    else
        m_group.beginEditBlock();
}

void QtTabText::endGroup()
{
    if (m_groupDepth == 0 || --m_groupDepth > 0)
        return;
    // The document reports the group's changes only now, and they are ours.
    const Own own(*this);
    m_group.endEditBlock();
    m_group = QTextCursor();
    m_joining = false;
}

void QtTabText::markSaved()
{
    // The document joins typing to the level before only while it counts as modified.
    document().setModified(false);
}

void QtTabText::addEmptyLevel()
{
    document().appendUndoItem(new NoTextChange);
}

void QtTabText::undoLevel()
{
    if (m_levels == 0)
        return;
    const Own own(*this);
    const int left = m_levels - 1;
    document().undo();
    m_levels = left;
}

void QtTabText::redoLevel()
{
    if (!document().isRedoAvailable())
        return;
    const Own own(*this);
    const int now = m_levels + 1;
    document().redo();
    m_levels = now;
}

} // namespace quorlin::document
