#include "ui/print/SheetOutput.h"

#include "document/Document.h"
#include "files/SongHeader.h"
#include "ui/common/Prompter.h"
#include "ui/print/PageSetupDialog.h"
#include "ui/print/SheetSource.h"
#include "ui/sheet/SheetFiles.h"
#include "ui/sheet/SheetPainter.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorlin::ui {

namespace {

QPageSize pageSizeOf(sheet::Paper paper)
{
    return QPageSize(paper == sheet::Paper::Letter ? QPageSize::Letter : QPageSize::A4);
}

QString qt(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string bytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

sheet::Paper layoutPaper(const QPageSize& paper)
{
    if (paper.id() == QPageSize::A4)
        return sheet::Paper::A4;
    if (paper.id() == QPageSize::Letter)
        return sheet::Paper::Letter;
    // The page is scaled to fit the paper: the nearer shape leaves the less of it blank.
    const QSizeF size = paper.size(QPageSize::Point);
    if (size.isEmpty())
        return sheet::Paper::A4;
    const auto shape = [](double width, double height) {
        return std::log(std::max(width, height) / std::min(width, height));
    };
    const double given = shape(size.width(), size.height());
    const sheet::PageSize a4 = sheet::pageSize(sheet::Paper::A4);
    const sheet::PageSize letter = sheet::pageSize(sheet::Paper::Letter);
    return std::abs(given - shape(a4.width, a4.height)) <=
                   std::abs(given - shape(letter.width, letter.height))
               ? sheet::Paper::A4
               : sheet::Paper::Letter;
}

SheetOutput::SheetOutput(QWidget& window, SheetSource& source, Prompter& prompter) :
    m_window(window), m_source(source), m_prompter(prompter), m_name(window), m_job(window)
{
}

SheetOutput::~SheetOutput() = default;

void SheetOutput::pageSetup()
{
    const QString commentTitle = qt(files::commentTitle(m_source.document().header()));
    PageSetupDialog dialog(&m_window, m_source.setup(), commentTitle);
    if (dialog.exec() == QDialog::Accepted)
        m_source.setSetup(dialog.setup());
}

QPrinter& SheetOutput::printer()
{
    if (m_printer == nullptr)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setPageSize(pageSizeOf(m_source.setup().paper));
    // The range, copies and order are the one print's, not the session's.
    m_printer->setPrintRange(QPrinter::AllPages);
    m_printer->setFromTo(0, 0);
    m_printer->setCopyCount(1);
    m_printer->setPageOrder(QPrinter::FirstPageFirst);
    return *m_printer;
}

int SheetOutput::printTo(QPrinter& printer)
{
    const score::Score score = m_source.score();
    sheet::SheetInput input = m_source.input(score);
    input.paper = layoutPaper(printer.pageLayout().pageSize());
    return paint(printer, sheet::layoutSheet(score, input, QtTextMeasure()), input.title);
}

int SheetOutput::paint(QPrinter& printer, const sheet::Sheet& sheet, const std::string& title)
{
    const int pages = static_cast<int>(sheet.pages.size());
    int first = 1;
    int last = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::min(printer.toPage(), pages);
    }
    if (first > last)
        return 0;
    // The layout has margins of its own; the printer's would shrink the page twice.
    printer.setFullPage(true);
    printer.setDocName(qt(title));
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_prompter.error(QStringLiteral("The printer did not start: nothing was printed."),
                         kCaption);
        return 0;
    }
    // Points to the paper's pixels, the whole page in sight, centred across the paper and
    // at its top as a printed page is read.
    const QRectF paper = printer.pageLayout().fullRectPixels(printer.resolution());
    const double scale =
        std::min(paper.width() / sheet.size.width, paper.height() / sheet.size.height);
    const double left = (paper.width() - sheet.size.width * scale) / 2;
    // The copies and their order as the dialog asked, where the printer does not make them
    // itself (a PDF file, for one).
    std::vector<int> range;
    for (int page = first; page <= last; ++page)
        range.push_back(page);
    if (printer.pageOrder() == QPrinter::LastPageFirst)
        std::reverse(range.begin(), range.end());
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(printer.copyCount(), 1);
    std::vector<int> sequence;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            sequence.insert(sequence.end(), range.begin(), range.end());
    } else {
        for (const int page : range)
            sequence.insert(sequence.end(), static_cast<std::size_t>(copies), page);
    }
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        if (i > 0)
            printer.newPage();
        painter.save();
        painter.translate(left, 0);
        painter.scale(scale, scale);
        paintSheetPage(painter, sheet.pages[static_cast<std::size_t>(sequence[i] - 1)]);
        painter.restore();
    }
    painter.end();
    return last - first + 1;
}

