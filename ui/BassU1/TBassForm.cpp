#include "ui/BassU1/TBassForm.h"

#include "ui/Fonts.h"
#include "ui/HelpViewer.h"
#include "ui/NeckWidget.h"
#include "ui/Prompter.h"
#include "ui/RestPanel.h"
#include "ui/TextAreaTabText.h"
#include "ui/Tunning/TTunningF.h"
#include "ui_BassU1.h"

#include <QCoreApplication>
#include <QLineEdit>

#include <limits>

// The glyphs live in the ui library's resources, which a static link would otherwise drop.
static void initResources()
{
    Q_INIT_RESOURCE(BassU1);
}

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

TBassForm::TBassForm(Prompter* prompter, QWidget* parent) :
    QWidget(parent), m_ui(std::make_unique<Ui::TBassForm>()), m_prompter(prompter),
    m_helpFile(QCoreApplication::applicationDirPath() + QLatin1Char('/') + kHelpFileName)
{
    if (m_prompter == nullptr) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    initResources();
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
}

void TBassForm::CreateIt()
{
    m_ui->CheckStrings->setChecked(false);
    m_staff->LabelNeck();
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
    TextAreaTabText::Action action(*m_text);
    m_staff->JumpLine();
}

void TBassForm::Clear()
{
    if (!m_prompter->askYesNo(QStringLiteral("Are you sure you want to erase the current tab ?"),
                              QStringLiteral("Warning !")))
        return;
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->Clear();
    }
    syncControls();
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
    m_tuningPopup->exec();
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
    TextAreaTabText::Action action(*m_text);
    m_staff->RepeatLast(m_ui->RadioTriplet->isChecked());
}

void TBassForm::GoBack()
{
    TextAreaTabText::Action action(*m_text);
    m_staff->GoBack();
}

void TBassForm::HelpMe()
{
    if (m_help == nullptr)
        m_help = new HelpViewer(this);
    m_help->openAt(m_helpFile, kHelpOverviewTopic);
}

void TBassForm::syncControls()
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
