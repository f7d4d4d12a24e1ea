// The settings store as a corrupt or hand-edited file leaves it: whatever it holds, the
// set-up read from it is usable, and keeping it writes what reads back the same.

#include "fuzz/FuzzInput.h"
#include "instrument/NoteCycle.h"
#include "instrument/Settings.h"
#include "tests/instrument/MemoryStore.h"

using namespace quorlin;
using instrument::KeptSetup;

namespace {

void requireUsable(const KeptSetup& setup)
{
    const int strings = setup.strings.value();
    QUORLIN_REQUIRE(strings >= instrument::kMinStrings && strings <= instrument::kMaxStrings);
    const instrument::Tuning defaults;
    for (int s = 1; s <= instrument::kMaxStrings; ++s) {
        const std::string& name = setup.tuning.at(s);
        QUORLIN_REQUIRE(name.size() == 2);
        QUORLIN_REQUIRE(instrument::isNoteName(name) || name == defaults.at(s));
    }
}

bool sameUsedStrings(const KeptSetup& a, const KeptSetup& b)
{
    if (a.keepTuning != b.keepTuning || a.strings != b.strings)
        return false;
    for (int s = 1; s <= a.strings.value(); ++s) {
        if (a.tuning.at(s) != b.tuning.at(s))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    instrument::testing::MemoryStore store;
    // Bits of the first byte: key exists, wish stored, names stored, their two types, the
    // store can be written.
    const std::uint8_t shape = input.byte();
    store.exists = (shape & 1) != 0;
    store.writable = (shape & 32) == 0;
    const auto type = [](bool binary) {
        return binary ? instrument::ValueType::Binary : instrument::ValueType::String;
    };
    const std::string keep = input.text(3);
    if ((shape & 2) != 0)
        store.put(instrument::kKeepValue, keep, type((shape & 8) == 0));
    if ((shape & 4) != 0)
        store.put(instrument::kStringsValue, input.rest(), type((shape & 16) != 0));

    const KeptSetup first = loadSetup(store);
    requireUsable(first);
    QUORLIN_REQUIRE(!store.open && !store.misused);
    QUORLIN_REQUIRE(first.keepTuning ==
                    (store.exists && (shape & 2) != 0 && keep.size() == 1 && keep[0] != 0));
    if (!first.keepTuning)
        QUORLIN_REQUIRE(sameUsedStrings(first, KeptSetup()));

    // Leaving with Exit writes what was read; the next start must read the same again.
    saveSetup(store, first);
    QUORLIN_REQUIRE(!store.open && !store.misused);
    const KeptSetup second = loadSetup(store);
    requireUsable(second);
    QUORLIN_REQUIRE(sameUsedStrings(first, second));
    return 0;
}
