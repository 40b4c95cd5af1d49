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

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

constexpr QByteArrayView kUtf8ByteOrderMark("\xEF\xBB\xBF");

} // namespace

std::optional<QString> FirstField(const QByteArray& bytes) {
    // A byte-order mark that an editor put in front is not text of the file.
    const QByteArrayView text = QByteArrayView(bytes).startsWith(kUtf8ByteOrderMark)
                                    ? QByteArrayView(bytes).sliced(kUtf8ByteOrderMark.size())
                                    : QByteArrayView(bytes);
    if (text.isEmpty()) return std::nullopt;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i < n && text[i] == '"') {
        const qsizetype start = i + 1;
        qsizetype end = text.indexOf('"', start);
        // A quote that is never closed ends at its line's end, so that a stray quote cannot
        // pull the rest of the page into the value.
        if (end < 0) {
            end = start;
            while (end < n && !IsLineEnd(text[end]))
                ++end;
        }
        return QString::fromLatin1(text.sliced(start, end - start));
    }
    const qsizetype start = i;
    while (i < n && text[i] != ',' && !IsLineEnd(text[i]))
        ++i;
    qsizetype end = i;
    while (end > start && IsBlank(text[end - 1]))
        --end;
    return QString::fromLatin1(text.sliced(start, end - start));
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
