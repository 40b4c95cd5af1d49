#pragma once

#include <QString>

#include <optional>

namespace vex::publish {

// Why a text cannot be published as a version, or empty when it can. The page's first field
// must read back as the very same text through the updater's own reader, the executable's
// signature must name it as one word ("version:VERSION"), and it names a folder under
// releases/: so it is printable ASCII without a comma, a double quote, a blank or a slash.
QString WhyNotPublishable(const QString& version);

// Why `next` may not follow the site's current version, or empty when it orders after it.
// current is nullopt for a site without a page.
QString WhyNotNewer(const QString& next, const std::optional<QString>& current);

// A version quoted for a message, its control characters written as escapes.
QString Quoted(const QString& version);

// The update page announcing a version: the version alone on its line.
QByteArray PageFor(const QString& version);

} // namespace vex::publish
