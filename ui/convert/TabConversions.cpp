#include "ui/convert/TabConversions.h"

#include "files/WebTabImport.h"
#include "platform/FileAccess.h"
#include "score/Retune.h"
#include "ui/common/Prompter.h"
#include "ui/common/TabFileDialog.h"
#include "ui/convert/RetuneDialog.h"

#include <QDir>
#include <QFileDialog>

namespace quorlin::ui {

namespace {

const QString kImportCaption = QStringLiteral("Import ASCII tab");
const QString kRetuneCaption = QStringLiteral("Change tuning or strings");

// A box lists this many; the rest are counted, so a wrecked file cannot make it endless.
constexpr qsizetype kListed = 12;

// One line for each item, as `describe` words it.
template <typename Items, typename Describe> QString listed(const Items& items, Describe describe)
{
    QStringList shown;
    for (const auto& item : items) {
        if (shown.size() == kListed)
            break;
        shown << describe(item);
    }
    const auto count = static_cast<qsizetype>(std::size(items));
    if (count > kListed)
        shown << QStringLiteral("and %1 more").arg(count - kListed);
    return shown.join(QLatin1Char('\r'));
}

// "Block 2, column 3: B0", "Line 7, column 12: bend: played plain".
QString place(const char* where, int first, int second, const QString& what)
{
    return QStringLiteral("%1 %2, column %3: %4")
        .arg(QLatin1String(where))
        .arg(first)
        .arg(second)
        .arg(what);
}

QString problemList(const std::vector<files::WebTabProblem>& problems)
{
    return listed(problems, [](const files::WebTabProblem& problem) {
        return place("Line", problem.line, problem.column, QString::fromStdString(problem.what));
    });
}

QString pitchText(int pitch)
{
    return QString::fromStdString(score::pitchName(pitch));
}

} // namespace

TabConversions::TabConversions(QWidget& window, Prompter& prompter) :
    m_window(window), m_prompter(prompter)
{
}

std::optional<NewTab> TabConversions::importFile(const engine::EditingState& now, bool tabEmpty)
{
    if (m_dialog == nullptr) {
        // Load's own dialog, opening on the text files web tabs are kept in.
        m_dialog = new TabFileDialog(&m_window, QStringLiteral("ImportFile"), kImportCaption,
                                     QFileDialog::AcceptOpen);
        m_dialog->selectNameFilter(QStringLiteral("Text files (*.txt)"));
        m_dialog->selectFile(QString());
    }
    if (m_dialog->exec() != QDialog::Accepted || m_dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return importPath(m_dialog->selectedFiles().constFirst(), now, tabEmpty);
}

std::optional<NewTab> TabConversions::importPath(const QString& path,
                                                 const engine::EditingState& now, bool tabEmpty)
{
    const platform::FileRead file =
        platform::readRegularFile(path, static_cast<qint64>(files::kLargestWebTab));
    if (file.tooLarge) {
        tooLong();
        return std::nullopt;
    }
    if (!file.ok) {
        m_prompter.error(QStringLiteral("The tab could not be read from %1:\r%2.")
                             .arg(QDir::toNativeSeparators(path), file.problem),
                         kImportCaption);
        return std::nullopt;
    }
    return importText(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())), now,
        tabEmpty, "Import ASCII tab");
}

void TabConversions::tooLong()
{
    m_prompter.error(QStringLiteral("This text is too long to be a tab from the web: Quorlin "
                                    "imports up to %1 MB.")
                         .arg(files::kLargestWebTab / (1024 * 1024)),
                     kImportCaption);
}

