#include "instrument/Settings.h"
#include "tests/instrument/MemoryStore.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quorlin::instrument {
namespace {

using testing::MemoryStore;

std::string names(const KeptSetup& s)
{
    std::string out;
    for (int k = 1; k <= kMaxStrings; ++k)
        out += s.tuning.at(k);
    return out;
}

TEST(LoadSetup, TakesWhatTheStoreHoldsAndDefaultsForTheRest)
{
    using namespace std::string_literals;
    struct Case {
        const char* name;
        bool exists;
        const char* keep; // nullptr: value missing
        std::string strings;
        bool kept;
        int count;
        const char* tuning;
    };
    const Case cases[] = {
        {"first run", false, "\1", "", false, 4, "G D A E B C "},
        {"no wish stored", true, nullptr, "A D A E \0"s, false, 4, "G D A E B C "},
        {"wish not to keep", true, "\0", "A D A E \0"s, false, 4, "G D A E B C "},
        {"wish too long", true, "\1\1", "A D A E \0"s, false, 4, "G D A E B C "},
        {"five strings", true, "\1", "G D A E B \0"s, true, 5, "G D A E B C "},
        {"six strings", true, "\1", "C G D A E B \0"s, true, 6, "C G D A E B "},
        {"retuned", true, "\1", "A D A E \0"s, true, 4, "A D A E B C "},
        {"no names stored", true, "\1", "", true, 4, "G D A E B C "},
        {"names too long", true, "\1", std::string(300, 'A'), true, 4, "G D A E B C "},
        {"nine characters", true, "\1", "F#D A E B\0"s, true, 4, "F#D A E B C "},
        {"two names", true, "\1", "A#B \0"s, true, 4, "A#B A E B C "},
        {"eight names", true, "\1", "A A A A A A C#C#\0"s, true, 6, "A A A A A A "},
        {"names off the cycle", true, "\1", "H xyA E \0"s, true, 4, "G D A E B C "},
        {"nothing after the NUL", true, "\1", "E \0B B B B "s, true, 4, "E D A E B C "},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        store.exists = c.exists;
        if (c.keep != nullptr)
            store.put(kKeepValue,
                      std::string(c.keep, std::max<std::size_t>(1, std::strlen(c.keep))),
                      ValueType::Binary);
        if (!c.strings.empty())
            store.put(kStringsValue, c.strings);

        const KeptSetup setup = loadSetup(store);
        EXPECT_EQ(setup.keepTuning, c.kept) << c.name;
        EXPECT_EQ(setup.strings.value(), c.count) << c.name;
        EXPECT_EQ(names(setup), c.tuning) << c.name;
        EXPECT_FALSE(store.open) << c.name << ": the key is closed again";
        EXPECT_FALSE(store.misused) << c.name;
    }
}

TEST(SaveSetup, WritesTheWishAndTheNamesInUseWithTheirTypes)
{
    using namespace std::string_literals;
    KeptSetup five;
    five.keepTuning = true;
    five.strings = StringCount(5);
    five.tuning.set(1, "A ");
    MemoryStore store;
    store.exists = false;
    saveSetup(store, five);
    const std::string strings = "A D A E B "s + '\0';
    EXPECT_EQ(
        store.values[kStringsValue],
        std::pair(ValueType::String, std::vector<std::uint8_t>(strings.begin(), strings.end())));
    EXPECT_EQ(store.values[kKeepValue], std::pair(ValueType::Binary, std::vector<std::uint8_t>{1}));
    const KeptSetup back = loadSetup(store);
    EXPECT_TRUE(back.keepTuning);
    EXPECT_EQ(names(back), "A D A E B C ");

    KeptSetup dropped = five;
    dropped.keepTuning = false;
    dropped.tuning.set(1, "E ");
    saveSetup(store, dropped);
    EXPECT_EQ(store.values[kKeepValue].second, std::vector<std::uint8_t>{0});
    EXPECT_EQ(store.values[kStringsValue].second.front(), 'A') << "the old names stay";

    MemoryStore readOnly;
    readOnly.writable = false;
    saveSetup(readOnly, five);
    EXPECT_TRUE(readOnly.values.empty());
}

} // namespace
} // namespace quorlin::instrument
