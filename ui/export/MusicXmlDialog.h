#pragma once

// File > Export MusicXML...: the time signature of the score's measures, its key, and whether
// the first comment line of the song header is its title, asked before the file name.

#include "score/Key.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;

namespace quorlin::ui {

class MusicXmlDialog final : public QDialog {
    Q_OBJECT

public:
    // `time` such as "3/4"; without a comment to take, the title cannot be asked for.
    MusicXmlDialog(QWidget* parent, const QString& time, bool hasComment);

    QString time() const;
    // None: found from the notes. A key belongs to one song, so none is offered each time.
    std::optional<score::Key> key() const;
    bool titleFromComments() const;

private:
    QComboBox* m_time;
    QComboBox* m_key;
    QCheckBox* m_title;
};

} // namespace quorlin::ui
