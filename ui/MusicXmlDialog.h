#pragma once

// File > Export MusicXML...: the time signature of the score's measures, and whether the
// first comment line of the song header is its title, asked before the file name.

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace quorlin::ui {

class MusicXmlDialog final : public QDialog {
    Q_OBJECT

public:
    // `time` such as "3/4"; without a comment to take, the title cannot be asked for.
    MusicXmlDialog(QWidget* parent, const QString& time, bool hasComment);

    QString time() const;
    bool titleFromComments() const;

private:
    QComboBox* m_time;
    QCheckBox* m_title;
};

} // namespace quorlin::ui
