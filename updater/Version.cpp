#include "updater/Version.h"

#include <QFile>

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

} // namespace

std::optional<QString> FirstField(const QByteArray& bytes) {
    if (bytes.isEmpty()) return std::nullopt;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n && IsBlank(bytes[i]))
        ++i;
    if (i < n && bytes[i] == '"') {
        const qsizetype start = i + 1;
        qsizetype end = bytes.indexOf('"', start);
        if (end < 0) end = n;
        return QString::fromLatin1(bytes.mid(start, end - start));
    }
    const qsizetype start = i;
    while (i < n && bytes[i] != ',' && !IsLineEnd(bytes[i]))
        ++i;
    qsizetype end = i;
    while (end > start && IsBlank(bytes[end - 1]))
        --end;
    return QString::fromLatin1(bytes.mid(start, end - start));
}

std::optional<QString> ReadFirstField(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Only the first field matters; a bounded read keeps a stray huge file from filling memory.
    const QByteArray head = file.read(1024 * 1024);
    return FirstField(head);
}

QString ReadLocalVersion(const QString& programFolder, const QString& fallback) {
    return ReadFirstField(programFolder + QStringLiteral("/Update/ver.dat")).value_or(fallback);
}

} // namespace vex::updater
