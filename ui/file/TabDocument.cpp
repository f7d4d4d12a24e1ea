#include "ui/file/TabDocument.h"

#include "engine/History.h"
#include "engine/Staff.h"
#include "platform/FileAccess.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/common/Prompter.h"
#include "ui/common/TabFileDialog.h"
#include "document/QtTabText.h"

#include <QDir>
#include <QFileInfo>

namespace quorlin::ui {

TabDocument::TabDocument(QWidget& window, Prompter& prompter, document::QtTabText& text,
                         const engine::Staff& staff, engine::History& history) :
    m_window(window),
    m_prompter(prompter), m_text(text), m_staff(staff), m_history(history)
{
}

QString TabDocument::choose(TabFileDialog*& dialog, const char* name, const QString& title,
                            QFileDialog::AcceptMode mode)
{
    // Made on first use, not at start-up: most runs never open them. Kept afterwards, so a
    // second use opens where the first one left off.
    if (dialog == nullptr)
        dialog = new TabFileDialog(&m_window, QLatin1String(name), title, mode);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

bool TabDocument::save()
{
    const QString path =
        choose(m_saveFile, "SaveFile", QStringLiteral("Save Tab"), QFileDialog::AcceptSave);
    return !path.isEmpty() && write(path);
}

bool TabDocument::saveToCurrent()
{
    return m_path.isEmpty() ? save() : write(m_path);
}

bool TabDocument::write(const QString& path)
{
    const document::QtTabText::Snapshot tab = m_text.snapshot();
    const std::string bytes =
        files::tabFileText(tab.lines(), m_staff.state(),
                           m_header != nullptr ? m_header->songHeader() : files::SongHeader());

    QString problem;
    if (!platform::saveFile(path, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                  problem)) {
        m_prompter.error(QStringLiteral("The tab could not be saved to %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), problem),
                         QStringLiteral("Save Tab"));
        return false;
    }
    markSaved();
    m_path = QFileInfo(path).absoluteFilePath();
    if (m_used)
        m_used(m_path);
    return true;
}

std::optional<files::LoadedTab> TabDocument::chooseAndRead()
{
    const QString path =
        choose(m_openFile, "OpenFile", QStringLiteral("Load Tab"), QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return std::nullopt;
    return read(path);
}

std::optional<files::LoadedTab> TabDocument::read(const QString& path)
{
    platform::FileRead file = platform::readRegularFile(path);
    if (!file.ok) {
        m_prompter.error(QStringLiteral("The tab could not be read from %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), file.problem),
                         QStringLiteral("Load Tab"));
        return std::nullopt;
    }
    m_reading = QFileInfo(path).absoluteFilePath();
    const engine::EditingState& state = m_staff.state();
    return files::readTabFile(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())),
        state.stringCount, state.tuning);
}

void TabDocument::reportLoaded(const files::LoadedTab& tab)
{
    markSaved();
    m_path = std::exchange(m_reading, QString());
    if (m_used)
        m_used(m_path);
    if (!tab.hasHeader) {
        m_prompter.inform(
            QStringLiteral("This tab hasn't been created with Quorlin,\rI can read it "
                           "but the result of the edition \rcan be hazardous"),
            QStringLiteral("Warning"));
    }
    if (!tab.problems.empty()) {
        QStringList lines;
        for (const std::string& problem : tab.problems)
            lines << QString::fromStdString(problem);
        m_prompter.inform(lines.join(QLatin1Char('\r')), QStringLiteral("Warning"));
    }
}

void TabDocument::markSaved()
{
    // Typing not yet taken in by the history is part of what was saved.
    m_history.settleText();
    m_history.markClean();
    if (m_saved)
        m_saved();
    m_text.markSaved();
}

QString TabDocument::title()
{
    m_history.settleText();
    const QString name =
        m_path.isEmpty() ? QStringLiteral("new tab") : QFileInfo(m_path).fileName();
    const bool unsaved = !m_history.isClean() && m_text.count() > 0;
    return unsaved ? name + QStringLiteral(", unsaved") : name;
}

bool TabDocument::maybeSave()
{
    m_history.settleText();
    if (m_history.isClean() || m_text.count() == 0)
        return true;
    switch (m_prompter.askYesNoCancel(QStringLiteral("Save changes to the tab?"), kCaption)) {
    case Prompter::Answer::Yes:
        return saveToCurrent();
    case Prompter::Answer::No:
        return true;
    case Prompter::Answer::Cancel:
        break;
    }
    return false;
}

std::unique_ptr<engine::OuterChange> TabDocument::pathChange(const QString& before,
                                                             const QString& after)
{
    class PathChange final : public engine::OuterChange {
    public:
        PathChange(TabDocument& document, QString before, QString after) :
            m_document(document), m_before(std::move(before)), m_after(std::move(after))
        {
        }
        void undo() override { m_document.setPath(m_before); }
        void redo() override { m_document.setPath(m_after); }

    private:
        TabDocument& m_document;
        QString m_before, m_after;
    };
    if (before == after)
        return nullptr;
    return std::make_unique<PathChange>(*this, before, after);
}

} // namespace quorlin::ui
