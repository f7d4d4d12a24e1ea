// Quorlin starts here: the command line first, then the application, its main window and
// the event loop. An export from the command line never opens a window.

#include "app/CommandLine.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/neck/Tunning/TTunningF.h"
#include "ui/shell/BassU1/TBassForm.h"
#include "ui/shell/GuardedApplication.h"

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    using quorlin::app::CommandLine;
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    const CommandLine line = quorlin::app::parseCommandLine(args);
    switch (line.mode) {
    case CommandLine::Mode::Invalid:
        std::fprintf(stderr, "quorlin: %s; %s\n", line.error.c_str(),
                     quorlin::app::usageLine().c_str());
        return 2;
    case CommandLine::Mode::Help:
        std::fputs(quorlin::app::helpText().c_str(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::fputs(quorlin::app::versionText().c_str(), stdout);
        return 0;
    case CommandLine::Mode::ExportMidi:
    case CommandLine::Mode::ExportWav:
    case CommandLine::Mode::ExportMusicXml:
    case CommandLine::Mode::ExportPdf:
    case CommandLine::Mode::ExportSvg:
        return quorlin::app::runExport(line);
    case CommandLine::Mode::ImportTab:
        return quorlin::app::runImport(line);
    case CommandLine::Mode::ImportSong:
    case CommandLine::Mode::ListTracks:
        return quorlin::app::runSongImport(line);
    case CommandLine::Mode::Transcribe:
        return quorlin::app::runTranscribe(line);
    case CommandLine::Mode::Window:
        break;
    }

    quorlin::ui::GuardedApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("AmbrelApps"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorlin"));

    quorlin::ui::TBassForm bassForm;
    // Owned by the main window, so that closing it ends the program even while the
    // modeless header dialog is open.
    auto* headerForm = new quorlin::ui::THeaderForm(&bassForm);
    auto* tunningF = new quorlin::ui::TTunningF(&bassForm);
    bassForm.setHeaderForm(headerForm);
    bassForm.setTuningPopup(tunningF);

    bassForm.show();
    const bool restored = bassForm.offerRecovery();
    const QString file = QString::fromLocal8Bit(line.input.c_str());
    if (!file.isEmpty() && restored)
        bassForm.openFile(file); // asks about the restored work first
    else if (!file.isEmpty())
        bassForm.openAtStart(file);
    return QApplication::exec();
}
