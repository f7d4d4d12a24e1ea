#include "sheet/TextMeasure.h"

namespace quorlin::sheet {

float EstimatedTextMeasure::width(std::string_view text, FontRole, float size) const
{
    float ems = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Continuation bytes belong to the character before.
        if ((byte & 0xC0) == 0x80)
            continue;
        switch (c) {
        case ' ':
        case 'i':
        case 'l':
        case 'j':
        case 'I':
        case '.':
        case ',':
        case '(':
        case ')':
        case '/':
        case '\'':
        case '|':
            ems += 0.35f;
            break;
        case 'M':
        case 'W':
        case 'm':
        case 'w':
            ems += 0.9f;
            break;
        default:
            ems += 0.6f;
        }
    }
    return ems * size;
}

} // namespace quorlin::sheet
