#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace quorlin::ui {

// The main window's caption, also the caption of its questions about the tab.
inline const QString kCaption = QStringLiteral("Quorlin v1.0");

// The three kinds of modal box the windows show. Tests answer them without a real box.
class Prompter {
public:
    virtual ~Prompter() = default;
    enum class Answer { Yes, No, Cancel };

    // Yes and No, no icon; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    // Yes, No and Cancel, with the question icon.
    virtual Answer askYesNoCancel(const QString& text, const QString& caption) = 0;
    // OK, no icon.
    virtual void inform(const QString& text, const QString& caption) = 0;
    // OK with the error icon.
    virtual void error(const QString& text, const QString& caption) = 0;
    // Buttons named by the caller, the first the default and the last taken by Escape; the
    // index of the one pressed.
    virtual int choose(const QString& text, const QString& caption, const QStringList& buttons) = 0;
    // A whole number from `min` to `max`, `value` offered; none when cancelled.
    virtual std::optional<int> askNumber(const QString& text, const QString& caption, int value,
                                         int min, int max) = 0;
};

class MessageBoxPrompter final : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent) : m_parent(parent) {}

    bool askYesNo(const QString& text, const QString& caption) override;
    Answer askYesNoCancel(const QString& text, const QString& caption) override;
    void inform(const QString& text, const QString& caption) override;
    void error(const QString& text, const QString& caption) override;
    int choose(const QString& text, const QString& caption, const QStringList& buttons) override;
    std::optional<int> askNumber(const QString& text, const QString& caption, int value, int min,
                                 int max) override;

private:
    QWidget* m_parent;
};

} // namespace quorlin::ui
