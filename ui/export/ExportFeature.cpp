#include "ui/export/ExportFeature.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"
#include "ui/export/TabExport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

namespace quorlin::ui {

namespace {

// Long enough to be read, short enough not to hide the undo messages for long.
constexpr int kMessageMs = 6000;

} // namespace

ExportFeature::ExportFeature(QMainWindow& window, document::Document& document,
                             CommandRouter& router, Prompter& prompter,
                             std::function<QString()> soundFont, QPlainTextEdit& text,
                             QPushButton& copy) :
    m_text(text),
    m_export(std::make_unique<TabExport>(
        window, prompter, [&document] { return document.score(); }, std::move(soundFont)))
{
    m_export->setDetails([&document] {
        return TabDetails{document.state().tuning, document.header(), document.path(),
                          document.state().time};
    });
    router.handle(Command::ExportMidi, this,
                  [this] { m_export->exportFile(platform::ExportFormat::Midi); });
    router.handle(Command::ExportWav, this,
                  [this] { m_export->exportFile(platform::ExportFormat::Wav); });
    router.handle(Command::ExportMusicXml, this, [this] { m_export->exportMusicXml(); });
    router.handle(Command::Copy, this, [this] { CopyToClip(); });
    router.commands().bind(copy, Command::Copy);
    connect(&copy, &QPushButton::clicked, this, &ExportFeature::CopyToClip);
    connect(m_export.get(), &TabExport::message, this,
            [&window](const QString& text) { window.statusBar()->showMessage(text, kMessageMs); });
}

ExportFeature::~ExportFeature() = default;

void ExportFeature::CopyToClip()
{
    if (m_text.document()->isEmpty()) {
        // Copying an empty selection would leave the old clipboard in place.
        QGuiApplication::clipboard()->setText(QString());
    } else {
        m_text.selectAll();
        m_text.copy();
    }
    QTextCursor cursor = m_text.textCursor();
    cursor.setPosition(0);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    m_text.setTextCursor(cursor);
}

} // namespace quorlin::ui
