#include "ui/common/Header/THeaderForm.h"

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
    // uic sizes a top-level form but leaves its place to the window manager.
    move(586, 343);
    setFont(fonts::dialog(11));
    // With the scroll bars off, a word wider than the memo would be cut off unseen, so such
    // a word is broken anywhere; everything else breaks between words.
    m_ui->Comment->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    auto* oneLine = new OneLineValidator(this);
    for (QLineEdit* field : {m_ui->From, m_ui->Artist, m_ui->BassPerf})
        field->setValidator(oneLine);
    connect(m_ui->OkButton, &QPushButton::clicked, this, &THeaderForm::CloseIt);
}

THeaderForm::~THeaderForm() = default;

void THeaderForm::setpComment(QStringList lines)
{
    m_loadedComments = std::move(lines);
    m_commentSource = CommentSource::Loaded;
}

QStringList THeaderForm::commentLines() const
{
    switch (m_commentSource) {
    case CommentSource::Memo:
        return memoLines();
    case CommentSource::Loaded:
        return m_loadedComments;
    case CommentSource::None:
        break;
    }
    return {};
}

files::SongHeader THeaderForm::songHeader() const
{
    files::SongHeader header{
        m_from.toStdString(), m_artist.toStdString(), m_bassPerf.toStdString(), {}};
    for (const QString& line : commentLines())
        header.comments.push_back(line.toStdString());
    return header;
}

void THeaderForm::setLoadedHeader(const files::SongHeader& header)
{
    m_from = fromUtf8(header.from);
    m_artist = fromUtf8(header.artist);
    m_bassPerf = fromUtf8(header.bassPerf);
    QStringList lines;
    for (const std::string& line : header.comments)
        lines << fromUtf8(line);
    setpComment(std::move(lines));
    // An open dialog shows what it holds now, or its "Ok" would put the old text back.
    if (isVisible())
        ShowIt();
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
    m_ui->From->setText(m_from);
    m_ui->Artist->setText(m_artist);
    m_ui->BassPerf->setText(m_bassPerf);
    if (m_commentSource == CommentSource::Loaded)
        m_ui->Comment->setPlainText(m_loadedComments.join(QLatin1Char('\n')));
}

void THeaderForm::CloseIt()
{
    const files::SongHeader before = songHeader();
    m_from = m_ui->From->text();
    m_artist = m_ui->Artist->text();
    m_bassPerf = m_ui->BassPerf->text();
    m_loadedComments.clear();
    m_commentSource = CommentSource::Memo;
    hide();
    if (const files::SongHeader after = songHeader(); !(after == before))
        emit headerChanged(before, after);
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
