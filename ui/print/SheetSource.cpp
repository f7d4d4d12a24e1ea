#include "ui/print/SheetSource.h"

#include "document/Document.h"
#include "instrument/Preferences.h"

namespace quorlin::ui {

namespace {

// "A4" or "Letter"; anything else is the locale's paper.
constexpr instrument::Preference kPaperPreference{"SheetPaper", ""};

sheet::Paper paperFrom(const std::string& name)
{
    if (name == "A4")
        return sheet::Paper::A4;
    if (name == "Letter")
        return sheet::Paper::Letter;
    return localPaper();
}

} // namespace

SheetSource::SheetSource(document::Document& document, instrument::SettingsStore& store) :
    m_document(document), m_store(store)
{
    m_setup.paper = paperFrom(instrument::loadPreference(store, kPaperPreference));
    // A title given for one tab is not another's: a new or opened tab takes its own again.
    connect(&document, &document::Document::saved, this, [this] {
        if (!m_setup.title.empty() && m_document.path() != m_titlePath) {
            m_setup.title.clear();
            emit setupChanged();
        }
    });
    connect(&document, &document::Document::changed, this, [this] {
        if (!m_setup.title.empty() && m_document.isEmpty() && m_document.path().isEmpty()) {
            m_setup.title.clear();
            emit setupChanged();
        }
    });
}

void SheetSource::setSetup(const PageSetup& setup)
{
    if (setup == m_setup)
        return;
    if (setup.paper != m_setup.paper)
        instrument::savePreference(m_store, kPaperPreference,
                                   setup.paper == sheet::Paper::Letter ? "Letter" : "A4");
    m_setup = setup;
    m_titlePath = m_document.path();
    emit setupChanged();
}

const score::Score& SheetSource::score() const
{
    return m_document.score();
}

sheet::SheetInput SheetSource::input(const score::Score& score) const
{
    return sheetInput(m_document.header(), m_document.state().tuning, m_document.state().time,
                      score.tempo, m_setup.paper, m_setup.title);
}

SheetDocument SheetSource::fileDocument(const sheet::SheetInput& input) const
{
    SheetDocument document;
    document.title = input.title;
    document.author = input.artist;
    return document;
}

} // namespace quorlin::ui
