#include "ui/print/PrintFeature.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"
#include "ui/print/DockRoom.h"
#include "ui/print/LiveSheet.h"
#include "ui/print/SheetDock.h"
#include "ui/print/SheetOutput.h"
#include "ui/print/SheetSource.h"
#include "ui/print/SheetView.h"

#include <QMainWindow>
#include <QStatusBar>

namespace quorlin::ui {

namespace {

// Long enough to be read, as the other exports say theirs.
constexpr int kOutputMessageMs = 6000;

} // namespace

PrintFeature::PrintFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                           Prompter& prompter, instrument::SettingsStore& store) :
    m_source(std::make_unique<SheetSource>(document, store)),
    m_output(std::make_unique<SheetOutput>(window, *m_source, prompter))
{
    connect(m_output.get(), &SheetOutput::message, this, [&window](const QString& text) {
        window.statusBar()->showMessage(text, kOutputMessageMs);
    });
    const auto on = [this, &router](Command command, auto handler) {
        router.handle(command, this, handler);
    };
    m_sheetDock = new SheetDock(&window);
    window.addDockWidget(Qt::RightDockWidgetArea, m_sheetDock);
    m_sheetDock->hide();
    m_live = std::make_unique<LiveSheet>(document, *m_source, m_sheetDock->view(),
                                         m_sheetDock->skipped());
    m_sheetRoom = std::make_unique<DockRoom>(window, *m_sheetDock, SheetDock::kFirstWidth);
    const auto zoomable = [&router](bool shown) {
        for (const Command zoom : {Command::ZoomIn, Command::ZoomOut, Command::ZoomFit})
            router[zoom]->setEnabled(shown);
    };
    zoomable(false);
    on(Command::ViewSheet, [this, zoomable](bool shown) {
        m_sheetRoom->setShown(shown);
        zoomable(shown);
    });
    on(Command::ZoomIn, [this] { m_sheetDock->view().zoomStep(1); });
    on(Command::ZoomOut, [this] { m_sheetDock->view().zoomStep(-1); });
    on(Command::ZoomFit, [this] { m_sheetDock->view().fitWidth(); });
    connect(m_sheetDock, &SheetDock::closed, this, [&router, zoomable] {
        router[Command::ViewSheet]->setChecked(false);
        zoomable(false);
    });
    on(Command::PageSetup, [this] { m_output->pageSetup(); });
    on(Command::PrintPreview, [this] { m_output->printPreview(); });
    on(Command::Print, [this] { m_output->print(); });
    on(Command::ExportPdf, [this] { m_output->exportSheet(SheetOutput::Format::Pdf); });
    on(Command::ExportSvg, [this] { m_output->exportSheet(SheetOutput::Format::Svg); });
}

PrintFeature::~PrintFeature() = default;

void PrintFeature::showPlaying(int line, int offset)
{
    m_live->showPlaying(line, offset);
}

} // namespace quorlin::ui
