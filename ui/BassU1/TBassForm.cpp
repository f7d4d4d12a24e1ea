#include "ui/BassU1/TBassForm.h"

#include "files/TabFile.h"
#include "ui/Commands.h"
#include "ui/DurationButton.h"
#include "ui/ElidedLabel.h"
#include "ui/FileAccess.h"
#include "ui/FileOpening.h"
#include "ui/Fonts.h"
#include "ui/GiveWayLayout.h"
#include "ui/Header/THeaderForm.h"
#include "ui/HelpViewer.h"
#include "ui/LinesInView.h"
#include "ui/NeckWidget.h"
#include "ui/PlaybackControls.h"
#include "ui/PopupKeys.h"
#include "ui/Prompter.h"
#include "ui/Recovery.h"
#include "ui/RestPanel.h"
#include "ui/SettingsFileStore.h"
#include "ui/StatusTexts.h"
#include "ui/TabConversions.h"
#include "ui/TabDocument.h"
#include "ui/TabExport.h"
#include "ui/TextAreaTabText.h"
#include "ui/Tunning/TTunningF.h"
#include "ui/UndoKeys.h"
#include "ui_BassU1.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QTextDocument>

#include <cstring>
#include <limits>
#include <string_view>

namespace quorlin::ui {

namespace {

const QString kHelpFileName = QStringLiteral("Quorlin.hlp");

constexpr int kHelpOverviewTopic = 1;
constexpr int kKeyboardMapTopic = 12;
// How long "Undo: note" and the like stay in the status bar.
constexpr int kMessageMs = 3000;

// The width field reads as 0 while it holds no number, an empty field included.
int readWidth(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

// The song header as it was before and after a step, put back by undo.
class HeaderChange final : public engine::OuterChange {
public:
    HeaderChange(THeaderForm& form, files::SongHeader before, files::SongHeader after) :
        m_form(form), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override { m_form.setLoadedHeader(m_before); }
    void redo() override { m_form.setLoadedHeader(m_after); }

private:
    THeaderForm& m_form;
    files::SongHeader m_before, m_after;
};

} // namespace

TBassForm::TBassForm(Prompter* prompter, instrument::SettingsStore* store, QWidget* parent,
                     AudioDevices devices, const QString& recoveryFolder) :
    QMainWindow(parent),
    m_ui(std::make_unique<Ui::TBassForm>()), m_area(new QWidget(this)), m_prompter(prompter),
    m_store(store), m_helpFile(HelpViewer::installedFile(kHelpFileName))
{
    if (m_prompter == nullptr) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    if (m_store == nullptr) {
        m_ownStore = std::make_unique<SettingsFileStore>();
        m_store = m_ownStore.get();
    }
    m_ui->setupUi(m_area);
    // The designed area keeps its size and its controls their places; the menu bar goes
    // directly above it and the status bar below.
    m_area->setMinimumSize(m_area->size());
    m_area->installEventFilter(this);
    setCentralWidget(m_area);
    m_text = std::make_unique<TextAreaTabText>(*m_ui->Tab);
    m_staff = std::make_unique<engine::Staff>(*m_text);
    m_history = std::make_unique<engine::History>(*m_staff, *m_text);
    m_document = std::make_unique<TabDocument>(*this, *m_prompter, *m_text, *m_staff, *m_history);
    m_commands = std::make_unique<Commands>(*this, *m_ui->BassNeck);
    m_recovery = std::make_unique<Recovery>(
        *m_prompter,
        [this] {
            files::Recovered copy;
            m_staff->follow();
            const TextAreaTabText::Snapshot text = m_text->snapshot();
            copy.lines.assign(text.lines().begin(), text.lines().end());
            copy.snapshot = m_staff->snapshot();
            if (m_headerForm != nullptr)
                copy.header = m_headerForm->songHeader();
            copy.sourcePath = m_document->path().toStdString();
            return copy;
        },
        recoveryFolder);
    m_recovery->setDialogParent(this);
    m_document->setSaved([this] { m_recovery->safe(); });
    connect(m_recovery.get(), &Recovery::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, kMessageMs); });
    auto* opening = new FileOpening(m_commands->recentMenu(), *this, *m_ui->Tab->viewport(),
                                    *m_prompter, [this](const QString& path) { openFile(path); });
    m_document->setFileUsed([opening](const QString& path) { opening->recent().add(path); });
    buildStatusBar();
    if (stateLocation(QStandardPaths::GenericConfigLocation).isEmpty() ||
        stateLocation(QStandardPaths::AppDataLocation).isEmpty()) {
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
    m_playback = std::make_unique<PlaybackControls>(
        *this, *m_commands, *m_prompter, *m_store, *m_ui->BassNeck, *m_ui->Tab,
        [this] { return readTab(*m_text, m_staff->state()); }, std::move(devices));
    connect(m_playback.get(), &PlaybackControls::tempoEdited, this, &TBassForm::tempoChange);
    m_playback->exporter().setDetails([this] {
        return TabDetails{m_staff->state().tuning,
                          m_headerForm != nullptr ? m_headerForm->songHeader()
                                                  : files::SongHeader(),
                          m_document->path()};
    });
    m_conversions = std::make_unique<TabConversions>(*this, *m_prompter);

    move(250, 277);
    applyLook();
    m_ui->MaxLineLen->setRange(std::numeric_limits<int>::min(), engine::kMaxTabWidth);
    m_ui->MaxStringsSpin->setRange(instrument::kMinStrings, instrument::kMaxStrings);
    connectHandlers();
    connectCommands();
    auto* undoKeys =
        new UndoKeys(*this, *(*m_commands)[Command::Undo], *(*m_commands)[Command::Redo]);
    undoKeys->replaceMenuOf(*m_ui->Tab);
    new PopupKeys(this);
    CreateIt();
}

TBassForm::~TBassForm() = default;

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

void TBassForm::connectHandlers()
{
    connect(m_ui->AbortLine, &QPushButton::clicked, this, &TBassForm::JumpLine);
    connect(m_ui->ButtonClear, &QPushButton::clicked, this, &TBassForm::Clear);
    connect(m_ui->Help, &QPushButton::clicked, this, &TBassForm::HelpMe);
    connect(m_ui->ButtonRep, &QPushButton::clicked, this, &TBassForm::RepeatLast);
    connect(m_ui->ButtonBack, &QPushButton::clicked, this, &TBassForm::GoBack);
    connect(m_ui->ButtonSave, &QPushButton::clicked, this, &TBassForm::SaveTab);
    connect(m_ui->LoadTab, &QPushButton::clicked, this, &TBassForm::LoadDaTab);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TBassForm::CopyToClip);
    connect(m_ui->Header, &QPushButton::clicked, this, &TBassForm::SetHeader);
    connect(m_ui->ButtonExit, &QPushButton::clicked, this, &TBassForm::CloseApp);
    connect(m_ui->BassNeck, &NeckWidget::durationDropped, this, &TBassForm::Dropped);
    connect(m_ui->BassNeck, &NeckWidget::pressed, this, &TBassForm::MouseDown);
    connect(m_ui->BassNeck, &NeckWidget::noteRequested, this,
            [this](int fret, int string) { placeNote(fret, string, m_duration); });
    connect(m_ui->BassNeck, &NeckWidget::cursorMoved, this, &TBassForm::showCursor);
    connect(m_ui->PanelRest, &RestPanel::durationDropped, this, &TBassForm::setRest);
    // The spin box reports its arrows but stays silent while its field holds no number; its
    // editor reports every keystroke but not the arrows. Between them every change arrives.
    connect(m_ui->MaxLineLen, &QSpinBox::textChanged, this, &TBassForm::ChangeMaxLength);
    auto* widthField = m_ui->MaxLineLen->findChild<QLineEdit*>();
    connect(widthField, &QLineEdit::textChanged, this, &TBassForm::ChangeMaxLength);
    // Only values inside the spin box's bounds are reported, so no count past six arrives.
    connect(m_ui->MaxStringsSpin, &QSpinBox::valueChanged, this, &TBassForm::StringsChange);
    // The caret the user moves; after an action of the window the status bar follows along
    // with the view, once.
    connect(m_ui->Tab, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (m_ui->Tab->hasFocus())
            showTextPlace();
    });
    m_text->setForeignChangeHandler([this] {
        if (m_followPending)
            return;
        m_followPending = true;
        QMetaObject::invokeMethod(this, &TBassForm::followHandEdits, Qt::QueuedConnection);
    });
}

