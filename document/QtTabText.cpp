#include "document/QtTabText.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace quorlin::document {

namespace {

// The area holds plain text only, in the empty format that typing and pasting give it too.
// Naming it spares each insert looking up the format of the character before it.
const QTextCharFormat kPlain;

constexpr int kMostPieces = 8;
constexpr int kWritesBetweenReclaims = 2048;

QString fromBytes(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string joined(const std::vector<std::string>& blocks, int index, int count)
{
    std::size_t size = 0;
    for (int i = index; i < index + count; ++i)
        size += blocks[static_cast<std::size_t>(i)].size() + 1;
    std::string text;
    text.reserve(size);
    for (int i = index; i < index + count; ++i) {
        if (i > index)
            text.push_back('\n');
        text.append(blocks[static_cast<std::size_t>(i)]);
    }
    return text;
}

int lineCount(std::string_view text)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

QtTabText::QtTabText(QTextDocument& text) : m_document(text)
{
    m_document.setUndoRedoEnabled(false);
    // A document tells of its changes only once it has a layout.
    m_document.documentLayout();
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next())
        m_blocks.push_back(block.text().toStdString());
    m_watch = QObject::connect(&document(), &QTextDocument::contentsChange, &m_document,
                               [this](int position, int removed, int added) {
                                   if (m_ownDepth != 0 || (removed == 0 && added == 0))
                                       return;
                                   takeForeign(position, removed, added);
                                   ++m_foreignChanges;
                                   if (m_onForeign)
                                       m_onForeign();
                               });
}

QtTabText::~QtTabText()
{
    QObject::disconnect(m_watch);
}

QTextDocument& QtTabText::document() const
{
    return m_document;
}

int QtTabText::count() const
{
    // The empty block after the last line's break is no line.
    return blocks() - (m_blocks.back().empty() ? 1 : 0);
}

std::string QtTabText::line(int index) const
{
    return index >= 0 && index < count() ? m_blocks[static_cast<std::size_t>(index)]
                                         : std::string();
}

std::string_view QtTabText::view(int index, std::string&) const
{
    return index >= 0 && index < count() ? std::string_view(m_blocks[static_cast<std::size_t>(index)])
                                         : std::string_view();
}

std::string_view QtTabText::text(int index, std::string&) const
{
    return m_blocks[static_cast<std::size_t>(index)];
}

// Positions, not cursor moves: a move lays the block out first, which costs more than the
// edit itself.

void QtTabText::extendLine(int index, std::string_view tail)
{
    const Own own(*this);
    QTextBlock block = document().findBlockByNumber(index);
    std::string& text = m_blocks[static_cast<std::size_t>(index)];
    QTextCursor cursor(&document());
    const int end = block.position() + block.length() - 1;
    // The document keeps each insert as a piece of its own where it cannot join the one
    // before, which a note on every string of a block never can: a line extended again and
    // again is written whole now and then, so that a long tab typed note by note costs what
    // the same tab loaded does.
    const int pieces = std::max(block.userState(), 0) + 1;
    if (pieces < kMostPieces) {
        cursor.setPosition(end);
        cursor.insertText(fromBytes(tail), kPlain);
    } else {
        cursor.setPosition(block.position());
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.insertText(fromBytes(std::string(text).append(tail)), kPlain);
        // What the whole lines left behind is reclaimed once there is enough of it.
        if (++m_wholeWrites % kWritesBetweenReclaims == 0)
            document().setUndoRedoEnabled(false);
    }
    block.setUserState(pieces < kMostPieces ? pieces : 0);
    text.append(tail);
}

void QtTabText::cutLine(int index, std::size_t bytes)
{
    const Own own(*this);
    std::string& text = m_blocks[static_cast<std::size_t>(index)];
    const auto characters =
        static_cast<int>(fromBytes(std::string_view(text).substr(text.size() - bytes)).size());
    const QTextBlock block = document().findBlockByNumber(index);
    const int end = block.position() + block.length() - 1;
    QTextCursor cursor(&document());
    cursor.setPosition(end - characters);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    text.resize(text.size() - bytes);
}

void QtTabText::spliceLines(int index, int count, std::string_view joinedText, int lines)
{
    // Every change here is of one block or more into one or more: a document has a block.
    if (count < 1 || lines < 1)
        return;
    const Own own(*this);
    QTextCursor cursor(&document());
    cursor.setPosition(document().findBlockByNumber(index).position());
    const QTextBlock last = document().findBlockByNumber(index + count - 1);
    cursor.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(fromBytes(joinedText), kPlain);
    engine::spliceInto(m_blocks, index, count, joinedText, lines);
}

void QtTabText::put(int index, int count, std::string_view text)
{
    m_typing.open = false;
    const int lines = lineCount(text);
    m_journal.spliced(index, count, joined(m_blocks, index, count), lines, text);
    spliceLines(index, count, text, lines);
}

void QtTabText::replace(int index, const std::string& text)
{
    if (index < 0 || index >= count())
        return;
    put(index, 1, text);
}

void QtTabText::extend(int index, std::string_view tail)
{
    if (index < 0 || index >= count())
        return;
    m_typing.open = false;
    m_journal.extended(index, tail);
    extendLine(index, tail);
}

void QtTabText::append(const std::string& text)
{
    appendLines({text});
}

void QtTabText::appendLines(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return;
    // A line typed by hand without a line break is finished first.
    const int last = blocks() - 1;
    std::string text = m_blocks.back();
    std::size_t size = text.size() + 1;
    for (const std::string& line : lines)
        size += line.size() + 1;
    text.reserve(size);
    if (!text.empty())
        text.push_back('\n');
    for (const std::string& line : lines)
        text.append(line).push_back('\n');
    put(last, 1, text);
}

QtTabText::Snapshot QtTabText::snapshot() const
{
    Snapshot result;
    result.m_lines.assign(m_blocks.begin(), m_blocks.begin() + count());
    return result;
}

void QtTabText::eraseAll()
{
    if (blocks() > 1 || !m_blocks.front().empty())
        put(0, blocks(), {});
}

void QtTabText::eraseFrom(int from)
{
    if (from < 0 || from >= count())
        return;
    // To the end of the document: the last line's break goes with it, as eraseAll's does.
    put(from, blocks() - from, {});
}

void QtTabText::takeForeign(int position, int removed, int added)
{
    const int first = document().findBlock(position).blockNumber();
    const int delta = document().blockCount() - blocks();
    // The blocks after the change are the ones before it, moved by what it added or took.
    QTextBlock endBlock = document().findBlock(position + added);
    if (!endBlock.isValid())
        endBlock = document().lastBlock();
    const int lastNew = std::max(endBlock.blockNumber(), first);
    const int lastOld = lastNew - delta;
    if (first < 0 || lastOld < first || lastOld >= blocks()) {
        // Counts that do not add up: the whole text is taken as changed.
        takeForeign(0, 0, document().characterCount());
        return;
    }
    std::vector<std::string> made;
    for (QTextBlock block = document().findBlockByNumber(first);
         block.isValid() && block.blockNumber() <= lastNew; block = block.next())
        made.push_back(block.text().toStdString());
    const std::string after = joined(made, 0, static_cast<int>(made.size()));
    const int oldCount = lastOld - first + 1;
    const std::string before = joined(m_blocks, first, oldCount);
    if (before == after)
        return;
    // Characters typed or taken one after another on one line are one level, as typing is.
    const bool oneLine = oldCount == 1 && lastNew == first;
    const bool inserting = removed == 0;
    const bool follows =
        m_typing.open && oneLine && m_typing.inserting == inserting &&
        (inserting ? position == m_typing.end
                   : added == 0 && (position + removed == m_typing.position ||
                                    position == m_typing.position));
    if (follows)
        m_journal.joinNextChange();
    const int newCount = lastNew - first + 1;
    m_journal.spliced(first, oldCount, before, newCount, after);
    engine::spliceInto(m_blocks, first, oldCount, after, newCount);
    m_typing = {oneLine && (inserting || added == 0), inserting, position, position + added};
}

void QtTabText::beginGroup(bool joinPrevious)
{
    m_typing.open = false;
    m_journal.beginGroup(joinPrevious);
    if (m_groupDepth++ > 0)
        return;
    m_group = QTextCursor(&document());
    m_group.beginEditBlock();
}

void QtTabText::endGroup()
{
    m_journal.endGroup();
    if (m_groupDepth == 0 || --m_groupDepth > 0)
        return;
    // The document reports the group's changes only now, and they are ours.
    const Own own(*this);
    m_group.endEditBlock();
    m_group = QTextCursor();
}

void QtTabText::markSaved()
{
    // Typing after a save starts a level of its own.
    m_typing.open = false;
    document().setModified(false);
}

void QtTabText::addEmptyLevel()
{
    m_typing.open = false;
    m_journal.addEmptyLevel();
}

void QtTabText::undoLevel()
{
    m_typing.open = false;
    m_journal.undo(*this);
}

void QtTabText::redoLevel()
{
    m_typing.open = false;
    m_journal.redo(*this);
}

} // namespace quorlin::document
