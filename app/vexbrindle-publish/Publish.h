#pragma once

#include "app/vexbrindle-publish/Options.h"
#include "app/vexbrindle-publish/Progress.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vex::publish {

// What a publication left in the site, for the summary.
struct Report {
    struct File {
        QString relative; // to the site folder
        qint64 size = 0;
        QString note; // e.g. "from 1.1.0"
    };
    QList<File> written;
    QStringList removed; // relative paths, folders with a trailing slash
    QString warning;     // something left over that does not affect the site
};

// Publishes the release the options describe into the site folder: stages every file, checks
// it (each patch and the compressed file decode to the executable, the signatures verify with
// the updater's own code), then puts it in place with the page last. A version that does not
// order after the current page's is refused unless options.force. The version itself must
// already be one that can be published (WhyNotPublishable). False with why when anything fails
// or is refused; the site is then as it was.
bool Publish(const Options& options, Progress& progress, Report& report, QString& why);

} // namespace vex::publish
