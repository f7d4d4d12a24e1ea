#include "ui/shell/BassU1/TBassForm.h"

#include "document/Document.h"
#include "platform/FileAccess.h"
#include "platform/SettingsFileStore.h"
#include "ui/commands/CommandRouter.h"
#include "ui/common/Fonts.h"
#include "ui/common/Header/THeaderForm.h"
#include "ui/common/HelpCommands.h"
#include "ui/common/LinesInView.h"
#include "ui/common/Prompter.h"
#include "ui/common/StatusTexts.h"
#include "ui/common/TabArea.h"
#include "ui/common/TextMarks.h"
#include "ui/convert/ConvertFeature.h"
#include "ui/entry/EntryFeature.h"
#include "ui/export/ExportFeature.h"
#include "ui/file/FileFeature.h"
#include "ui/importing/ImportingFeature.h"
#include "ui/neck/NeckWidget.h"
#include "ui/play/PlayFeature.h"
#include "ui/print/PrintFeature.h"
#include "ui/recovery/RecoveryFeature.h"
#include "ui/shell/ElidedLabel.h"
#include "ui/shell/GiveWayLayout.h"
#include "ui/shell/PopupKeys.h"
#include "ui/shell/UndoCommands.h"
#include "ui/shell/UndoKeys.h"
#include "ui/transcribe/TranscribeFeature.h"
#include "ui_BassU1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>

