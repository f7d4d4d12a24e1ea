#include "ui/sheet/SheetFiles.h"

#include "files/MusicXml.h"
#include "storage/AtomicFile.h"
#include "ui/sheet/SheetPainter.h"

#include <QIODevice>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cstdio>
#include <map>
#include <memory>

#include <sys/stat.h>

namespace quorlin::ui {

namespace {

QString qt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The writers' output straight into a file written whole or not at all; the first problem is
// kept, since the writers only see that a write failed.
class AtomicDevice final : public QIODevice {
public:
    explicit AtomicDevice(storage::AtomicFile& file) : m_file(file) { open(WriteOnly); }
    bool isSequential() const override { return true; }
    bool failed() const { return !m_problem.empty(); }
    const std::string& problem() const { return m_problem; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (failed() || !m_file.write({data, static_cast<std::size_t>(size)}, m_problem))
            return -1;
        return size;
    }

private:
    storage::AtomicFile& m_file;
    std::string m_problem;
};

// The title and author as XMP, which PDF readers show: this Qt's writer has no author field.
QByteArray xmp(const SheetDocument& document)
{
    const QString title = qt(document.title).toHtmlEscaped();
    const QString author = qt(document.author).toHtmlEscaped();
    QString text = QStringLiteral(
        "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
        "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
        "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>%1</rdf:li></rdf:Alt></dc:title>\n");
    text = text.arg(title);
    if (!author.isEmpty())
        text += QStringLiteral("<dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>\n")
                    .arg(author);
    text += QStringLiteral("</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n"
                           "<?xpacket end='w'?>");
    return text.toUtf8();
}

// False when the writer is told to stop; stopping is no problem to report.
bool goOn(const SheetProgress& progress, std::size_t drawn, std::size_t pages, std::string& problem)
{
    if (!progress || progress(drawn, pages))
        return true;
    problem.clear();
    return false;
}

} // namespace

sheet::Paper localPaper()
{
    const QLocale::Territory where = QLocale::system().territory();
    return where == QLocale::UnitedStates || where == QLocale::Canada ? sheet::Paper::Letter
                                                                      : sheet::Paper::A4;
}

sheet::SheetInput sheetInput(const files::SongHeader& header, const instrument::Tuning& tuning,
                             model::TimeSignature time, int tempo, sheet::Paper paper,
                             const std::string& title)
{
    sheet::SheetInput input;
    input.title = title.empty() ? files::commentTitle(header) : title;
    input.artist = header.artist;
    input.tabBy = header.from;
    input.bassPerformer = header.bassPerf;
    input.tempo = tempo;
    input.tuning = tuning;
    input.time = time;
    input.paper = paper;
    return input;
}

bool writeSheetPdf(const sheet::Sheet& sheet, const SheetDocument& document,
                   const std::string& target, std::string& problem, const SheetProgress& progress)
{
    storage::AtomicFile file;
    std::string why;
    if (!file.open(target, {}, why)) {
        problem = "cannot write " + target + ": " + why;
        return false;
    }
    AtomicDevice device(file);
    {
        QPdfWriter pdf(&device);
        pdf.setTitle(qt(document.title));
        pdf.setCreator(QStringLiteral("Quorlin"));
        pdf.setDocumentXmpMetadata(xmp(document));
        pdf.setPageSize(QPageSize(QSizeF(sheet.size.width, sheet.size.height), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        // At 72 to the inch a device unit is the layout's point.
        pdf.setResolution(72);
        QPainter painter;
        if (!painter.begin(&pdf)) {
            problem = "cannot write " + target + ": the PDF writer did not start";
            return false;
        }
        for (std::size_t i = 0; i < sheet.pages.size() && !device.failed(); ++i) {
            if (i > 0)
                pdf.newPage();
            paintSheetPage(painter, sheet.pages[i], document.face);
            if (!goOn(progress, i + 1, sheet.pages.size(), problem))
                return false;
        }
        painter.end();
    }
    if (device.failed() || !file.commit(why)) {
        problem = "cannot write " + target + ": " + (device.failed() ? device.problem() : why);
        return false;
    }
    return true;
}

std::vector<std::string> svgPageNames(const std::string& target, std::size_t pages)
{
    if (pages == 1)
        return {target};
    const std::size_t slash = target.rfind('/');
    const std::size_t dot = target.rfind('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = extension ? target.substr(0, dot) : target;
    const std::string tail = extension ? target.substr(dot) : std::string();
    std::vector<std::string> names;
    for (std::size_t i = 1; i <= pages; ++i)
        names.push_back(stem + '-' + std::to_string(i) + tail);
    return names;
}

bool writeSheetSvg(const sheet::Sheet& sheet, const SheetDocument& document,
                   const std::string& target, std::string& problem, const SheetProgress& progress)
{
    const std::vector<std::string> names = svgPageNames(target, sheet.pages.size());
    // Through links two names may be one file, which the later page would take from the
    // earlier.
    std::map<std::pair<dev_t, ino_t>, std::size_t> existing;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!document.tabFile.empty() && storage::sameFile(names[i], document.tabFile)) {
            problem = "cannot write " + names[i] + ": it is the tab " + document.tabFile +
                      " the pages come from, which it would destroy; give another name";
            return false;
        }
        struct stat info {};
        if (::stat(names[i].c_str(), &info) != 0 || S_ISCHR(info.st_mode))
            continue;
        if (const auto [at, added] = existing.try_emplace({info.st_dev, info.st_ino}, i); !added) {
            problem = "cannot write " + names[i] + ": it is " + names[at->second] +
                      ", another page; give another name";
            return false;
        }
    }
    // Each waits beside its name until the last is written; dropped, they leave nothing.
    std::vector<std::unique_ptr<storage::AtomicFile>> files;
    for (std::size_t i = 0; i < sheet.pages.size(); ++i) {
        auto& file = files.emplace_back(std::make_unique<storage::AtomicFile>());
        std::string why;
        if (!file->open(names[i], {}, why)) {
            problem = "cannot write " + names[i] + ": " + why;
            return false;
        }
        AtomicDevice device(*file);
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setTitle(qt(document.title));
        if (!document.author.empty())
            svg.setDescription(qt(document.author));
        svg.setResolution(72);
        svg.setSize(QSize(qRound(sheet.size.width), qRound(sheet.size.height)));
        svg.setViewBox(QRectF(0, 0, sheet.size.width, sheet.size.height));
        QPainter painter;
        if (!painter.begin(&svg)) {
            problem = "cannot write " + names[i] + ": the SVG writer did not start";
            return false;
        }
        painter.fillRect(QRectF(0, 0, sheet.size.width, sheet.size.height), Qt::white);
        paintSheetPage(painter, sheet.pages[i], document.face);
        painter.end();
        if (device.failed() || !file->close(why)) {
            problem =
                "cannot write " + names[i] + ": " + (device.failed() ? device.problem() : why);
            return false;
        }
        if (!goOn(progress, i + 1, sheet.pages.size(), problem))
            return false;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string why;
        if (!files[i]->moveIntoPlace(why)) {
            for (std::size_t k = 0; k < i; ++k)
                std::remove(names[k].c_str());
            problem = "cannot write " + names[i] + ": " + why;
            return false;
        }
    }
    return true;
}

} // namespace quorlin::ui
