#include "platform/runtime/TemporaryName.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace vex::runtime {

namespace {

constexpr int kRandomDigits = 8;

} // namespace

QByteArray TemporaryNameBeside(const QString& path) {
    const QFileInfo info(path);
    const QString name =
        QStringLiteral("%1/.%2.%3.part")
            .arg(info.path(), info.fileName())
            .arg(QRandomGenerator::global()->generate(), kRandomDigits, 16, QLatin1Char('0'));
    return QFile::encodeName(name);
}

bool IsTemporaryNameOf(const QByteArray& entry, const QByteArray& name) {
    const QByteArray prefix = '.' + name + '.';
    const QByteArray suffix = ".part";
    if (entry.size() != prefix.size() + kRandomDigits + suffix.size() ||
        !entry.startsWith(prefix) || !entry.endsWith(suffix)) {
        return false;
    }
    const QByteArray digits = entry.mid(prefix.size(), kRandomDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace vex::runtime
