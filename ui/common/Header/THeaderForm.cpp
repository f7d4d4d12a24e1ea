#include "ui/common/Header/THeaderForm.h"

#include "document/Document.h"
#include "ui/common/Fonts.h"
#include "ui/common/OneLineValidator.h"
#include "ui_Header.h"

#include <QShowEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace quorlin::ui {

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

THeaderForm::THeaderForm(QWidget* parent) :
    QDialog(parent), m_ui(std::make_unique<Ui::THeaderForm>())
{
    m_ui->setupUi(this);
    setFont(fonts::dialog(11));
    // With the scroll bars off, a word wider than the memo would be cut off unseen, so such
    // a word is broken anywhere; everything else breaks between words.
    m_ui->Comment->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    auto* oneLine = new OneLineValidator(this);
    for (QLineEdit* field : {m_ui->From, m_ui->Artist, m_ui->BassPerf})
        field->setValidator(oneLine);
    connect(m_ui->OkButton, &QPushButton::clicked, this, &THeaderForm::CloseIt);
}

THeaderForm::~THeaderForm()
{
    // The memo the comment lines were read from goes with the dialog.
    if (m_document != nullptr)
        m_document->bindComments(nullptr);
}

void THeaderForm::attach(document::Document& document)
{
    m_document = &document;
    connect(&document, &document::Document::headerChanged, this, &THeaderForm::headerReplaced);
}

void THeaderForm::headerReplaced()
{
    if (m_committing)
        return;
    m_replaced = true;
    // An open dialog shows what it holds now, or its "Ok" would put the old text back.
    if (isVisible())
        ShowIt();
}

QStringList THeaderForm::commentLines() const
{
    QStringList lines;
    for (const std::string& line : songHeader().comments)
        lines << fromUtf8(line);
    return lines;
}

files::SongHeader THeaderForm::songHeader() const
{
    return m_document != nullptr ? m_document->header() : files::SongHeader();
}

void THeaderForm::showAndRaise()
{
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void THeaderForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from the task bar also gets a (spontaneous) show event; only the
    // change from hidden to visible refills the controls.
    if (!event->spontaneous())
        ShowIt();
}

void THeaderForm::ShowIt()
{
    const files::SongHeader header = songHeader();
    m_ui->From->setText(fromUtf8(header.from));
    m_ui->Artist->setText(fromUtf8(header.artist));
    m_ui->BassPerf->setText(fromUtf8(header.bassPerf));
    if (m_replaced)
        m_ui->Comment->setPlainText(commentLines().join(QLatin1Char('\n')));
}

void THeaderForm::CloseIt()
{
    hide();
    if (m_document == nullptr)
        return;
    m_replaced = false;
    m_committing = true;
    m_document->setHeader({m_ui->From->text().toStdString(), m_ui->Artist->text().toStdString(),
                           m_ui->BassPerf->text().toStdString(), memoComments()});
    m_document->bindComments([this] { return memoComments(); });
    m_committing = false;
}

std::vector<std::string> THeaderForm::memoComments() const
{
    std::vector<std::string> lines;
    for (const QString& line : memoLines())
        lines.push_back(line.toStdString());
    return lines;
}

QStringList THeaderForm::memoLines() const
{
    // The memo lays out only what it paints, and a hidden one has no viewport size yet, so
    // the lines are broken here the way the memo would break them.
    const QPlainTextEdit& memo = *m_ui->Comment;
    const QTextDocument& doc = *memo.document();
    const qreal width = memo.maximumViewportSize().width() - 2 * doc.documentMargin();

    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        QTextLayout layout(text, doc.defaultFont());
        layout.setTextOption(doc.defaultTextOption());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            QString shown = text.mid(layout.lineAt(i).textStart(), layout.lineAt(i).textLength());
            // The blank where the memo broke a line is the break itself.
            if (i + 1 < layout.lineCount())
                while (!shown.isEmpty() && shown.back().isSpace())
                    shown.chop(1);
            lines << shown;
        }
    }
    // The empty line after a final line break (or of an empty memo) is only where the caret
    // would go next.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace quorlin::ui