namespace quorlin::ui {

namespace {

// Where the window and the header dialog first appear: the dialog sits this far from the
// window's corner.
constexpr QPoint kWindowPlace{250, 277};
constexpr QPoint kHeaderOffset{336, 66};
// How long the recovery's messages stay in the status bar.
constexpr int kMessageMs = 3000;

} // namespace

TBassForm::TBassForm(Prompter* prompter, instrument::SettingsStore* store, QWidget* parent,
                     AudioDevices devices, const QString& recoveryFolder) :
    QMainWindow(parent),
    m_ui(std::make_unique<Ui::TBassForm>()), m_area(new QWidget(this)), m_prompter(prompter),
    m_store(store)
{
    if (m_prompter == nullptr) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    if (m_store == nullptr) {
        m_ownStore = std::make_unique<platform::SettingsFileStore>();
        m_store = m_ownStore.get();
    }
    m_ui->setupUi(m_area);
    // The designed area keeps its size and its controls their places; the menu bar goes
    // directly above it and the status bar below.
    m_area->setMinimumSize(m_area->size());
    m_textMargins = m_area->size() - m_ui->Tab->size();
    m_area->installEventFilter(this);
    setCentralWidget(m_area);

    m_document = std::make_unique<document::Document>(*m_ui->Tab->document());
    m_commands = std::make_unique<Commands>(*this, *m_ui->BassNeck);
    m_router = std::make_unique<CommandRouter>(*m_commands);
    m_marks = std::make_unique<TextMarks>(*m_ui->Tab);
    buildStatusBar();
    sayNoHome();
    connect(m_document.get(), &document::Document::changed, this, &TBassForm::syncControls);

    document::Document& doc = *m_document;
    m_entry = std::make_unique<EntryFeature>(
        doc, *m_router, *m_prompter,
        EntryControls{m_area,
                      m_ui->BassNeck,
                      m_ui->PanelRest,
                      m_ui->MaxLineLen,
                      m_ui->MaxStringsSpin,
                      m_ui->CheckHalf,
                      m_ui->RadioDefault,
                      {m_ui->RadioH, m_ui->RadioP, m_ui->RadioS, m_ui->RadioSlap, m_ui->RadioPop,
                       m_ui->RadioChord, m_ui->RadioTriplet},
                      {m_ui->ButtonS, m_ui->ButtonE, m_ui->ButtonQ, m_ui->Buttonh, m_ui->ButtonW},
                      m_ui->AbortLine,
                      m_ui->ButtonRep,
                      m_ui->ButtonBack,
                      m_ui->Tab,
                      m_marks.get()});
    connect(m_entry.get(), &EntryFeature::choiceChanged, this,
            [this] { m_choiceStatus->setText(m_entry->choice()); });
    connect(m_entry.get(), &EntryFeature::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, kMessageMs); });
    m_file = std::make_unique<FileFeature>(
        *this, doc, *m_router, *m_prompter, *m_store, m_ownStore.get(),
        FileControls{m_ui->ButtonSave, m_ui->LoadTab, m_ui->ButtonClear, m_ui->ButtonExit,
                     m_ui->Header, m_ui->CheckStrings, m_ui->Tab});
    connect(m_file.get(), &FileFeature::leave, this, &QWidget::close);
    m_undo = std::make_unique<UndoCommands>(*this, doc, *m_router);
    m_help = std::make_unique<HelpCommands>(*this, *m_router, *m_prompter, *m_ui->Help);
    m_recovery = std::make_unique<RecoveryFeature>(*this, doc, *m_prompter, recoveryFolder);
    connect(m_ui->Tab, &TabArea::refused, this,
            [this](const QString& why) { m_prompter->error(why, QStringLiteral("Paste")); });
    connect(m_recovery.get(), &RecoveryFeature::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, kMessageMs); });
    m_play = std::make_unique<PlayFeature>(*this, doc, *m_router, *m_store, *m_ui->BassNeck,
                                           *m_ui->Tab, *m_marks, std::move(devices));
    m_export = std::make_unique<ExportFeature>(
        *this, doc, *m_router, *m_prompter, [this] { return m_play->playback().fontPath(); },
        *m_ui->Tab, *m_ui->Button1);
    m_convert = std::make_unique<ConvertFeature>(*this, doc, *m_router, *m_prompter);
    m_print = std::make_unique<PrintFeature>(*this, doc, *m_router, *m_prompter, *m_store);
    // File > Import... takes every format: a song it makes a tab itself, any other file goes
    // to the web-tab import. A song opened as a tab (a drop, Open Recent, the command line)
    // is imported instead.
    // A recording opened the same ways is transcribed.
    m_importing = std::make_unique<ImportingFeature>(*this, doc, *m_router, *m_prompter);
    m_importing->setWebTabImport([this](const QString& path) { m_convert->importWebTab(path); });
    m_transcribe = std::make_unique<TranscribeFeature>(*this, doc, *m_router, *m_prompter);
    m_file->setSongOpener([this](const QString& path) {
        return m_importing->openIfSong(path) || m_transcribe->openIfRecording(path);
    });
    connect(m_importing.get(), &ImportingFeature::imported, m_file.get(),
            &FileFeature::rememberRecent);
    connect(m_transcribe.get(), &TranscribeFeature::transcribed, m_file.get(),
            &FileFeature::rememberRecent);
    connect(&m_play->playback(), &LivePlayback::columnPlaying, m_print.get(),
            &PrintFeature::showPlaying);

    // A fret number being typed on the neck is finished by any command.
    for (int i = 0; i < static_cast<int>(Command::Count); ++i)
        connect((*m_commands)[static_cast<Command>(i)], &QAction::triggered, m_ui->BassNeck,
                &NeckWidget::finishFret);
    connect(m_ui->BassNeck, &NeckWidget::cursorMoved, this, &TBassForm::showCursor);
    connect(m_document.get(), &document::Document::tabCursorMoved, this, &TBassForm::showCursor);
    // The caret the user moves; after an action of the window the status bar follows along
    // with the view, once.
    connect(m_ui->Tab, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (m_ui->Tab->hasFocus())
            showTextPlace();
    });

    move(kWindowPlace);
    applyLook();
    auto* undoKeys =
        new UndoKeys(*this, *(*m_commands)[Command::Undo], *(*m_commands)[Command::Redo]);
    undoKeys->replaceMenuOf(*m_ui->Tab);
    new PopupKeys(this);
    CreateIt();
}

