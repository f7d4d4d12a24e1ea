#include "instrument/NeckLabels.h"

namespace quorlin::instrument {

NeckLabels LabelNeck(StringCount strings, const Tuning& tuning)
{
    NeckLabels labels;
    for (int r = 1; r <= strings.value(); ++r)
        labels.strings.push_back(tuning.at(r));
    for (int c = 1; c <= kFrets; ++c)
        labels.frets[static_cast<std::size_t>(c - 1)] = std::to_string(c);
    return labels;
}

} // namespace quorlin::instrument
