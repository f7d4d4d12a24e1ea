#include "instrument/Settings.h"

#include "instrument/NoteCycle.h"

#include <algorithm>
#include <array>

namespace quorlin::instrument {

namespace {

constexpr std::size_t kStringsCapacity = 255;

void readTuning(SettingsStore& store, KeptSetup& setup)
{
    std::array<std::uint8_t, kStringsCapacity> buffer{};
    std::size_t size = 0;
    if (!store.readValue(kStringsValue, buffer.data(), buffer.size(), size))
        return;
    const auto end = std::find(buffer.begin(), buffer.begin() + std::min(size, buffer.size()), 0);
    const std::string text(buffer.begin(), end);

    // A hand-written value may lose the blank of its last natural ("C G D A E B"): a last
    // name of one character is taken with its blank. Names past the sixth are dropped.
    const int names = std::min(static_cast<int>((text.size() + 1) / 2), kMaxStrings);
    for (int n = 1; n <= names; ++n) {
        std::string name = text.substr(static_cast<std::size_t>(2 * (n - 1)), 2);
        name.resize(2, ' ');
        if (isNoteName(name))
            setup.tuning.set(n, name);
    }
    setup.strings = StringCount(names);
}

} // namespace

KeptSetup loadSetup(SettingsStore& store)
{
    KeptSetup setup;
    if (!store.openKey(kSettingsKey))
        return setup;
    std::uint8_t keep = 0;
    std::size_t size = 0;
    if (store.readValue(kKeepValue, &keep, 1, size) && size == 1 && keep != 0) {
        setup.keepTuning = true;
        readTuning(store, setup);
    }
    store.closeKey();
    return setup;
}

void saveSetup(SettingsStore& store, const KeptSetup& setup)
{
    if (!store.createKey(kSettingsKey, kKeyClass))
        return;
    if (setup.keepTuning) {
        std::vector<std::uint8_t> text;
        for (int s = 1; s <= setup.strings.value(); ++s) {
            const std::string& name = setup.tuning.at(s);
            text.insert(text.end(), name.begin(), name.end());
        }
        text.push_back(0);
        store.writeValue(kStringsValue, ValueType::String, text);
    }
    store.writeValue(kKeepValue, ValueType::Binary,
                     {setup.keepTuning ? std::uint8_t{1} : std::uint8_t{0}});
    store.closeKey();
}

} // namespace quorlin::instrument
