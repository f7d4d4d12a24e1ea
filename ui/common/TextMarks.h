#pragma once

#include <QList>
#include <QTextEdit>

#include <array>
#include <cstddef>

class QPlainTextEdit;

namespace quorlin::ui {

// The marks laid over a text area. Several features mark the same text, each its own layer;
// the area shows them all, so that one never wipes out another's.
class TextMarks {
public:
    // In drawing order: where they meet, the sounding column covers the tab cursor.
    enum class Layer { TabCursor, Playing, Count };

    explicit TextMarks(QPlainTextEdit& text) : m_text(text) {}

    void set(Layer layer, QList<QTextEdit::ExtraSelection> marks);
    void clear(Layer layer) { set(layer, {}); }

private:
    QPlainTextEdit& m_text;
    std::array<QList<QTextEdit::ExtraSelection>, static_cast<std::size_t>(Layer::Count)> m_layers;
};

} // namespace quorlin::ui
