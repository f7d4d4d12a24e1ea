#include "ui/entry/ColumnClipboard.h"

#include "engine/VectorTabText.h"

#include <QMimeData>
#include <QStringList>

#include <stdexcept>

namespace quorlin::ui {

namespace {

const QString kColumnsType = QStringLiteral("application/x-quorlin-columns");

// No block is broken at this width but by a "New line": the columns read back as copied.
constexpr int kCopyWidth = engine::kMaxTabWidth;

std::optional<std::vector<engine::Column>> readTab(const QStringList& lines,
                                                   engine::EditingState state, int width)
{
    engine::VectorTabText text;
    for (QString line : lines) {
        // Another system's line ends.
        if (line.endsWith(u'\r'))
            line.chop(1);
        text.append(line.toStdString());
    }
    state.tabWidth = width;
    try {
        std::vector<engine::Column> run = engine::readColumns(text, state);
        if (run.empty())
            return std::nullopt;
        run.front().newLineBefore = false;
        return run;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QStringList linesOf(const std::vector<std::string>& tab)
{
    QStringList lines;
    for (const std::string& line : tab)
        lines << QString::fromStdString(line);
    return lines;
}

} // namespace

QMimeData* columnsMimeData(const std::vector<engine::Column>& run,
                           const engine::EditingState& state)
{
    auto* data = new QMimeData;
    data->setText(linesOf(engine::tabOf(run, state)).join(u'\n') + u'\n');
    engine::EditingState wide = state;
    wide.tabWidth = kCopyWidth;
    data->setData(kColumnsType, linesOf(engine::tabOf(run, wide)).join(u'\n').toUtf8());
    return data;
}

std::optional<std::vector<engine::Column>> columnsFrom(const QMimeData& data,
                                                       const engine::EditingState& state)
{
    if (data.hasFormat(kColumnsType))
        return readTab(QString::fromUtf8(data.data(kColumnsType)).split(u'\n'), state, kCopyWidth);
    if (!data.hasText())
        return std::nullopt;
    // Tab text copied from the text area: whole blocks at this tab's width.
    QStringList lines = data.text().split(u'\n');
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
    return readTab(lines, state, state.tabWidth);
}

} // namespace quorlin::ui
