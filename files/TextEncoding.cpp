#include "files/TextEncoding.h"

#include <algorithm>
#include <array>

namespace quorlin::files {

namespace {

constexpr char32_t kUnreadable = 0xFFFD;

// What Windows-1252 puts at 0x80..0x9F. Its five holes read as U+FFFD, so the user sees
// that a byte made no sense rather than an invisible control character.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC,      kUnreadable, 0x201A, 0x0192, 0x201E, 0x2026,      0x2020, 0x2021,
    0x02C6,      0x2030,      0x0160, 0x2039, 0x0152, kUnreadable, 0x017D, kUnreadable,
    kUnreadable, 0x2018,      0x2019, 0x201C, 0x201D, 0x2022,      0x2013, 0x2014,
    0x02DC,      0x2122,      0x0161, 0x203A, 0x0153, kUnreadable, 0x017E, 0x0178};

unsigned char byteAt(std::string_view bytes, std::size_t i)
{
    return static_cast<unsigned char>(bytes[i]);
}

// Length of the well-formed UTF-8 sequence that starts the text, or 0. Overlong forms,
// surrogates and code points past U+10FFFF are not well formed.
std::size_t sequenceLength(std::string_view bytes)
{
    const unsigned char lead = byteAt(bytes, 0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = byteAt(bytes, i);
        if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

enum class ByteOrder { Little, Big };

// Without a mark, text in the Latin script has a NUL as the high byte of nearly every
// character, and no NUL as the low one. One byte in a hundred may break the pattern.
std::optional<ByteOrder> guessByteOrder(std::string_view bytes)
{
    constexpr std::size_t kLooked = 1 << 16;
    const std::size_t pairs = std::min(bytes.size(), kLooked) / 2;
    if (pairs == 0)
        return std::nullopt;
    std::size_t evenNuls = 0, oddNuls = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        evenNuls += bytes[2 * i] == '\0' ? 1 : 0;
        oddNuls += bytes[2 * i + 1] == '\0' ? 1 : 0;
    }
    const auto most = [&](std::size_t nuls) { return nuls * 100 >= pairs * 99; };
    if (most(oddNuls) && evenNuls == 0)
        return ByteOrder::Little;
    if (most(evenNuls) && oddNuls == 0)
        return ByteOrder::Big;
    return std::nullopt;
}

// Where the next line breaker starts, from `from` on; npos when there is none. All four
// lead with 0xE2 or 0xEF, so any other byte costs one comparison.
std::size_t findLineBreaker(std::string_view text, std::size_t from)
{
    for (std::size_t i = from; i + 2 < text.size(); ++i) {
        const unsigned char lead = byteAt(text, i);
        if (lead != 0xE2 && lead != 0xEF)
            continue;
        for (const std::string_view breaker : kLineBreakers) {
            if (text.compare(i, breaker.size(), breaker) == 0)
                return i;
        }
    }
    return std::string_view::npos;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t length = sequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::string toUtf8(std::string_view bytes)
{
    return isValidUtf8(bytes) ? std::string(bytes) : windows1252ToUtf8(bytes);
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = byteAt(bytes, i);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::optional<std::string> utf16ToUtf8(std::string_view bytes)
{
    std::optional<ByteOrder> order;
    if (bytes.starts_with("\xFF\xFE")) {
        order = ByteOrder::Little;
        bytes.remove_prefix(2);
    } else if (bytes.starts_with("\xFE\xFF")) {
        order = ByteOrder::Big;
        bytes.remove_prefix(2);
    } else {
        order = guessByteOrder(bytes);
    }
    if (!order)
        return std::nullopt;
    const bool little = *order == ByteOrder::Little;
    const auto unit = [&](std::size_t i) -> char32_t {
        const char32_t low = byteAt(bytes, little ? i : i + 1);
        const char32_t high = byteAt(bytes, little ? i + 1 : i);
        return high << 8 | low;
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t next = unit(i + 2);
            if (next >= 0xDC00 && next < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c == 0 || (c >= 0xD800 && c < 0xE000) ? kUnreadable : c);
    }
    if (i < bytes.size())
        appendUtf8(out, kUnreadable);
    return out;
}

bool hasLineBreaker(std::string_view utf8)
{
    return findLineBreaker(utf8, 0) != std::string_view::npos;
}

std::size_t replaceLineBreakers(std::string& utf8)
{
    std::size_t count = 0;
    for (std::size_t i = 0; (i = findLineBreaker(utf8, i)) != std::string::npos; ++count) {
        utf8.replace(i, kReplacementCharacter.size(), kReplacementCharacter);
        i += kReplacementCharacter.size();
    }
    return count;
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    text = text.substr(0, text.find(kEndOfFile));
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

} // namespace quorlin::files
