#pragma once

// The pages leaving the window: File > Page setup, Print preview and Print, and the PDF and
// SVG exports, laid out and written off the window's thread.

#include "sheet/SheetLayout.h"
#include "ui/common/BackgroundJob.h"
#include "ui/common/ExportName.h"

#include <QObject>

#include <memory>

class QPageSize;
class QPrinter;
class QWidget;

namespace quorlin::ui {

class Prompter;
class SheetSource;

// The paper the pages are laid out for on a printer's paper: A4 or Letter as they are,
// anything else the one of the two whose shape is nearest, scaled to fit it.
sheet::Paper layoutPaper(const QPageSize& paper);

class SheetOutput : public QObject {
    Q_OBJECT

public:
    enum class Format { Pdf, Svg };

    SheetOutput(QWidget& window, SheetSource& source, Prompter& prompter);
    ~SheetOutput() override;

    void pageSetup();
    void printPreview();
    void print();
    // The tab's pages on the printer's paper: all of them, or the range the printer was
    // given. The pages printed; what Print does once its dialog is answered.
    int printTo(QPrinter& printer);

    void exportSheet(Format format);
    // Writes without asking for a name; what the menu does once it has one.
    void exportTo(Format format, const QString& path);
    bool busy() const { return m_job.busy(); }

signals:
    // Said once in the status bar.
    void message(const QString& text);
    // An export has ended, written or not.
    void finished();

private:
    // The printer the dialogs share, so that its choices last the session; on the page
    // setup's paper, all pages, each time it is asked for.
    QPrinter& printer();
    // The pages of `sheet` the printer's range asks for; the pages printed.
    int paint(QPrinter& printer, const sheet::Sheet& sheet, const std::string& title);
    void report(Format format, const QString& path, std::size_t pages, bool written,
                const QString& problem);

    QWidget& m_window;
    SheetSource& m_source;
    Prompter& m_prompter;
    std::unique_ptr<QPrinter> m_printer;
    ExportName m_name;
    BackgroundJob m_job;
    QString m_skipped;
};

} // namespace quorlin::ui
