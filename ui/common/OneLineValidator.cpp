#include "ui/common/OneLineValidator.h"

namespace quorlin::ui {

namespace {

bool breaksLine(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x85:   // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

} // namespace

QValidator::State OneLineValidator::validate(QString& input, int& pos) const
{
    QString line;
    line.reserve(input.size());
    int caret = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c == u'\r' && i + 1 < input.size() && input.at(i + 1) == u'\n') {
            if (i < pos)
                --caret;
            continue; // its LF becomes the blank
        }
        line += breaksLine(c) ? QChar(u' ') : c;
    }
    input = line;
    pos = caret;
    return Acceptable;
}

} // namespace quorlin::ui
