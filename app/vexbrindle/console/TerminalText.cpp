#include "app/vexbrindle/console/TerminalText.h"

namespace {

bool IsHarmful(char32_t codePoint) {
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate: // a lone half of a pair
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString Escaped(char32_t codePoint) {
    const bool byte = codePoint <= 0xFF;
    return (byte ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
           QString::number(codePoint, 16).toUpper().rightJustified(byte ? 2 : 4, QLatin1Char('0'));
}

} // namespace

QString ForTerminal(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        if (IsHarmful(codePoint)) {
            safe += Escaped(codePoint);
        } else {
            safe += QStringView(text).sliced(i, units);
        }
        i += units - 1;
    }
    return safe;
}