void TBassForm::connectCommands()
{
    const Commands& c = *m_commands;
    const auto on = [this, &c](Command command, auto handler) {
        connect(c[command], &QAction::triggered, this, handler);
    };
    on(Command::New, [this] { Clear(); });
    on(Command::Open, &TBassForm::LoadDaTab);
    on(Command::Save, [this] {
        m_document->saveToCurrent();
        syncControls();
    });
    on(Command::SaveAs, [this] {
        SaveTab();
        syncControls();
    });
    on(Command::Copy, &TBassForm::CopyToClip);
    on(Command::Exit, &TBassForm::CloseApp);
    on(Command::Undo, [this] { moveInHistory(false); });
    on(Command::Redo, [this] { moveInHistory(true); });
    on(Command::RepeatLast, &TBassForm::RepeatLast);
    on(Command::DeleteLast, &TBassForm::GoBack);
    on(Command::NewLine, &TBassForm::JumpLine);
    on(Command::WriteNote, &TBassForm::writeNoteAtCursor);
    on(Command::Rest, [this] { setRest(m_duration); });
    on(Command::ImportTab, [this] {
        m_staff->follow();
        replaceTab(m_conversions->importFile(state(), m_text->count() == 0));
    });
    on(Command::PasteTabAsNotes, &TBassForm::pasteTabAsNotes);
    on(Command::ChangeTuning, &TBassForm::changeTuning);
    on(Command::Help, &TBassForm::HelpMe);
    on(Command::KeyboardMap, [this] { openHelp(kKeyboardMapTopic); });
    on(Command::About, &TBassForm::showAbout);
    for (int i = 0; i < static_cast<int>(Command::Count); ++i)
        connect(c[static_cast<Command>(i)], &QAction::triggered, m_ui->BassNeck,
                &NeckWidget::finishFret);

    // A palette button clicked without a drag selects its duration, as its key does. A
    // group of their own: checkable buttons left to exclude each other would also take the
    // radio buttons' checks, which share the window as ancestor.
    auto* palette = new QButtonGroup(this);
    for (auto* button :
         {m_ui->ButtonS, m_ui->ButtonE, m_ui->ButtonQ, m_ui->Buttonh, m_ui->ButtonW}) {
        button->setCheckable(true);
        palette->addButton(button);
        const char symbol = button->text().at(0).toLatin1();
        connect(button, &QAbstractButton::toggled, this, [this, symbol](bool on) {
            if (on)
                m_duration = symbol;
            showChoice();
        });
        c.bind(*button, durationCommand(symbol));
    }
    m_ui->ButtonQ->setChecked(true);

    // The other buttons of the designed area name their keys in their hints; the radio
    // buttons and the dot are the menu's choices too.
    const std::pair<QAbstractButton*, Command> buttons[] = {{m_ui->AbortLine, Command::NewLine},
                                                            {m_ui->ButtonSave, Command::SaveAs},
                                                            {m_ui->Button1, Command::Copy},
                                                            {m_ui->ButtonClear, Command::New},
                                                            {m_ui->LoadTab, Command::Open},
                                                            {m_ui->ButtonExit, Command::Exit},
                                                            {m_ui->ButtonRep, Command::RepeatLast},
                                                            {m_ui->ButtonBack, Command::DeleteLast},
                                                            {m_ui->Help, Command::Help},
                                                            {m_ui->CheckHalf, Command::Dot},
                                                            {m_ui->RadioH, Command::HammerOn},
                                                            {m_ui->RadioP, Command::PullOff},
                                                            {m_ui->RadioS, Command::Slide},
                                                            {m_ui->RadioSlap, Command::Slap},
                                                            {m_ui->RadioPop, Command::Pop},
                                                            {m_ui->RadioChord, Command::Chord},
                                                            {m_ui->RadioTriplet, Command::Triplet},
                                                            {m_ui->RadioDefault, Command::Default}};
    for (const auto& [button, command] : buttons) {
        c.bind(*button, command);
        if (button->isCheckable())
            connect(button, &QAbstractButton::toggled, this, &TBassForm::showChoice);
    }
    // Chosen with the mouse, the next note is still typed on the neck.
    for (QAbstractButton* button : m_area->findChildren<QAbstractButton*>()) {
        if (button->isCheckable())
            connect(button, &QAbstractButton::clicked, this, &TBassForm::giveKeysToNeck);
    }

    // Escape gives the keyboard back to the note cursor, from anywhere in the window.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &TBassForm::giveKeysToNeck);
}