std::optional<NewTab> TabConversions::importText(std::string_view text,
                                                 const engine::EditingState& now, bool tabEmpty,
                                                 const char* label)
{
    if (text.size() > files::kLargestWebTab) {
        tooLong();
        return std::nullopt;
    }
    // Asked before the spacing, so that a user who keeps the tab is asked nothing more.
    if (!tabEmpty &&
        !m_prompter.askYesNo(QStringLiteral("The imported tab takes the place of the present "
                                            "one; Undo brings it back.\rImport it?"),
                             kImportCaption))
        return std::nullopt;
    // A web tab has no rhythm: its closest notes are given a value and wider gaps are longer.
    // A tab with rhythm lines keeps its own durations.
    const int smallest =
        files::hasRhythmLines(text)
            ? 0
            : m_prompter.choose(
                  QStringLiteral("The tab has no rhythm line: Quorlin takes the durations from the "
                                 "spacing.\rWhat is the closest spacing between two notes worth?"),
                  kImportCaption,
                  {QStringLiteral("Sixteenth"), QStringLiteral("Eighth"),
                   QStringLiteral("Cancel")});
    if (smallest != 0 && smallest != 1)
        return std::nullopt;

    files::WebTabOptions options;
    options.smallest = smallest == 0 ? 's' : 'e';
    options.tabWidth = now.tabWidth;
    const files::ImportedTab imported = files::importWebTab(text, options);
    if (imported.notes == 0 || imported.lines.empty()) {
        if (imported.stringLines == 0) {
            m_prompter.inform(QStringLiteral("No tab lines were found: a string line looks like "
                                             "\"G|--5--7--|\"."),
                              kImportCaption);
        } else {
            const QString read =
                imported.stringLines == 1
                    ? QStringLiteral("1 string line was")
                    : QStringLiteral("%1 string lines were").arg(imported.stringLines);
            m_prompter.inform(read + QStringLiteral(" read, but no note came in:\r") +
                                  problemList(imported.problems),
                              kImportCaption);
        }
        return std::nullopt;
    }
    if (!imported.problems.empty()) {
        m_prompter.inform(QStringLiteral("The tab was imported, but not all of it:\r") +
                              problemList(imported.problems),
                          kImportCaption);
    }
    NewTab tab;
    tab.lines = imported.lines;
    tab.setup = {now.tabWidth, now.tempo, imported.strings, imported.tuning,
                 imported.time.value_or(now.time)};
    tab.label = label;
    tab.report = QString::fromStdString(files::importSummary(imported));
    tab.newDocument = true;
    return tab;
}

std::optional<NewTab> TabConversions::changeTuning(std::span<const std::string_view> lines,
                                                   const engine::EditingState& now)
{
    const score::Setup from{now.stringCount, now.tuning};
    RetuneDialog dialog(&m_window, from);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const score::Setup to = dialog.chosen();
    if (to.strings == from.strings && to.tuning == from.tuning)
        return std::nullopt;

    score::Retuned retuned = score::retune(lines, from, to);
    if (!retuned.unplaced.empty()) {
        const QString notes = listed(retuned.unplaced, [](const score::Unplaced& note) {
            return place("Block", note.block, note.column, pitchText(note.pitch));
        });
        const int answer = m_prompter.choose(
            QStringLiteral("These notes fit on no string of the new set-up and would be left "
                           "out:\r") +
                notes + QStringLiteral("\rChange the tuning anyway?"),
            kRetuneCaption, {QStringLiteral("Leave them out"), QStringLiteral("Cancel")});
        if (answer != 0)
            return std::nullopt;
    }
    // With the same strings, columns the reader could not read keep their cells.
    const bool emptied = !retuned.unread.empty() && to.strings != from.strings;
    if (!retuned.lostTies.empty() || emptied) {
        QString text = QStringLiteral("The tab was retuned, but:\r") +
                       listed(retuned.lostTies, [](const score::LostTie& tie) {
                           return place("Block", tie.block, tie.column,
                                        pitchText(tie.pitch) +
                                            QStringLiteral(" moved to another string, played "
                                                           "plain"));
                       });
        if (emptied) {
            text += QStringLiteral("\r%1 columns could not be read and were left empty")
                        .arg(retuned.unread.size());
        }
        m_prompter.inform(text, kRetuneCaption);
    }

    NewTab tab;
    tab.lines = std::move(retuned.lines);
    tab.setup = {now.tabWidth, now.tempo, to.strings, to.tuning, now.time};
    tab.label = "Change tuning";
    tab.report = retuned.unplaced.empty()
                     ? QStringLiteral("Retuned: every note kept its pitch.")
                     : QStringLiteral("Retuned: %1 notes left out.").arg(retuned.unplaced.size());
    return tab;
}

} // namespace quorlin::ui
