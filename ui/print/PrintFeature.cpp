#include "ui/print/PrintFeature.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"
#include "ui/print/SheetSource.h"

#include <QMainWindow>

namespace quorlin::ui {

PrintFeature::PrintFeature(QMainWindow& window, document::Document& document, CommandRouter& router,
                           Prompter& prompter, instrument::SettingsStore& store) :
    m_source(std::make_unique<SheetSource>(document, store))
{
    (void)window;
    (void)prompter;
    const auto on = [this, &router](Command command, auto handler) {
        router.handle(command, this, handler);
    };
    on(Command::ViewSheet, [](bool) {});
    on(Command::PageSetup, [] {});
    on(Command::PrintPreview, [] {});
    on(Command::Print, [] {});
    on(Command::ExportPdf, [] {});
    on(Command::ExportSvg, [] {});
}

PrintFeature::~PrintFeature() = default;

void PrintFeature::showPlaying(int line, int offset)
{
    (void)line;
    (void)offset;
}

} // namespace quorlin::ui
