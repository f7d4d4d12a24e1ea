#include "ui/DurationDrag.h"

#include "engine/Staff.h"

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
    if (bytes.size() != 1 || !engine::isDurationSymbol(bytes[0]))
        return std::nullopt;
    return bytes[0];
}

} // namespace quorlin::ui
