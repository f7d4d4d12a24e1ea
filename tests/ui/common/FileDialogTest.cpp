// Return in the Load and Save dialogs while the completion list shows: the typed name is
// taken unless an entry was chosen in the list with the arrow keys. The end-to-end "dialog
// return" script has the typed name listed, another file listed and an entry reached with the
// arrows; here, the rest.

#include "ui/common/TabFileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlin;

Q_DECLARE_METATYPE(QFileDialog::AcceptMode)

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void returnWithTheListShowing_data()
    {
        QTest::addColumn<QFileDialog::AcceptMode>("mode");
        QTest::addColumn<bool>("highlighted"); // the typed name, as the pointer resting there
        QTest::newRow("load, the typed file highlighted") << QFileDialog::AcceptOpen << true;
        QTest::newRow("save, a longer name listed") << QFileDialog::AcceptSave << false;
    }
    void returnWithTheListShowing()
    {
        QFETCH(QFileDialog::AcceptMode, mode);
        QFETCH(bool, highlighted);
        const QString typed = QStringLiteral("riff.tab");
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
        if (highlighted) {
            const QModelIndexList found = list->model()->match(
                list->model()->index(0, 0), Qt::DisplayRole, typed, 1, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            list->setCurrentIndex(found.constFirst());
        }
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), QStringList{dir.filePath(typed)});
    }
};

QTEST_MAIN(FileDialogTest)
#include "FileDialogTest.moc"
