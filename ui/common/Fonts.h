#pragma once

// Every font the windows use is chosen here, so a missing family is replaced in one place.
// The designed fonts are fixed-pitch; the tab area must stay fixed-pitch or the columns of
// the tab would not line up.

#include <QFont>

class QWidget;

namespace quorlin::ui::fonts {

// The main window's own font, a fixed-pitch system font of 12 pixels.
QFont window();
// The fixed-pitch font of most captions and of the tab area, at the given pixel height.
QFont typewriter(int pixelSize);
// The proportional font of the small dialogs, at the given pixel height.
QFont dialog(int pixelSize);
// The bold italic title on the about panel.
QFont title();

} // namespace quorlin::ui::fonts
