// The text area's lines as the engine sees them, its journal of changes, and typing grouped
// into undo levels, checked against what the text document itself holds.

#include "document/QtTabText.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <map>
#include <random>

using quorlin::document::QtTabText;

namespace {

QString lines(const QtTabText& text)
{
    QStringList out;
    for (int i = 0; i < text.count(); ++i)
        out << QString::fromStdString(text.line(i));
    return out.join(QLatin1Char('|'));
}

// The document's own blocks, as the engine's lines: the empty block after the last break
// is none.
QString documentLines(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        out << b.text();
    if (out.back().isEmpty())
        out.removeLast();
    return out.join(QLatin1Char('|'));
}

void type(QTextDocument& doc, int position, const QString& text, int removing = 0)
{
    QTextCursor cursor(&doc);
    cursor.setPosition(position);
    cursor.setPosition(position + removing, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

} // namespace

class QtTabTextTest : public QObject {
    Q_OBJECT

private slots:
    // Random runs of the engine's edits and the user's (typed characters, other scripts,
    // pasted lines over a selection, lines taken out): after each the lines are the
    // document's, and undo and redo walk back and forth through every level exactly.
    void journalWalksBackAndForthExactly()
    {
        const QStringList pieces = {QStringLiteral("q"), QStringLiteral("-5-"),
                                    QStringLiteral("é"), QStringLiteral("\U0001D11E"),
                                    QStringLiteral("\n"), QStringLiteral("G --\nD -7-\n")};
        for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
            QTextDocument doc;
            QtTabText text(doc);
            std::mt19937 random(seed);
            const auto pick = [&random](int n) {
                return static_cast<int>(random() % static_cast<unsigned>(n));
            };
            std::map<int, QString> atLevel = {{0, doc.toPlainText()}};
            for (int step = 0; step < 300; ++step) {
                const int kind = pick(9);
                if (kind < 4) {
                    const QtTabText::Action group(text);
                    for (int n = pick(4); n >= 0; --n) {
                        const int line = text.count() > 0 ? pick(text.count()) : 0;
                        switch (pick(5)) {
                        case 0: text.extend(line, "-" + std::to_string(pick(24))); break;
                        case 1: text.replace(line, "| e" + std::string(pick(5), ' ')); break;
                        case 2: text.append("A -" + std::to_string(step)); break;
                        case 3: text.appendLines({"|  q", "E -0-", ">  "}); break;
                        default:
                            if (pick(6) == 0)
                                text.eraseFrom(line);
                        }
                    }
                } else if (kind == 4) {
                    text.addEmptyLevel();
                } else {
                    // The cursor never stands inside a character of two code units.
                    const auto whole = [&doc](int p) {
                        return doc.characterAt(p).isLowSurrogate() ? p + 1 : p;
                    };
                    const int size = doc.characterCount() - 1;
                    const int at = whole(pick(size + 1));
                    const int removing =
                        kind == 8 ? whole(at + pick(size - at + 1)) - at : 0;
                    type(doc, at, kind == 5 ? QString() : pieces[pick(pieces.size())],
                         kind == 5 ? whole(std::min(at + 1, size)) - at : removing);
                }
                QCOMPARE(lines(text), documentLines(doc));
                atLevel[text.undoLevels()] = doc.toPlainText();
                // A new level drops the levels undo could have put back.
                atLevel.erase(atLevel.upper_bound(text.undoLevels()), atLevel.end());
                if (pick(10) == 0) {
                    text.undoLevel();
                    QCOMPARE(doc.toPlainText(), atLevel.at(text.undoLevels()));
                    text.redoLevel();
                }
            }
            const int top = text.undoLevels();
            QCOMPARE(static_cast<int>(atLevel.size()), top + 1);
            while (text.undoLevels() > 0) {
                text.undoLevel();
                QCOMPARE(doc.toPlainText(), atLevel.at(text.undoLevels()));
                QCOMPARE(lines(text), documentLines(doc));
            }
            while (text.undoLevels() < top) {
                text.redoLevel();
                QCOMPARE(doc.toPlainText(), atLevel.at(text.undoLevels()));
            }
        }
    }

    // Keys typed one after another on a line are one level, as a text editor's undo takes
    // them; a new line, a jump elsewhere, a save or an action of the engine starts another.
    void typingGroupsAsAnEditorDoes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("levels");
        // t: type "x" at the end; b: backspace at the end; n: type a line break at the end;
        // h: type "x" at the start; s: saved; e: the engine extends line 0.
        QTest::newRow("a word") << "tttt" << 1;
        QTest::newRow("a word rubbed out") << "ttbb" << 2;
        QTest::newRow("backspaces") << "bbb" << 1;
        QTest::newRow("a line break") << "ttntt" << 3;
        QTest::newRow("elsewhere") << "tthtt" << 3;
        QTest::newRow("saved between") << "ttstt" << 2;
        QTest::newRow("the engine between") << "ttett" << 3;
    }
    void typingGroupsAsAnEditorDoes()
    {
        QFETCH(QString, script);
        QFETCH(int, levels);
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("G -5-"));
        QtTabText text(doc);
        const auto end = [&doc] { return doc.characterCount() - 1; };
        for (const QChar c : script) {
            switch (c.toLatin1()) {
            case 't': type(doc, end(), QStringLiteral("x")); break;
            case 'b': type(doc, end() - 1, QString(), 1); break;
            case 'n': type(doc, end(), QStringLiteral("\n")); break;
            case 'h': type(doc, 0, QStringLiteral("x")); break;
            case 's': text.markSaved(); break;
            case 'e': {
                const QtTabText::Action group(text);
                text.extend(0, "-");
                break;
            }
            }
        }
        QCOMPARE(text.undoLevels(), levels);
        while (text.undoLevels() > 0)
            text.undoLevel();
        QCOMPARE(doc.toPlainText(), QStringLiteral("G -5-"));
    }
};

QTEST_MAIN(QtTabTextTest)
#include "QtTabTextTest.moc"
