#include "ui/BassU1/TBassForm.h"

#include "files/TabFile.h"
#include "ui/FileAccess.h"
#include "ui/Fonts.h"
#include "ui/Header/THeaderForm.h"
#include "ui/HelpViewer.h"
#include "ui/LinesInView.h"
#include "ui/NeckWidget.h"
#include "ui/Prompter.h"
#include "ui/RestPanel.h"
#include "ui/SettingsFileStore.h"
#include "ui/TabFileDialog.h"
#include "ui/TextAreaTabText.h"
#include "ui/Tunning/TTunningF.h"
#include "ui_BassU1.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTextDocument>

#include <limits>
#include <string_view>

namespace quorlin::ui {

namespace {

const QString kCaption = QStringLiteral("Quorlin v1.0");
const QString kHelpFileName = QStringLiteral("Quorlin.hlp");

constexpr int kHelpOverviewTopic = 1;

// The width field reads as 0 while it holds no number, an empty field included.
int readWidth(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace

TBassForm::TBassForm(Prompter* prompter, instrument::SettingsStore* store, QWidget* parent) :
    QWidget(parent), m_ui(std::make_unique<Ui::TBassForm>()), m_prompter(prompter), m_store(store),
    m_helpFile(QCoreApplication::applicationDirPath() + QLatin1Char('/') + kHelpFileName)
{
    if (m_prompter == nullptr) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    if (m_store == nullptr) {
        m_ownStore = std::make_unique<SettingsFileStore>();
        m_store = m_ownStore.get();
    }
    m_ui->setupUi(this);
    m_text = std::make_unique<TextAreaTabText>(*m_ui->Tab);
    m_staff = std::make_unique<engine::Staff>(*m_text, *m_ui->BassNeck);

    move(250, 277);
    applyLook();
    m_ui->MaxLineLen->setRange(std::numeric_limits<int>::min(), engine::kMaxTabWidth);
    m_ui->MaxStringsSpin->setRange(instrument::kMinStrings, instrument::kMaxStrings);
    connectHandlers();
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
    connect(m_ui->PanelRest, &RestPanel::durationDropped, this, &TBassForm::setRest);
    // The spin box reports its arrows but stays silent while its field holds no number; its
    // editor reports every keystroke but not the arrows. Between them every change arrives.
    connect(m_ui->MaxLineLen, &QSpinBox::textChanged, this, &TBassForm::ChangeMaxLength);
    auto* widthField = m_ui->MaxLineLen->findChild<QLineEdit*>();
    connect(widthField, &QLineEdit::textChanged, this, &TBassForm::ChangeMaxLength);
    // Only values inside the spin box's bounds are reported, so no count past six arrives.
    connect(m_ui->MaxStringsSpin, &QSpinBox::valueChanged, this, &TBassForm::StringsChange);
    m_text->setForeignChangeHandler([this] {
        if (m_followPending)
            return;
        m_followPending = true;
        QMetaObject::invokeMethod(this, &TBassForm::followHandEdits, Qt::QueuedConnection);
    });
}

void TBassForm::followHandEdits()
{
    m_followPending = false;
    const bool wasFree = m_staff->state().setupUnlocked;
    m_staff->follow();
    // Text typed into a free set-up, or brought back by undoing "Clear tab", is written at
    // the width the field shows, as the width was before the clear.
    if (wasFree && !m_staff->state().setupUnlocked)
        ChangeMaxLength(m_ui->MaxLineLen->text());
    updateControls();
}

void TBassForm::CreateIt()
{
    const instrument::KeptSetup kept = instrument::loadSetup(*m_store);
    m_ui->CheckStrings->setChecked(kept.keepTuning);
    m_staff->restoreSetup(kept.strings, kept.tuning);
    // The engine holds the count already and has labelled the neck for it.
    const QSignalBlocker quiet(m_ui->MaxStringsSpin);
    m_ui->MaxStringsSpin->setValue(m_staff->state().stringCount.value());
    syncControls();
}

void TBassForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    ShowIt();
}

void TBassForm::ShowIt()
{
    setWindowTitle(kCaption);
}

void TBassForm::JumpLine()
{
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->JumpLine();
    }
    syncControls();
}

bool TBassForm::Clear()
{
    if (!m_prompter->askYesNo(QStringLiteral("Are you sure you want to erase the current tab ?"),
                              QStringLiteral("Warning !")))
        return false;
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->Clear();
    }
    markSaved();
    syncControls();
    return true;
}

void TBassForm::ChangeMaxLength(const QString& text)
{
    m_staff->setTabWidth(readWidth(text));
}

void TBassForm::StringsChange(int value)
{
    m_staff->setStringCount(value);
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
    const engine::Drop drop{neck.columnAt(point.x()), neck.rowAt(point.y()), symbol, technique(),
                            m_ui->CheckHalf->isChecked()};
    engine::DropOutcome outcome;
    {
        TextAreaTabText::Action action(*m_text);
        outcome = m_staff->Dropped(drop);
    }
    syncControls();
    if (outcome == engine::DropOutcome::SlideRefused)
        m_prompter->error(QStringLiteral("Can't slide from one string to another"),
                          QStringLiteral("You're too strong"));
    else if (outcome == engine::DropOutcome::ChordRefused)
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

    // The grid point is taken as a point of the window, which puts the pop-up up and to the
    // left of the pointer by the grid's offset: just beside the string names.
    const QPoint screen = mapToGlobal(point);
    m_tuningPopup->setpNote(QString::fromStdString(m_staff->state().tuning.at(row)));
    m_tuningPopup->move(screen.x() + 16, screen.y());
    if (m_tuningPopup->exec() == QDialog::Accepted)
        m_staff->retune(row, m_tuningPopup->pNote().toStdString());
}

