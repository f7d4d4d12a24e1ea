// Quorlin starts here: the application, its main window and the event loop.

#include "ui/BassU1/TBassForm.h"
#include "ui/GuardedApplication.h"
#include "ui/Tunning/TTunningF.h"

int main(int argc, char** argv)
{
    quorlin::ui::GuardedApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("AmbrelApps"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorlin"));

    quorlin::ui::TBassForm bassForm;
    quorlin::ui::TTunningF tunningF;
    bassForm.setTuningPopup(&tunningF);

    bassForm.show();
    return QApplication::exec();
}
