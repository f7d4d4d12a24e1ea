#pragma once

// The tracks of a song file, for the one to import: bass tracks first and chosen, the ones
// Quorlin cannot write greyed with the reason, and whether repeats stay written once.

#include "files/SongToTab.h"

#include <QDialog>

class QCheckBox;
class QTreeWidget;

namespace quorlin::ui {

class TrackDialog final : public QDialog {
    Q_OBJECT

public:
    TrackDialog(QWidget* parent, const QString& fileName, const files::Song& song);

    // The chosen track's index in the song; -1 when none.
    int chosen() const;
    bool repeatsOnce() const;

private:
    QTreeWidget* m_list;
    QCheckBox* m_repeatsOnce;
};

} // namespace quorlin::ui