void TBassForm::setRest(char symbol)
{
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->setRest(symbol, m_ui->CheckHalf->isChecked());
    }
    syncControls();
}

void TBassForm::RepeatLast()
{
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->RepeatLast(m_ui->RadioTriplet->isChecked());
    }
    syncControls();
}

void TBassForm::GoBack()
{
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->GoBack();
    }
    syncControls();
}

void TBassForm::HelpMe()
{
    if (m_help == nullptr)
        m_help = new HelpViewer(this);
    m_help->openAt(m_helpFile, kHelpOverviewTopic);
}

void TBassForm::markSaved()
{
    m_ui->Tab->document()->setModified(false);
}

bool TBassForm::maybeSave()
{
    if (!m_ui->Tab->document()->isModified() || m_text->count() == 0)
        return true;
    switch (m_prompter->askYesNoCancel(QStringLiteral("Save changes to the tab?"), kCaption)) {
    case Prompter::Answer::Yes:
        return SaveTab();
    case Prompter::Answer::No:
        return true;
    case Prompter::Answer::Cancel:
        break;
    }
    return false;
}

QString TBassForm::chooseFile(TabFileDialog*& dialog, const char* name, const QString& title,
                              QFileDialog::AcceptMode mode)
{
    // Made on first use, not at start-up: most runs never open them. Kept afterwards, so a
    // second use opens where the first one left off.
    if (dialog == nullptr)
        dialog = new TabFileDialog(this, QLatin1String(name), title, mode);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

bool TBassForm::SaveTab()
{
    const QString path =
        chooseFile(m_saveFile, "SaveFile", QStringLiteral("Save Tab"), QFileDialog::AcceptSave);
    return !path.isEmpty() && writeTab(path);
}

bool TBassForm::writeTab(const QString& path)
{
    const TextAreaTabText::Snapshot tab = m_text->snapshot();
    const std::string bytes = files::tabFileText(
        tab.lines(), m_staff->state(),
        m_headerForm != nullptr ? m_headerForm->songHeader() : files::SongHeader());

    QString problem;
    if (!saveFile(path, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                  problem)) {
        m_prompter->error(QStringLiteral("The tab could not be saved to %1:\r%2.")
                              .arg(QDir::toNativeSeparators(path), problem),
                          QStringLiteral("Save Tab"));
        return false;
    }
    markSaved();
    return true;
}

void TBassForm::LoadDaTab()
{
    // Loading appends to the tab, so it must start from an empty one.
    if (!Clear())
        return;
    const QString path =
        chooseFile(m_openFile, "OpenFile", QStringLiteral("Load Tab"), QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return;
    FileRead file = readRegularFile(path);
    if (!file.ok) {
        m_prompter->error(QStringLiteral("The tab could not be read from %1:\r%2.")
                              .arg(QDir::toNativeSeparators(path), file.problem),
                          QStringLiteral("Load Tab"));
        return;
    }

    const engine::EditingState& before = m_staff->state();
    const files::LoadedTab tab = files::readTabFile(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())),
        before.stringCount, before.tuning);
    file.bytes = QByteArray(); // a big tab is held three times over otherwise
    {
        // A loaded tab starts a history of its own, as an opened file does; recording each
        // of its lines for undo would also cost as much as the text itself.
        QTextDocument& document = *m_ui->Tab->document();
        document.setUndoRedoEnabled(false);
        {
            TextAreaTabText::Action action(*m_text);
            m_staff->adoptLoaded(tab.lines, tab.state);
        }
        document.setUndoRedoEnabled(true);
    }
    m_ui->MaxLineLen->setValue(m_staff->state().tabWidth);
    {
        const QSignalBlocker quiet(m_ui->MaxStringsSpin);
        m_ui->MaxStringsSpin->setValue(m_staff->state().stringCount.value());
    }
    syncControls();
    if (tab.header && m_headerForm != nullptr)
        m_headerForm->setLoadedHeader(*tab.header);
    markSaved();

    if (!tab.hasHeader) {
        m_prompter->inform(
            QStringLiteral("This tab hasn't been created with Quorlin,\rI can read it "
                           "but the result of the edition \rcan be hazardous"),
            QStringLiteral("Warning"));
    }
    if (!tab.problems.empty()) {
        QStringList lines;
        for (const std::string& problem : tab.problems)
            lines << QString::fromStdString(problem);
        m_prompter->inform(lines.join(QLatin1Char('\r')), QStringLiteral("Warning"));
    }
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
    if (!maybeSave())
        return;
    const engine::EditingState& s = m_staff->state();
    instrument::saveSetup(*m_store, {m_ui->CheckStrings->isChecked(), s.stringCount, s.tuning});
    m_leaving = true;
    close();
}

void TBassForm::closeEvent(QCloseEvent* event)
{
    if (m_leaving || maybeSave())
        event->accept();
    else
        event->ignore();
}

void TBassForm::syncControls()
{
    updateControls();
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
        },
        Qt::QueuedConnection);
}

void TBassForm::updateControls()
{
    const engine::EditingState& s = m_staff->state();
    m_ui->MaxLineLen->setEnabled(s.setupUnlocked);
    m_ui->MaxStringsSpin->setEnabled(s.setupUnlocked);
    m_ui->RadioChord->setEnabled(s.chordAvailable);
    // A chord left checked after "Clear tab" could never be unchecked by its own button.
    if (!s.chordAvailable && m_ui->RadioChord->isChecked())
        m_ui->RadioDefault->setChecked(true);
}

} // namespace quorlin::ui
