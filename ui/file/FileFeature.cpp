#include "ui/file/FileFeature.h"

#include "document/Document.h"
#include "instrument/Settings.h"
#include "platform/FileAccess.h"
#include "platform/SettingsFileStore.h"
#include "tabtext/TextWidth.h"
#include "ui/commands/CommandRouter.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/common/Prompter.h"
#include "ui/common/TabFileDialog.h"
#include "ui/file/DropAndRecent.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quorlin::ui {

FileFeature::FileFeature(QWidget& window, document::Document& document, CommandRouter& router,
                         Prompter& prompter, instrument::SettingsStore& store,
                         const platform::SettingsFileStore* ownStore, FileControls controls) :
    m_window(window),
    m_document(document), m_prompter(prompter), m_store(store), m_ownStore(ownStore), m_c(controls),
    m_opening(new DropAndRecent(router.commands().recentMenu(), window, *m_c.text->viewport(),
                                prompter, [this](const QString& path) { openFile(path); }))
{
    router.handle(Command::New, this, [this] { Clear(); });
    router.handle(Command::Open, this, [this] { LoadDaTab(); });
    router.handle(Command::Save, this, [this] { saveToCurrent(); });
    router.handle(Command::SaveAs, this, [this] { SaveTab(); });
    router.handle(Command::Exit, this, [this] { CloseApp(); });
    const Commands& commands = router.commands();
    for (const auto& [button, command] :
         {std::pair{m_c.save, Command::SaveAs}, std::pair{m_c.clear, Command::New},
          std::pair{m_c.load, Command::Open}, std::pair{m_c.exit, Command::Exit}})
        commands.bind(*button, command);
    connect(m_c.clear, &QPushButton::clicked, this, &FileFeature::Clear);
    connect(m_c.load, &QPushButton::clicked, this, &FileFeature::LoadDaTab);
    connect(m_c.save, &QPushButton::clicked, this, &FileFeature::SaveTab);
    connect(m_c.exit, &QPushButton::clicked, this, &FileFeature::CloseApp);
    connect(m_c.header, &QPushButton::clicked, this, &FileFeature::SetHeader);
}

QString FileFeature::choose(TabFileDialog*& dialog, const char* name, const QString& title,
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

bool FileFeature::Clear()
{
    if (!m_prompter.askYesNo(QStringLiteral("Are you sure you want to erase the current tab ?"),
                             QStringLiteral("Warning !")))
        return false;
    m_document.clear();
    return true;
}

bool FileFeature::SaveTab()
{
    const QString path =
        choose(m_saveFile, "SaveFile", QStringLiteral("Save Tab"), QFileDialog::AcceptSave);
    return !path.isEmpty() && write(path);
}

bool FileFeature::saveToCurrent()
{
    return m_document.path().isEmpty() ? SaveTab() : write(m_document.path());
}

bool FileFeature::write(const QString& path)
{
    const document::QtTabText::Snapshot tab = m_document.text().snapshot();
    const std::string bytes =
        files::tabFileText(tab.lines(), m_document.state(), m_document.header());

    QString problem;
    if (!platform::saveFile(
            path, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), problem)) {
        m_prompter.error(QStringLiteral("The tab could not be saved to %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), problem),
                         QStringLiteral("Save Tab"));
        return false;
    }
    const QString saved = QFileInfo(path).absoluteFilePath();
    m_document.markSaved(saved);
    m_opening->recent().add(saved);
    return true;
}

void FileFeature::LoadDaTab()
{
    // Loading appends to the tab, so it must start from an empty one.
    const std::size_t before = m_document.history().position();
    if (!Clear())
        return;
    const bool cleared = m_document.history().position() != before;
    const QString path =
        choose(m_openFile, "OpenFile", QStringLiteral("Load Tab"), QFileDialog::AcceptOpen);
    if (path.isEmpty() || (m_songOpener && m_songOpener(path)))
        return;
    if (const std::optional<files::LoadedTab> tab = read(path))
        adopt(*tab, path, cleared);
    else if (cleared)
        m_document.moveInHistory(false); // the tab the user had, since nothing came in its place
}

std::optional<files::LoadedTab> FileFeature::read(const QString& path)
{
    platform::FileRead file = platform::readRegularFile(path);
    if (!file.ok) {
        m_prompter.error(QStringLiteral("The tab could not be read from %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), file.problem),
                         QStringLiteral("Load Tab"));
        return std::nullopt;
    }
    const engine::EditingState& state = m_document.state();
    files::LoadedTab tab = files::readTabFile(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())),
        state.stringCount, state.tuning);
    // Before the text area lays out a line it would take minutes over.
    if (const std::optional<tabtext::OverlongLine> overlong = tabtext::overlongLine(tab.lines)) {
        QString why = QString::fromStdString(tabtext::overlongLineText(*overlong));
        why[0] = why[0].toUpper();
        m_prompter.error(QStringLiteral("The tab could not be read from %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), why),
                         QStringLiteral("Load Tab"));
        return std::nullopt;
    }
    return tab;
}

void FileFeature::adopt(const files::LoadedTab& tab, const QString& path, bool cleared)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_document.load(tab, absolute, cleared);
    m_opening->recent().add(absolute);
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

void FileFeature::openAtStart(const QString& path)
{
    if (m_songOpener && m_songOpener(path))
        return;
    if (const std::optional<files::LoadedTab> tab = read(path))
        adopt(*tab, path, false);
}

void FileFeature::rememberRecent(const QString& path)
{
    m_opening->recent().add(path);
}

bool FileFeature::openFile(const QString& path)
{
    // An import is a step of its own, which Undo takes back: no question about unsaved work.
    if (m_songOpener && m_songOpener(path))
        return true;
    if (!maybeSave())
        return false;
    const std::optional<files::LoadedTab> tab = read(path);
    if (!tab)
        return false;
    const std::size_t before = m_document.history().position();
    if (!m_document.isEmpty())
        m_document.clear();
    adopt(*tab, path, m_document.history().position() != before);
    return true;
}

bool FileFeature::maybeSave()
{
    if (!m_document.isModified())
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

bool FileFeature::mayClose()
{
    return m_leaving || maybeSave();
}

void FileFeature::SetHeader()
{
    if (m_header != nullptr)
        m_header->showAndRaise();
}

void FileFeature::CloseApp()
{
    if (!maybeSave())
        return;
    const engine::EditingState& s = m_document.state();
    instrument::saveSetup(m_store, {m_c.keepTuning->isChecked(), s.stringCount, s.tuning});
    // The old settings are still there; the user only needs to know the new ones are not.
    if (m_ownStore != nullptr && !m_ownStore->problem().isEmpty())
        m_prompter.error(m_ownStore->problem(), kCaption);
    m_leaving = true;
    emit leave();
}

} // namespace quorlin::ui
