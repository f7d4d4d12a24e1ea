#include "ui/BassU1/TBassForm.h"

#include "ui/Fonts.h"
#include "ui/HelpViewer.h"
#include "ui/Prompter.h"
#include "ui/TextAreaTabText.h"
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
    m_staff = std::make_unique<engine::Staff>(*m_text);

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
    LabelNeck();
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

void TBassForm::LabelNeck()
{
    const engine::EditingState& s = m_staff->state();
    instrument::labelNeck(*m_ui->BassNeck, s.stringCount, s.tuning);
}

void TBassForm::JumpLine()
{
    TextAreaTabText::Action action(*m_text);
    m_staff->jumpLine();
}

void TBassForm::Clear()
{
    if (!m_prompter->askYesNo(QStringLiteral("Are you sure you want to erase the current tab ?"),
                              QStringLiteral("Warning !")))
        return;
    {
        TextAreaTabText::Action action(*m_text);
        m_staff->clear();
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
    LabelNeck();
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
}

} // namespace quorlin::ui