TBassForm::~TBassForm() = default;

const engine::EditingState& TBassForm::state() const
{
    return m_document->state();
}

const engine::History& TBassForm::history() const
{
    return m_document->history();
}

const Commands& TBassForm::commands() const
{
    return *m_commands;
}

std::optional<int> TBassForm::tabCursor() const
{
    return m_document->tabCursor();
}

TabExport& TBassForm::exporter()
{
    return m_export->exporter();
}

void TBassForm::setHelpFile(const QString& path)
{
    m_help->setHelpFile(path);
}

void TBassForm::setTuningPopup(TTunningF* popup)
{
    m_entry->setTuningPopup(popup);
}

void TBassForm::setHeaderForm(THeaderForm* header)
{
    m_file->setHeaderForm(header);
    if (header == nullptr)
        return;
    header->attach(*m_document);
    // uic sizes a top-level form but leaves its place to the window manager.
    header->move(kWindowPlace + kHeaderOffset);
}

void TBassForm::openAtStart(const QString& path)
{
    m_file->openAtStart(path);
}

bool TBassForm::openFile(const QString& path)
{
    return m_file->openFile(path);
}

bool TBassForm::offerRecovery()
{
    return m_recovery->offerRecovery();
}

void TBassForm::applyLook()
{
    setFont(fonts::window());
    const QFont small = fonts::typewriter(11);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->PanelRest, m_ui->RadioH, m_ui->RadioP, m_ui->RadioS, m_ui->RadioSlap,
             m_ui->RadioPop, m_ui->RadioChord, m_ui->RadioTriplet, m_ui->RadioDefault,
             m_ui->ButtonRep, m_ui->ButtonBack, m_ui->CheckHalf, m_ui->Tab})
        w->setFont(small);
    const QFont large = fonts::typewriter(12);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->AbortLine, m_ui->ButtonSave, m_ui->Button1, m_ui->ButtonClear, m_ui->LoadTab,
             m_ui->Header, m_ui->ButtonExit, m_ui->Label1, m_ui->CheckStrings, m_ui->Help})
        w->setFont(large);
    m_ui->Label2->setFont(fonts::title());
    // The captions of the check boxes only just fit their designed width.
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui->CheckStrings, m_ui->CheckHalf})
        w->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));
    // The theme's button face behind the red title; naming the background role alone would
    // also switch the text to the button's text colour.
    m_ui->Label2->setBackgroundRole(QPalette::Button);
    m_ui->Label2->setForegroundRole(QPalette::WindowText);
}

void TBassForm::buildStatusBar()
{
    // Not permanent: a message hides the fields while it shows, or they would leave it a
    // few letters of room.
    auto* fields = new QWidget(this);
    auto* row = new GiveWayLayout(fields);
    row->setSpacing(3);
    // At the smallest width the least needed field gives way first: the text area shows its
    // own caret. A long file name is cut next, in its middle, keeping its end and whether it
    // is saved, which nothing else tells; the palette shows the next note's choices and the
    // neck its cursor, but the note's name is told only here.
    const std::tuple<QLabel*&, const char*, Qt::TextElideMode, int, int> made[] = {
        {m_fileStatus, "FileStatus", Qt::ElideMiddle, 16, 1},
        {m_cursorStatus, "CursorStatus", Qt::ElideRight, 0, 3},
        {m_choiceStatus, "ChoiceStatus", Qt::ElideRight, 0, 2},
        {m_placeStatus, "PlaceStatus", Qt::ElideRight, 0, 0}};
    for (const auto& [label, name, mode, least, rank] : made) {
        label = new ElidedLabel(mode, least, fields);
        label->setObjectName(QLatin1String(name));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        row->addWidget(label, rank);
    }
    statusBar()->addWidget(fields, 1);
}

