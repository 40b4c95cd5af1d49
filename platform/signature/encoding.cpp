#include "platform/signature/encoding.h"

#include <sodium.h>

namespace vex::signature::detail {

QList<QByteArrayView> SplitLines(QByteArrayView text) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0) end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r')) line.chop(1);
        lines.append(line);
        start = next;
    }
    return lines;
}

std::optional<QByteArray> DecodeBase64(QByteArrayView text, std::size_t size) {
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    std::size_t decoded = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), size, text.data(),
                          static_cast<std::size_t>(text.size()), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        decoded != size || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return bytes;
}

QString AlgorithmText(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (c < 0x21 || c > 0x7e)
            return QStringLiteral("0x") + QString::fromLatin1(bytes.toByteArray().toHex());
    }
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(bytes));
}

} // namespace vex::signature::detail
