#pragma once

// What File > Transcribe recording... asks before it listens: the recording, the part of it,
// the tempo when the user knows it, and the strings the heard notes are fingered on, shown
// as the window's set-up to start with.

#include "instrument/Tuning.h"
#include "transcribe/Transcriber.h"

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace quorlin::ui {

// One run's work: the file, where to listen, and how.
struct TranscribeRequest {
    QString path;
    transcribe::Span span;
    transcribe::TranscribeOptions options;
};

class TranscribeDialog : public QDialog {
    Q_OBJECT

public:
    TranscribeDialog(QWidget* parent, const QString& path, instrument::StringCount strings,
                     const instrument::Tuning& tuning);

    // Only while the fields can be taken: the Transcribe button is off otherwise.
    TranscribeRequest request() const;

private:
    void choose();
    void check();

    QLineEdit* m_path;
    QDoubleSpinBox* m_start;
    QDoubleSpinBox* m_end;
    QSpinBox* m_tempo;
    QSpinBox* m_strings;
    QLineEdit* m_tuning;
    QLabel* m_problem;
    QDialogButtonBox* m_buttons;
};

} // namespace quorlin::ui
