#pragma once

// Play > Sound font...: one of the installed General MIDI fonts or any .sf2/.sf3 file.

#include <QDialog>

class QComboBox;

namespace quorlin::ui {

class SoundFontDialog final : public QDialog {
    Q_OBJECT

public:
    // `current` empty: the first installed font, which is what playback then uses.
    SoundFontDialog(QWidget* parent, const QString& current);

    QString chosen() const;

private:
    void browse();

    QComboBox* m_fonts;
};

} // namespace quorlin::ui
