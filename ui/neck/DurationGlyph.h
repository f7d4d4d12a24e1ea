#pragma once

#include <QWidget>

namespace quorlin::ui {

// The little note figure beside each palette button, drawn as vector shapes so it stays
// sharp on any screen scale. Pure decoration: mouse events fall through to what is below.
class DurationGlyph : public QWidget {
    Q_OBJECT
    // One of the palette letters: "s", "e", "q", "h" or "w".
    Q_PROPERTY(QString duration READ duration WRITE setDuration)

public:
    explicit DurationGlyph(QWidget* parent = nullptr);

    QString duration() const;
    // Throws std::out_of_range for anything but a palette letter.
    void setDuration(const QString& symbol);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    char m_symbol = 'q';
};

} // namespace quorlin::ui