void TBassForm::giveKeysToNeck()
{
    // Chosen with the mouse, the next note is still typed on the neck.
    m_ui->BassNeck->setFocus(Qt::OtherFocusReason);
}

bool TBassForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_area && event->type() == QEvent::Resize) {
        // The text area takes whatever the window grows by.
        const QSize size = m_area->size();
        m_ui->Tab->setGeometry(8, 264, size.width() - 20, size.height() - 271);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TBassForm::followHandEdits()
{
    m_followPending = false;
    const bool wasFree = m_staff->state().setupUnlocked;
    m_history->settleText();
    // Text typed into a free set-up is written at the width the field shows.
    if (wasFree && !m_staff->state().setupUnlocked)
        ChangeMaxLength(m_ui->MaxLineLen->text());
    syncControls();
}

void TBassForm::CreateIt()
{
    const instrument::KeptSetup kept = instrument::loadSetup(*m_store);
    m_ui->CheckStrings->setChecked(kept.keepTuning);
    m_staff->restoreSetup(kept.strings, kept.tuning);
    showSetup();
    m_ui->BassNeck->setFocus();
    syncControls();
    showChoice();
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

void TBassForm::setHeaderForm(THeaderForm* header)
{
    m_headerForm = header;
    m_document->setHeaderForm(header);
    if (header != nullptr)
        connect(header, &THeaderForm::headerChanged, this, &TBassForm::headerChanged);
}

void TBassForm::headerChanged(const files::SongHeader& before, const files::SongHeader& after)
{
    engine::StepOptions options;
    options.outer = std::make_unique<HeaderChange>(*m_headerForm, before, after);
    act(
        "song header", [] {}, std::move(options));
}

void TBassForm::JumpLine()
{
    act("New line", [this] { m_staff->JumpLine(); });
}

bool TBassForm::Clear()
{
    if (!m_prompter->askYesNo(QStringLiteral("Are you sure you want to erase the current tab ?"),
                              QStringLiteral("Warning !")))
        return false;
    engine::StepOptions options;
    options.outer = m_document->pathChange(m_document->path(), QString());
    act(
        "Clear tab", [this] { m_staff->Clear(); }, std::move(options));
    m_document->forgetPath();
    syncControls();
    return true;
}

void TBassForm::ChangeMaxLength(const QString& text)
{
    // Typed digit by digit, a width is one step.
    engine::StepOptions merge;
    merge.mergeRepeats = true;
    const int width = readWidth(text);
    act(
        "tab width", [this, width] { m_staff->setTabWidth(width); }, std::move(merge));
}

void TBassForm::StringsChange(int value)
{
    act("string count", [this, value] { m_staff->setStringCount(value); });
}

void TBassForm::tempoChange(int bpm)
{
    engine::StepOptions merge;
    merge.mergeRepeats = true;
    act(
        "tempo", [this, bpm] { m_staff->setTempo(bpm); }, std::move(merge));
}

engine::Technique TBassForm::technique() const
{
    using engine::Technique;
    const std::pair<const QRadioButton*, Technique> radios[] = {
        {m_ui->RadioH, Technique::HammerOn},     {m_ui->RadioP, Technique::PullOff},
        {m_ui->RadioS, Technique::Slide},        {m_ui->RadioSlap, Technique::Slap},
        {m_ui->RadioPop, Technique::Pop},        {m_ui->RadioChord, Technique::Chord},
        {m_ui->RadioTriplet, Technique::Triplet}};
    for (const auto& [radio, technique] : radios) {
        if (radio->isChecked())
            return technique;
    }
    return Technique::Default;
}

void TBassForm::Dropped(QPoint point, char symbol)
{
    const NeckWidget& neck = *m_ui->BassNeck;
    placeNote(neck.columnAt(point.x()), neck.rowAt(point.y()), symbol);
}

void TBassForm::writeNoteAtCursor()
{
    const QPoint cell = m_ui->BassNeck->cursorCell();
    placeNote(cell.x(), cell.y(), m_duration);
}

void TBassForm::placeNote(int fret, int string, char symbol)
{
    const engine::Drop drop{fret, string, symbol, technique(), m_ui->CheckHalf->isChecked()};
    const char* label = drop.technique == engine::Technique::Chord     ? "chord note"
                        : drop.technique == engine::Technique::Triplet ? "triplet"
                                                                       : "note";
    engine::DropOutcome outcome{};
    const std::size_t before = m_history->position();
    m_history->record(label, [this, &drop, &outcome] { outcome = m_staff->Dropped(drop); });
    const bool refused = outcome == engine::DropOutcome::SlideRefused ||
                         outcome == engine::DropOutcome::ChordRefused;
    const bool slide = outcome == engine::DropOutcome::SlideRefused;
    if (refused && m_history->position() != before)
        m_history->relabelLast(slide ? "refused slide" : "refused chord");
    // The window shows what the refusal left (the marker, a filled block) behind the box.
    syncControls();
    if (slide)
        m_prompter->error(QStringLiteral("Can't slide from one string to another"),
                          QStringLiteral("You're too strong"));
    else if (refused)
        ChordError();
}

void TBassForm::ChordError()
{
    m_prompter->inform(QStringLiteral("Can't make a chord with \rdifferent durations or\ror "
                                      "with notes on the same string !"),
                       QStringLiteral("Error !"));
}

void TBassForm::MouseDown(Qt::MouseButton button, QPoint point)
{
    if (button != Qt::RightButton || !m_staff->state().setupUnlocked || m_tuningPopup == nullptr)
        return;
    const NeckWidget& neck = *m_ui->BassNeck;
    const int column = neck.columnAt(point.x());
    const int row = neck.rowAt(point.y());
    // Only a string's name, or its first fret, opens the pop-up.
    if (column < 0 || column > 1 || row < 1 || row > m_staff->state().stringCount.value())
        return;

    // The grid point is taken as a point of the designed area, which puts the pop-up up and
    // to the left of the pointer by the grid's offset: just beside the string names.
    const QPoint screen = m_area->mapToGlobal(point);
    m_tuningPopup->setpNote(QString::fromStdString(m_staff->state().tuning.at(row)));
    m_tuningPopup->move(screen.x() + 16, screen.y());
    if (m_tuningPopup->exec() != QDialog::Accepted)
        return;
    const std::string name = m_tuningPopup->pNote().toStdString();
    act("tuning", [this, row, &name] { m_staff->retune(row, name); });
}

void TBassForm::setRest(char symbol)
{
    const bool dotted = m_ui->CheckHalf->isChecked();
    act("rest", [this, symbol, dotted] { m_staff->setRest(symbol, dotted); });
}

void TBassForm::RepeatLast()
{
    const bool triplet = m_ui->RadioTriplet->isChecked();
    act("Repeat last", [this, triplet] { m_staff->RepeatLast(triplet); });
}

void TBassForm::GoBack()
{
    act("Delete last", [this] { m_staff->GoBack(); });
}

void TBassForm::moveInHistory(bool forward)
{
    const char* label = forward ? m_history->redoLabel() : m_history->undoLabel();
    if (!(forward ? m_history->redo() : m_history->undo()))
        return;
    showSetup();
    syncControls();
    statusBar()->showMessage((forward ? QStringLiteral("Redo: ") : QStringLiteral("Undo: ")) +
                                 QLatin1String(label),
                             kMessageMs);
}

void TBassForm::HelpMe()
{
    openHelp(kHelpOverviewTopic);
}

void TBassForm::openHelp(int topic)
{
    if (m_help == nullptr)
        m_help = new HelpViewer(this);
    m_help->openAt(m_helpFile, topic);
}

void TBassForm::showAbout()
{
    m_prompter->inform(QStringLiteral("Quorlin v1.0.0\rA bass tablature editor: drop or type "
                                      "notes on the neck, and the tab grows as text."),
                       QStringLiteral("About Quorlin"));
}

bool TBassForm::SaveTab()
{
    return m_document->save();
}

void TBassForm::LoadDaTab()
{
    // Loading appends to the tab, so it must start from an empty one.
    const std::size_t before = m_history->position();
    if (!Clear())
        return;
    const bool cleared = m_history->position() != before;
    const std::optional<files::LoadedTab> read = m_document->chooseAndRead();
    if (read)
        adopt(*read, cleared);
}

void TBassForm::adopt(const files::LoadedTab& tab, bool cleared)
{
    // One undo takes back the load and its "Clear tab" together: the old tab comes back.
    engine::StepOptions options;
    options.joinPrevious = cleared;
    if (tab.header && m_headerForm != nullptr) {
        options.outer =
            std::make_unique<HeaderChange>(*m_headerForm, m_headerForm->songHeader(), *tab.header);
    }
    options.outer =
        engine::bothChanges(std::move(options.outer),
                            m_document->pathChange(m_document->path(), m_document->reading()));
    act(
        "load",
        [this, &tab] {
            m_staff->adoptLoaded(tab.lines, tab.state);
            if (tab.header && m_headerForm != nullptr)
                m_headerForm->setLoadedHeader(*tab.header);
        },
        std::move(options));
    showSetup();
    m_document->reportLoaded(tab);
    syncControls();
}

void TBassForm::openAtStart(const QString& path)
{
    // The tab is empty at start, so there is nothing to clear or to ask about.
    if (const std::optional<files::LoadedTab> read = m_document->read(path))
        adopt(*read, false);
}

bool TBassForm::openFile(const QString& path)
{
    if (!m_document->maybeSave())
        return false;
    const std::optional<files::LoadedTab> read = m_document->read(path);
    if (!read)
        return false;
    const std::size_t before = m_history->position();
    if (m_text->count() > 0)
        act("Clear tab", [this] { m_staff->Clear(); });
    adopt(*read, m_history->position() != before);
    return true;
}

void TBassForm::pasteTabAsNotes()
{
    m_staff->follow();
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    replaceTab(m_conversions->importText(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), state(),
        m_text->count() == 0, "Paste tab as notes"));
}

void TBassForm::changeTuning()
{
    m_staff->follow();
    const TextAreaTabText::Snapshot text = m_text->snapshot();
    replaceTab(m_conversions->changeTuning(text.lines(), state()));
}

void TBassForm::replaceTab(const std::optional<NewTab>& tab)
{
    if (!tab)
        return;
    engine::StepOptions options;
    if (tab->newDocument)
        options.outer = m_document->pathChange(m_document->path(), QString());
    act(
        tab->label,
        [this, &tab] {
            // Nothing to rewrite: the set-up of an empty tab simply changes.
            if (tab->lines.empty()) {
                m_staff->restoreSetup(tab->setup.stringCount, tab->setup.tuning);
                return;
            }
            m_staff->Clear();
            m_staff->adoptLoaded(tab->lines, tab->setup);
        },
        std::move(options));
    if (tab->newDocument)
        m_document->forgetPath();
    showSetup();
    syncControls();
    statusBar()->showMessage(tab->report, kMessageMs);
}

void TBassForm::CopyToClip()
{
    QPlainTextEdit& tab = *m_ui->Tab;
    if (tab.document()->isEmpty()) {
        // Copying an empty selection would leave the old clipboard in place.
        QGuiApplication::clipboard()->setText(QString());
    } else {
        tab.selectAll();
        tab.copy();
    }
    QTextCursor cursor = tab.textCursor();
    cursor.setPosition(0);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    tab.setTextCursor(cursor);
}

void TBassForm::SetHeader()
{
    if (m_headerForm != nullptr)
        m_headerForm->showAndRaise();
}

void TBassForm::CloseApp()
{
    if (!m_document->maybeSave())
        return;
    const engine::EditingState& s = m_staff->state();
    instrument::saveSetup(*m_store, {m_ui->CheckStrings->isChecked(), s.stringCount, s.tuning});
    // The old settings are still there; the user only needs to know the new ones are not.
    if (m_ownStore && !m_ownStore->problem().isEmpty())
        m_prompter->error(m_ownStore->problem(), kCaption);
    m_leaving = true;
    close();
}

void TBassForm::closeEvent(QCloseEvent* event)
{
    if (m_leaving || m_document->maybeSave()) {
        // A clean exit: whatever was not saved was given up on purpose.
        m_recovery->safe();
        event->accept();
    } else {
        event->ignore();
    }
}

void TBassForm::keepRecoverable()
{
    std::tuple now{m_ui->Tab->document()->revision(), m_history->position(), m_staff->snapshot()};
    if (now == m_lastChange)
        return;
    m_lastChange = std::move(now);
    if (m_text->count() == 0 || m_history->isClean())
        m_recovery->safe();
    else
        m_recovery->changed();
}

bool TBassForm::offerRecovery()
{
    const std::optional<files::Recovered> copy = m_recovery->offer();
    if (!copy)
        return false;
    const RestoreProgress progress(*m_ui->Tab, *copy, this);
    // Brought back as one step, as unsaved work: undo would give the empty tab again.
    engine::StepOptions options;
    if (m_headerForm != nullptr) {
        options.outer =
            std::make_unique<HeaderChange>(*m_headerForm, m_headerForm->songHeader(), copy->header);
    }
    act(
        "restore",
        [this, &copy] {
            files::restoreRecovered(*copy, *m_text, *m_staff);
            if (m_headerForm != nullptr)
                m_headerForm->setLoadedHeader(copy->header);
        },
        std::move(options));
    m_document->setPath(QString::fromStdString(copy->sourcePath));
    showSetup();
    syncControls();
    return true;
}

void TBassForm::syncControls()
{
    m_ui->BassNeck->showStaff(m_staff->neck());
    updateControls();
    keepRecoverable();
    if (const QString title = m_document->title(); m_fileStatus->text() != title)
        m_fileStatus->setText(title);
    m_playback->tabChanged(m_staff->state().tempo);
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
            const engine::EditingState& s = m_staff->state();
            showLines(*m_ui->Tab, s.blockStart, s.blockStart + s.stringCount.value() + 1);
            showTextPlace();
        },
        Qt::QueuedConnection);
}

