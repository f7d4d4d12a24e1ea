// Return in the Load and Save dialogs while the completion list shows: the typed name is
// taken unless an entry was chosen in the list with the arrow keys.

#include "ui/common/TabFileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlin;

namespace {

enum class Highlight { None, TypedName, Arrows };

} // namespace

Q_DECLARE_METATYPE(QFileDialog::AcceptMode)
Q_DECLARE_METATYPE(Highlight)

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void returnWithTheListShowing_data()
    {
        QTest::addColumn<QFileDialog::AcceptMode>("mode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Highlight>("highlight");
        QTest::addColumn<QString>("taken");
        const auto open = QFileDialog::AcceptOpen;
        const auto save = QFileDialog::AcceptSave;
        QTest::newRow("load, the typed file listed")
            << open << "riff.tab" << Highlight::None << "riff.tab";
        QTest::newRow("load, the typed file highlighted")
            << open << "riff.tab" << Highlight::TypedName << "riff.tab";
        QTest::newRow("save, another file listed")
            << save << "riff" << Highlight::None << "riff.tab";
        QTest::newRow("save, a longer name listed")
            << save << "riff.tab" << Highlight::None << "riff.tab";
        // The entry the arrows reach is taken, whichever it is: never the typed "riff".
        QTest::newRow("load, an entry chosen with the arrows")
            << open << "riff" << Highlight::Arrows << "";
    }
    void returnWithTheListShowing()
    {
        QFETCH(QFileDialog::AcceptMode, mode);
        QFETCH(QString, typed);
        QFETCH(Highlight, highlight);
        QFETCH(QString, taken);
        QTemporaryDir dir;
        for (const char* name : {"riff.tab", "riff2.tab", "riff.tab.tab"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ui::TabFileDialog dialog(nullptr, "TabFile", "Tab", mode);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDirectory(dir.path());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        field->clear();
        // The whole path, as the user types it.
        QTest::keyClicks(field, dir.filePath(typed));
        QAbstractItemView* list = field->completer()->popup();
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), list);
        if (highlight == Highlight::TypedName) {
            // As the pointer resting on the list would.
            const QModelIndexList found = list->model()->match(
                list->model()->index(0, 0), Qt::DisplayRole, typed, 1, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            list->setCurrentIndex(found.constFirst());
        } else if (highlight == Highlight::Arrows) {
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Down);
            taken = list->currentIndex().data().toString();
            QVERIFY(taken.startsWith(QStringLiteral("riff")) && taken.endsWith(".tab"));
        }
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), QStringList{dir.filePath(taken)});
    }
};

QTEST_MAIN(FileDialogTest)
#include "FileDialogTest.moc"
