#pragma once

// File > Export MusicXML...: the score's key, and whether the first comment line of the song
// header is its title, asked before the file name. The measures follow the tab's own time
// signature, shown here and chosen beside the tempo, so that the score and the saved tab
// never disagree.

#include "model/TimeSignature.h"
#include "score/Key.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;

namespace quorlin::ui {

class MusicXmlDialog final : public QDialog {
    Q_OBJECT

public:
    // Without a comment to take, the title cannot be asked for.
    MusicXmlDialog(QWidget* parent, model::TimeSignature time, bool hasComment);

    // None: found from the notes. A key belongs to one song, so none is offered each time.
    std::optional<score::Key> key() const;
    bool titleFromComments() const;

private:
    QComboBox* m_key;
    QCheckBox* m_title;
};

} // namespace quorlin::ui
