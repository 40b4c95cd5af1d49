#include "updater/Version.h"

#include "platform/runtime/RegularFile.h"

#include <algorithm>

namespace vex::updater {

std::strong_ordering operator<=>(const VersionText& a, const VersionText& b) {
    const QStringView x(a.text_);
    const QStringView y(b.text_);
    // By code value, letter case counting, no locale.
    return std::lexicographical_compare_three_way(x.utf16(), x.utf16() + x.size(), y.utf16(),
                                                  y.utf16() + y.size());
}

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool IsLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

constexpr QByteArrayView kUtf8ByteOrderMark("\xEF\xBB\xBF");
constexpr QByteArrayView kUtf16LeByteOrderMark("\xFF\xFE");
constexpr QByteArrayView kUtf16BeByteOrderMark("\xFE\xFF");

// Code units as they stand, unpaired surrogates included: versions compare by code units, so
// nothing is replaced. An odd last byte is half a code unit and no text.
QString Utf16Text(QByteArrayView bytes, bool bigEndian) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = QChar(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    return text;
}

// The text a page holds. Editors on other systems save UTF-16 with a byte-order mark; read byte
// by byte, such a page would start with "\xFF\xFE" and order after every version, so the
// executable would be fetched on every run. Any other page is one character per byte.
QString PageText(QByteArrayView bytes) {
    if (bytes.startsWith(kUtf16LeByteOrderMark))
        return Utf16Text(bytes.sliced(kUtf16LeByteOrderMark.size()), false);
    if (bytes.startsWith(kUtf16BeByteOrderMark))
        return Utf16Text(bytes.sliced(kUtf16BeByteOrderMark.size()), true);
    // A byte-order mark that an editor put in front is not text of the file.
    if (bytes.startsWith(kUtf8ByteOrderMark)) bytes = bytes.sliced(kUtf8ByteOrderMark.size());
    return QString::fromLatin1(bytes);
}

} // namespace

std::optional<QString> FirstField(const QByteArray& bytes) {
    const QString page = PageText(bytes);
    if (page.isEmpty()) return std::nullopt;
    const QStringView text(page);
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i < n && text[i] == u'"') {
        const qsizetype start = i + 1;
        qsizetype end = text.indexOf(u'"', start);
        // A quote that is never closed ends at its line's end, so that a stray quote cannot
        // pull the rest of the page into the value.
        if (end < 0) {
            end = start;
            while (end < n && !IsLineEnd(text[end]))
                ++end;
        }
        return text.sliced(start, end - start).toString();
    }
    const qsizetype start = i;
    while (i < n && text[i] != u',' && !IsLineEnd(text[i]))
        ++i;
    qsizetype end = i;
    while (end > start && IsBlank(text[end - 1]))
        --end;
    return text.sliced(start, end - start).toString();
}

std::optional<QString> ReadFirstField(const QString& path) {
    // Only the first field matters; a bounded read keeps a stray huge file from filling memory.
    // Only a regular file is read: a FIFO planted there would hold the program before its first
    // request.
    const std::optional<QByteArray> head = vex::runtime::ReadRegularFile(path, 1024 * 1024);
    if (!head) return std::nullopt;
    return FirstField(*head);
}

QString ReadLocalVersion(const QString& programFolder, const QString& fallback) {
    return ReadFirstField(programFolder + QStringLiteral("/Update/ver.dat")).value_or(fallback);
}

} // namespace vex::updater