void TBassForm::showSetup()
{
    const engine::EditingState& s = m_staff->state();
    auto* widthField = m_ui->MaxLineLen->findChild<QLineEdit*>();
    const QSignalBlocker quietWidth(m_ui->MaxLineLen);
    const QSignalBlocker quietField(widthField);
    const QSignalBlocker quietStrings(m_ui->MaxStringsSpin);
    // A field that reads as the engine's width already keeps what the user typed.
    if (readWidth(m_ui->MaxLineLen->text()) != s.tabWidth)
        m_ui->MaxLineLen->setValue(s.tabWidth);
    m_ui->MaxStringsSpin->setValue(s.stringCount.value());
}

void TBassForm::updateControls()
{
    const engine::EditingState& s = m_staff->state();
    m_ui->MaxLineLen->setEnabled(s.setupUnlocked);
    m_ui->MaxStringsSpin->setEnabled(s.setupUnlocked);
    m_ui->RadioChord->setEnabled(s.chordAvailable);
    (*m_commands)[Command::Chord]->setEnabled(s.chordAvailable);
    // A chord left checked after "Clear tab" could never be unchecked by its own button.
    if (!s.chordAvailable && m_ui->RadioChord->isChecked())
        m_ui->RadioDefault->setChecked(true);

    // Menu texts change only when the step's kind does: a note after a note leaves them.
    const char* undoLabel = m_history->undoLabel();
    const char* redoLabel = m_history->redoLabel();
    const auto sameLabel = [](const char* a, const char* b) {
        return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
    };
    if (!sameLabel(undoLabel, m_shownUndo) || !sameLabel(redoLabel, m_shownRedo)) {
        m_shownUndo = undoLabel;
        m_shownRedo = redoLabel;
        QAction* undo = (*m_commands)[Command::Undo];
        QAction* redo = (*m_commands)[Command::Redo];
        undo->setEnabled(undoLabel != nullptr);
        redo->setEnabled(redoLabel != nullptr);
        undo->setText(undoLabel ? QStringLiteral("&Undo ") + QLatin1String(undoLabel)
                                : QStringLiteral("&Undo"));
        redo->setText(redoLabel ? QStringLiteral("&Redo ") + QLatin1String(redoLabel)
                                : QStringLiteral("&Redo"));
    }
    showCursor();
}

void TBassForm::showChoice()
{
    const QAbstractButton* chosen = nullptr;
    for (const QAbstractButton* radio :
         {m_ui->RadioH, m_ui->RadioP, m_ui->RadioS, m_ui->RadioSlap, m_ui->RadioPop,
          m_ui->RadioChord, m_ui->RadioTriplet, m_ui->RadioDefault}) {
        if (radio->isChecked())
            chosen = radio;
    }
    m_choiceStatus->setText(choiceText(m_duration, m_ui->CheckHalf->isChecked(),
                                       chosen != nullptr ? chosen->text() : QString()));
}

void TBassForm::showCursor()
{
    // Every action passes here; the text is worked out again only when it can differ.
    const QPoint cell = m_ui->BassNeck->cursorCell();
    const engine::EditingState& s = m_staff->state();
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
        textPlaceText(m_staff->state(), m_ui->Tab->textCursor().blockNumber() + 1));
}

} // namespace quorlin::ui
