#pragma once

// The text the window showed and the edits its key presses made, carried to the floor
// program so that it makes the very same edits.

#include <QDataStream>
#include <QFile>
#include <QFont>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace quorlin::bench {

// One press's change to the text: `removed` characters at `position` gave way to `text`.
struct Edit {
    int position = 0;
    int removed = 0;
    QString text;
};

// The text as the window showed it before the first press, how it showed it, and every
// press's edit; `after` is the whole text once they were made, to check the floor's copy.
struct EditScript {
    QString text;
    QFont font;
    QSize size;
    int verticalBar = Qt::ScrollBarAsNeeded;
    int horizontalBar = Qt::ScrollBarAsNeeded;
    std::vector<Edit> edits;
    QString after;

    void look(const QPlainTextEdit& area)
    {
        font = area.font();
        size = area.size();
        verticalBar = area.verticalScrollBarPolicy();
        horizontalBar = area.horizontalScrollBarPolicy();
    }

    void shape(QPlainTextEdit& area) const
    {
        area.setFont(font);
        area.resize(size);
        area.setVerticalScrollBarPolicy(static_cast<Qt::ScrollBarPolicy>(verticalBar));
        area.setHorizontalScrollBarPolicy(static_cast<Qt::ScrollBarPolicy>(horizontalBar));
    }

    void save(const QString& path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        QDataStream out(&file);
        out << text << font << size << verticalBar << horizontalBar
            << static_cast<qint64>(edits.size());
        for (const Edit& edit : edits)
            out << edit.position << edit.removed << edit.text;
        out << after;
    }

    static EditScript load(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        QDataStream in(&file);
        EditScript script;
        qint64 count = 0;
        in >> script.text >> script.font >> script.size >> script.verticalBar >>
            script.horizontalBar >> count;
        script.edits.resize(static_cast<std::size_t>(count));
        for (Edit& edit : script.edits)
            in >> edit.position >> edit.removed >> edit.text;
        in >> script.after;
        if (in.status() != QDataStream::Ok)
            qFatal("%s is cut short", qPrintable(path));
        return script;
    }
};

// What a press changed in the document, as one replacement: from the first position any
// change touched to the end of the text no change touched.
class EditWatch {
public:
    explicit EditWatch(QTextDocument& doc) : m_doc(doc)
    {
        m_watch = QObject::connect(
            &doc, &QTextDocument::contentsChange, &doc, [this](int position, int, int added) {
                m_start = std::min(m_start, position);
                m_tail = std::min(m_tail, m_doc.characterCount() - position - added);
            });
    }
    ~EditWatch() { QObject::disconnect(m_watch); }
    EditWatch(const EditWatch&) = delete;
    EditWatch& operator=(const EditWatch&) = delete;

    void start()
    {
        m_before = m_doc.characterCount();
        m_start = m_before;
        m_tail = m_before;
    }

    bool changed() const { return m_start < m_before; }
    // Where the changed text ends, as the document is now.
    int end() const { return m_doc.characterCount() - m_tail; }

    Edit edit() const
    {
        QTextCursor cursor(&m_doc);
        cursor.setPosition(m_start);
        cursor.setPosition(end(), QTextCursor::KeepAnchor);
        return {m_start, m_before - m_tail - m_start,
                cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))};
    }

private:
    QTextDocument& m_doc;
    QMetaObject::Connection m_watch;
    int m_before = 0;
    int m_start = 0;
    int m_tail = 0;
};

} // namespace quorlin::bench
