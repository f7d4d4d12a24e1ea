#pragma once

// The tab as the sheet shows it: its score and the page's texts from the document, with the
// page setup's choices (the paper, remembered between runs; a title other than the first
// comment line, kept for the tab it was given for).

#include "sheet/SheetLayout.h"
#include "ui/sheet/SheetFiles.h"

#include <QObject>
#include <QString>

namespace quorlin::document {
class Document;
}
namespace quorlin::instrument {
class SettingsStore;
}

namespace quorlin::ui {

struct PageSetup {
    // Empty: the first comment line.
    std::string title;
    sheet::Paper paper = sheet::Paper::A4;

    bool operator==(const PageSetup&) const = default;
};

class SheetSource : public QObject {
    Q_OBJECT

public:
    SheetSource(document::Document& document, instrument::SettingsStore& store);

    const document::Document& document() const { return m_document; }
    const PageSetup& setup() const { return m_setup; }
    void setSetup(const PageSetup& setup);

    const score::Score& score() const;
    sheet::SheetInput input(const score::Score& score) const;
    // The PDF's and SVG's title and author.
    SheetDocument fileDocument(const sheet::SheetInput& input) const;

signals:
    // The paper or the title changed: the pages are laid out again.
    void setupChanged();

private:
    document::Document& m_document;
    instrument::SettingsStore& m_store;
    PageSetup m_setup;
    // The tab the title was given for.
    QString m_titlePath;
};

} // namespace quorlin::ui