void SheetOutput::printPreview()
{
    QPrintPreviewDialog preview(&printer(), &m_window);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("Print preview"));
    // Tall enough to read a whole page: the window's own size shows it as a stamp.
    if (const QScreen* screen = m_window.screen()) {
        const QRect room = screen->availableGeometry();
        const int height = room.height() * 9 / 10;
        preview.resize(std::min(room.width() * 9 / 10, height * 4 / 5), height);
    }
    // Asked again whenever the paper changes in the preview's own page setup.
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { printTo(*target); });
    if (const std::string skipped = score::skippedText(m_source.score()); !skipped.empty())
        emit message(qt(skipped));
    preview.exec();
}

void SheetOutput::print()
{
    QPrinter& target = printer();
    const score::Score score = m_source.score();
    sheet::SheetInput input = m_source.input(score);
    input.paper = layoutPaper(target.pageLayout().pageSize());
    sheet::Sheet sheet = sheet::layoutSheet(score, input, QtTextMeasure());
    // The dialog names a file to print to after the document.
    target.setDocName(qt(input.title));
    QPrintDialog dialog(&target, &m_window);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    dialog.setMinMax(1, static_cast<int>(sheet.pages.size()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Another paper chosen in the dialog: the pages are laid out for it.
    if (const sheet::Paper paper = layoutPaper(target.pageLayout().pageSize());
        paper != input.paper) {
        input.paper = paper;
        sheet = sheet::layoutSheet(score, input, QtTextMeasure());
    }
    const int printed = paint(target, sheet, input.title);
    if (printed == 0)
        return;
    QString said = printed == 1 ? QStringLiteral("Printed 1 page")
                                : QStringLiteral("Printed %1 pages").arg(printed);
    if (target.outputFormat() == QPrinter::PdfFormat && !target.outputFileName().isEmpty())
        said += QStringLiteral(" to ") + target.outputFileName();
    if (const std::string skipped = score::skippedText(score); !skipped.empty())
        said += QStringLiteral("; ") + qt(skipped);
    emit message(said);
}

void SheetOutput::exportSheet(Format format)
{
    if (busy())
        return;
    const bool pdf = format == Format::Pdf;
    const QString suffix = pdf ? QStringLiteral("pdf") : QStringLiteral("svg");
    // Beside the tab, named after it.
    const QString path =
        m_name.ask(pdf ? QStringLiteral("Export PDF") : QStringLiteral("Export SVG"),
                   pdf ? QStringLiteral("PDF files (*.pdf)") : QStringLiteral("SVG files (*.svg)"),
                   suffix, besideTab(m_source.document().path(), suffix));
    if (!path.isEmpty())
        exportTo(format, path);
}

void SheetOutput::exportTo(Format format, const QString& path)
{
    if (busy() || refuseTabsOwnFile(m_prompter, m_source.document().path(), path))
        return;
    // The document is the window's: read here, laid out and written on the worker.
    auto score = std::make_shared<const score::Score>(m_source.score());
    const sheet::SheetInput input = m_source.input(*score);
    SheetDocument document = m_source.fileDocument(input);
    document.tabFile = bytes(m_source.document().path());
    m_skipped = qt(score::skippedText(*score));
    auto pages = std::make_shared<std::size_t>(0);
    const bool pdf = format == Format::Pdf;
    m_job.start(
        pdf ? QStringLiteral("Export PDF") : QStringLiteral("Export SVG"),
        QStringLiteral("Writing %1...").arg(path), true,
        [score, input, document, pages, pdf, target = bytes(path)](const auto& progress,
                                                                   QString& problem) {
            const sheet::Sheet sheet =
                sheet::layoutSheet(*score, input, QtTextMeasure(document.face));
            // The layout cannot stop half-way: a cancel while it ran is heeded here.
            if (!progress(0))
                return false;
            *pages = sheet.pages.size();
            const SheetProgress drawn = [&progress](std::size_t done, std::size_t all) {
                return progress(static_cast<double>(done) / static_cast<double>(all));
            };
            std::string why;
            const bool written = pdf ? writeSheetPdf(sheet, document, target, why, drawn)
                                     : writeSheetSvg(sheet, document, target, why, drawn);
            problem = qt(why);
            return written;
        },
        [this, format, path, pages](bool written, const QString& problem) {
            report(format, path, *pages, written, problem);
        });
}

void SheetOutput::report(Format format, const QString& path, std::size_t pages, bool written,
                         const QString& problem)
{
    // Several SVG pages go to files of their own: the first is named, the others follow.
    QString what = path;
    if (format == Format::Svg && pages > 1)
        what = QStringLiteral("%1, the first of %2 pages")
                   .arg(QFile::decodeName(
                       QByteArray::fromStdString(svgPageNames(bytes(path), pages).front())))
                   .arg(pages);
    if (const QString said = exportOutcome(m_prompter, written, what, m_skipped, problem);
        !said.isEmpty())
        emit message(said);
    emit finished();
}

} // namespace quorlin::ui
