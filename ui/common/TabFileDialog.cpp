#include "ui/common/TabFileDialog.h"

#include "ui/common/FileNameReturn.h"

#include <QCompleter>
#include <QLineEdit>

namespace quorlin::ui {

namespace {

const QStringList kFilters = {QStringLiteral("Tab files (*.tab)"),
                              QStringLiteral("Text files (*.txt)"),
                              QStringLiteral("All files (*)")};

bool hasWildcard(const QString& name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')) ||
           name.contains(QLatin1Char('['));
}

} // namespace

TabFileDialog::TabFileDialog(QWidget* parent, const QString& objectName, const QString& title,
                             AcceptMode mode) :
    QFileDialog(parent, title, QStringLiteral("."))
{
    setObjectName(objectName);
    setOption(QFileDialog::DontUseNativeDialog);
    setNameFilters(kFilters);
    setAcceptMode(mode);
    setFileMode(mode == AcceptOpen ? ExistingFile : AnyFile);
    selectFile(QStringLiteral("*.tab"));
    FileNameReturn::install(*this);
}

QLineEdit* TabFileDialog::nameField() const
{
    return findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

void TabFileDialog::accept()
{
    const QString typed = nameField() != nullptr ? nameField()->text() : QString();
    // A file may be named with these characters too, and is then taken as any other.
    const bool exists = QFileInfo(directory(), typed).exists();
    if (hasWildcard(QFileInfo(typed).fileName()) && !exists) {
        filterBy(typed);
        return;
    }
    // A new name without an extension gets ".tab", or Load's own filter would hide it; an
    // existing file is taken as it is named.
    if (acceptMode() == AcceptSave)
        setDefaultSuffix(exists ? QString() : QStringLiteral("tab"));
    QFileDialog::accept();
}

void TabFileDialog::filterBy(const QString& typed)
{
    const QFileInfo pattern(typed);
    // A folder typed before the pattern is where the list goes.
    if (typed.contains(QLatin1Char('/')))
        setDirectory(directory().filePath(pattern.path()));
    const QString wanted = QLatin1Char('(') + pattern.fileName() + QLatin1Char(')');
    for (const QString& filter : kFilters) {
        if (filter.endsWith(wanted)) {
            setNameFilters(kFilters);
            selectNameFilter(filter);
            return;
        }
    }
    // A pattern of the user's own stands below the usual ones until another replaces it.
    setNameFilters(kFilters + QStringList{pattern.fileName()});
    selectNameFilter(pattern.fileName());
}

void TabFileDialog::done(int result)
{
    // The completion list may still be waiting for the folder to be read: shown after the
    // dialog had closed, it would take the next click anywhere. Without its field it shows
    // nothing.
    if (QLineEdit* field = nameField(); field != nullptr && field->completer() != nullptr) {
        m_completer = field->completer();
        field->setCompleter(nullptr);
    }
    QFileDialog::done(result);
}

void TabFileDialog::showEvent(QShowEvent* event)
{
    if (QLineEdit* field = nameField(); field != nullptr && m_completer != nullptr)
        field->setCompleter(m_completer);
    QFileDialog::showEvent(event);
}

} // namespace quorlin::ui
