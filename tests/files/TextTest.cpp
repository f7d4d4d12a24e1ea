// Bytes to text: UTF-8 as it is, anything else as Windows-1252.

#include "files/TextEncoding.h"

#include <gtest/gtest.h>

namespace quorlin::files {
namespace {

TEST(ToUtf8, KeepsUtf8AndReadsEverythingElseAsWindows1252)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8 \xF4\x8F\xBF\xBF",
         "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8 \xF4\x8F\xBF\xBF"},
        // Both ends of the table, each of its holes, and a byte past it.
        {"\x80\x9F\x81\x8D\x8F\x90\x9D\xFF",
         "\xE2\x82\xAC\xC5\xB8"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         "\xC3\xBF"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                     // overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                     // a surrogate
        {"\xC3", "\xC3\x83"},                                                 // cut short
        {"\xF4\x90\x80\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"}, // past U+10FFFF
    };
    for (const auto& [bytes, utf8] : cases)
        EXPECT_EQ(toUtf8(bytes), utf8) << bytes;
}

} // namespace
} // namespace quorlin::files