void TBassForm::sayNoHome()
{
    if (!platform::stateLocation(QStandardPaths::GenericConfigLocation).isEmpty() &&
        !platform::stateLocation(QStandardPaths::AppDataLocation).isEmpty())
        return;
    const QString said = QStringLiteral("No home folder: the settings, recent files and "
                                        "recovery copies last only until Quorlin closes.");
    statusBar()->showMessage(said);
    // The message gives way to the next one; this stays in sight for the whole run.
    auto* noHome = new QLabel(QStringLiteral("No home: nothing kept"), this);
    noHome->setObjectName(QStringLiteral("NoHomeStatus"));
    noHome->setToolTip(said);
    noHome->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    noHome->setContentsMargins(4, 0, 4, 0);
    statusBar()->addWidget(noHome);
}

bool TBassForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_area && event->type() == QEvent::Resize) {
        // The text area takes whatever the window grows by.
        m_ui->Tab->resize(m_area->size() - m_textMargins);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TBassForm::CreateIt()
{
    const instrument::KeptSetup kept = instrument::loadSetup(*m_store);
    m_ui->CheckStrings->setChecked(kept.keepTuning);
    m_document->restoreSetup(kept.strings, kept.tuning);
    m_entry->showSetup();
    m_ui->BassNeck->setFocus();
    syncControls();
    m_choiceStatus->setText(m_entry->choice());
    showCursor();
    showTextPlace();
}

void TBassForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    ShowIt();
    if (!std::exchange(m_shown, true))
        m_ui->BassNeck->setFocus();
}

void TBassForm::ShowIt()
{
    setWindowTitle(kCaption);
}

void TBassForm::closeEvent(QCloseEvent* event)
{
    if (m_file->mayClose()) {
        m_recovery->leaving();
        event->accept();
    } else {
        event->ignore();
    }
}

void TBassForm::syncControls()
{
    m_ui->BassNeck->showStaff(m_document->staff().neck());
    m_entry->followState();
    m_undo->showSteps();
    showCursor();
    if (const QString title = m_document->title(); m_fileStatus->text() != title)
        m_fileStatus->setText(title);
    showBlockSoon();
}

void TBassForm::showBlockSoon()
{
    // Once the action's events are done, before the next paint: the scroll lays out the
    // block's lines, which the paint then reuses, and a burst of actions scrolls once.
    if (m_showPending)
        return;
    m_showPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_showPending = false;
            const engine::EditingState& s = m_document->state();
            showLines(*m_ui->Tab, s.blockStart, s.blockStart + s.stringCount.value() + 1);
            showTextPlace();
        },
        Qt::QueuedConnection);
}

void TBassForm::showCursor()
{
    // Every action passes here; the text is worked out again only when it can differ.
    const engine::EditingState& s = m_document->state();
    // On a column of the tab the field names that column; appending, the neck's cell.
    if (const std::optional<int> at = m_document->tabCursor()) {
        m_shownCell = {-1, -1};
        QString text = columnText(s, m_document->columns(), static_cast<std::size_t>(*at));
        if (const auto selected = m_document->selection())
            text += QStringLiteral(", %1 selected").arg(selected->second - selected->first);
        m_cursorStatus->setText(text);
        return;
    }
    const QPoint cell = m_ui->BassNeck->cursorCell();
    const std::string& name =
        cell.y() >= 1 && cell.y() <= s.stringCount.value() ? s.tuning.at(cell.y()) : "";
    if (cell == m_shownCell && name == m_shownName)
        return;
    m_shownCell = cell;
    m_shownName = name;
    m_cursorStatus->setText(cursorText(s, cell.x(), cell.y()));
}

void TBassForm::showTextPlace()
{
    m_placeStatus->setText(
        textPlaceText(m_document->state(), m_ui->Tab->textCursor().blockNumber() + 1));
}

} // namespace quorlin::ui
