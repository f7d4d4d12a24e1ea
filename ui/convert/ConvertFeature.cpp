#include "ui/convert/ConvertFeature.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"
#include "ui/convert/TabConversions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QStatusBar>

namespace quorlin::ui {

namespace {

// How long the report of a conversion stays in the status bar.
constexpr int kMessageMs = 3000;

} // namespace

ConvertFeature::ConvertFeature(QMainWindow& window, document::Document& document,
                               CommandRouter& router, Prompter& prompter) :
    m_window(window),
    m_document(document), m_conversions(std::make_unique<TabConversions>(window, prompter))
{
    router.handle(Command::ImportTab, this, [this] { importFile(); });
    router.handle(Command::PasteTabAsNotes, this, [this] { pasteTabAsNotes(); });
    router.handle(Command::ChangeTuning, this, [this] { changeTuning(); });
}

ConvertFeature::~ConvertFeature() = default;

void ConvertFeature::importFile()
{
    m_document.follow();
    replaceTab(m_conversions->importFile(m_document.state(), m_document.isEmpty()));
}

void ConvertFeature::importWebTab(const QString& path)
{
    m_document.follow();
    replaceTab(m_conversions->importPath(path, m_document.state(), m_document.isEmpty()));
}

void ConvertFeature::pasteTabAsNotes()
{
    m_document.follow();
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    replaceTab(m_conversions->importText(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
        m_document.state(), m_document.isEmpty(), "Paste tab as notes"));
}

void ConvertFeature::changeTuning()
{
    m_document.follow();
    const document::QtTabText::Snapshot text = m_document.text().snapshot();
    replaceTab(m_conversions->changeTuning(text.lines(), m_document.state()));
}

void ConvertFeature::replaceTab(const std::optional<document::NewTab>& tab)
{
    if (!tab)
        return;
    m_document.replace(*tab);
    m_window.statusBar()->showMessage(tab->report, kMessageMs);
}

} // namespace quorlin::ui
