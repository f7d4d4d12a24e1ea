// Quorlin starts here: the application, its main window and the event loop.

#include "ui/BassU1/TBassForm.h"
#include "ui/GuardedApplication.h"
#include "ui/Header/THeaderForm.h"
#include "ui/Tunning/TTunningF.h"

int main(int argc, char** argv)
{
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
    return QApplication::exec();
}
