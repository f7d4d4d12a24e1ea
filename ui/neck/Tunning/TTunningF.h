#pragma once

// The small pop-up that steps one string's note name through the twelve semitones.

#include <QDialog>

#include <memory>

namespace Ui {
class TTunningF;
}

namespace quorlin::ui {

class TTunningF : public QDialog {
    Q_OBJECT

public:
    explicit TTunningF(QWidget* parent = nullptr);
    ~TTunningF() override;

    // The caller sets the name before showing the pop-up and reads it back afterwards.
    QString pNote() const { return m_note; }
    void setpNote(const QString& note) { m_note = m_given = note; }

    // Escape, or any close but "Ok", gives the name back as it was given.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetNote();
    void Increase();
    void decrease();
    void Ferme();

    std::unique_ptr<Ui::TTunningF> m_ui;
    QString m_note;
    QString m_given;
};

} // namespace quorlin::ui
