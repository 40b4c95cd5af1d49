#include "app/vexbrindle-publish/VersionCheck.h"

#include "updater/Version.h"

namespace vex::publish {

using vex::updater::VersionText;

namespace {

bool IsPrintableAscii(QChar c) {
    return c.unicode() >= 0x20 && c.unicode() < 0x7F;
}

} // namespace

QString Quoted(const QString& version) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : version) {
        if (c == QLatin1Char('\n')) {
            quoted += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\r')) {
            quoted += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\t')) {
            quoted += QStringLiteral("\\t");
        } else if (IsPrintableAscii(c) || c.unicode() > 0x9F) {
            quoted += c;
        } else {
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        }
    }
    return quoted + QLatin1Char('"');
}

QByteArray PageFor(const QString& version) {
    return version.toLatin1() + "\r\n";
}

QString WhyNotPublishable(const QString& version) {
    const QString shown = Quoted(version);
    if (version.isEmpty()) return QStringLiteral("the version is empty");
    if (version.contains(QLatin1Char('\n')) || version.contains(QLatin1Char('\r'))) {
        return QStringLiteral("the version %1 holds a line break, which ends the page's first "
                              "field")
            .arg(shown);
    }
    if (version.contains(QLatin1Char(','))) {
        return QStringLiteral("the version %1 holds a comma, which ends the page's first field")
            .arg(shown);
    }
    if (version.contains(QLatin1Char('"'))) {
        return QStringLiteral("the version %1 holds a double quote, which the page's first "
                              "field cannot carry")
            .arg(shown);
    }
    if (version.contains(QLatin1Char(' ')) || version.contains(QLatin1Char('\t'))) {
        return QStringLiteral("the version %1 holds a blank: the executable's signature names "
                              "its version as one word")
            .arg(shown);
    }
    for (const QChar c : version) {
        if (!IsPrintableAscii(c)) {
            return QStringLiteral("the version %1 holds a character outside printable ASCII")
                .arg(shown);
        }
    }
    if (version.contains(QLatin1Char('/')) || version.contains(QLatin1Char('\\')) ||
        version == QStringLiteral(".") || version == QStringLiteral("..")) {
        return QStringLiteral("the version %1 cannot name a folder under releases/").arg(shown);
    }
    // The last word is the updater's own reader's.
    const std::optional<QString> readBack = vex::updater::FirstField(PageFor(version));
    if (readBack != version) {
        return QStringLiteral("the version %1 would read back from the page as %2")
            .arg(shown, readBack ? Quoted(*readBack) : QStringLiteral("nothing"));
    }
    return {};
}

QString WhyNotNewer(const QString& next, const std::optional<QString>& current) {
    if (!current) return {};
    if (VersionText(next) > VersionText(*current)) return {};
    if (next == *current) {
        return QStringLiteral("%1 is the version already published").arg(Quoted(next));
    }
    return QStringLiteral("%1 does not order after %2, the version already published: versions "
                          "compare character by character, so the updater would not see it as "
                          "newer")
        .arg(Quoted(next), Quoted(*current));
}

} // namespace vex::publish
