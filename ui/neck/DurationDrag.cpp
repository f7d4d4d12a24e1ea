#include "ui/neck/DurationDrag.h"

#include "engine/Staff.h"

#include <QDropEvent>
#include <QMimeData>

namespace quorlin::ui {

QMimeData* durationMimeData(char symbol)
{
    auto* data = new QMimeData;
    data->setData(kDurationMimeType, QByteArray(1, symbol));
    return data;
}

std::optional<char> durationOf(const QMimeData* data)
{
    if (data == nullptr || !data->hasFormat(kDurationMimeType))
        return std::nullopt;
    const QByteArray bytes = data->data(kDurationMimeType);
    if (bytes.size() != 1 || !tabtext::isDurationSymbol(bytes[0]))
        return std::nullopt;
    return bytes[0];
}

std::optional<char> takeDuration(QDropEvent* event)
{
    const std::optional<char> symbol = durationOf(event->mimeData());
    if (symbol)
        event->acceptProposedAction();
    else
        event->ignore();
    return symbol;
}

} // namespace quorlin::ui
