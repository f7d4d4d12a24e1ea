#pragma once

// The printed page in the window: View > Sheet beside the designed area, File > Page setup,
// Print preview and Print, and the PDF and SVG exports.

#include <QObject>

#include <memory>

class QMainWindow;

namespace quorlin::document {
class Document;
}
namespace quorlin::instrument {
class SettingsStore;
}

namespace quorlin::ui {

class CommandRouter;
class DockRoom;
class LiveSheet;
class Prompter;
class SheetOutput;
class SheetDock;
class SheetSource;

class PrintFeature : public QObject {
    Q_OBJECT

public:
    PrintFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                 Prompter& prompter, instrument::SettingsStore& store);
    ~PrintFeature() override;

    SheetSource& source() { return *m_source; }
    SheetOutput& output() { return *m_output; }
    LiveSheet& liveSheet() { return *m_live; }

public slots:
    // The column playback sounds, by its rhythm line and first character; line -1 for none.
    void showPlaying(int line, int offset);

private:
    std::unique_ptr<SheetSource> m_source;
    std::unique_ptr<SheetOutput> m_output;
    // View > Sheet.
    SheetDock* m_sheetDock = nullptr;
    std::unique_ptr<LiveSheet> m_live;
    std::unique_ptr<DockRoom> m_sheetRoom;
};

} // namespace quorlin::ui
