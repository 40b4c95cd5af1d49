#include "updater/modUpdate.h"

#include "updater/FormWindow.h"

#include "platform/runtime/program.h"

#include "platform/runtime/ReplacingFile.h"

#include <QDir>
#include <QFileInfo>

namespace vex::updater {

namespace {

bool EndsWithSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator());
}

// The description of a target that cannot be written, in the words the user reads.
QString CannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QString FileNameOf(const QString& sURL) {
    const qsizetype slash = sURL.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : sURL.mid(slash + 1);
}

QString TargetPathOf(const QString& sURL, const QString& sFolder) {
    const QString separator = EndsWithSeparator(sFolder) ? QString() : QStringLiteral("/");
    return sFolder + separator + FileNameOf(sURL);
}

void RemoveLeftoverDownloads(const QString& sURL, const QString& sFolder) {
    if (FileNameOf(sURL).isEmpty()) return;
    vex::runtime::ReplacingFile::RemoveLeftovers(TargetPathOf(sURL, sFolder));
}

bool DownloadFile(vex::inet::Inet& oInet, const QString& sURL, const QString& sFolder,
                  FormWindow& form, const DownloadOptions& options) {
    if (oInet.StillExecuting()) return false;

    const QString sPath = TargetPathOf(sURL, sFolder);
    QString failure;
    if (FileNameOf(sURL).isEmpty()) {
        failure = CannotWrite(sPath, QStringLiteral("the address names no file"));
    } else if (const QFileInfo info(sPath); info.isDir() && !info.isSymLink()) {
        failure = CannotWrite(sPath, QStringLiteral("a folder of that name is in the way"));
    }

    // The body goes to a temporary file beside the target, which takes the target's place only
    // when every byte has arrived and been written. An older, longer file of the same name is
    // thus replaced whole, and a failure leaves the old file (or none) untouched. A symbolic
    // link at the target is replaced, never written through, and the new file's mode is that
    // of any new file, never inherited from what was there.
    vex::runtime::ReplacingFile file(sPath, options.bExecutable ? 0755 : 0666);
    if (failure.isEmpty() && !file.open(QIODevice::WriteOnly)) failure = file.errorString();
    if (failure.isEmpty()) {
        try {
            QIODevice& sink = options.check ? options.check->Sink(file) : file;
            oInet.OpenURL(sURL, vex::inet::icByteArray, sink, options.lMaxBytes, options.end);
            if (options.check) failure = options.check->Refusal(file.handle());
            // The sync waits for the disk with the loop turning; the status stays the
            // transfer's until the file is in place.
            const vex::inet::Inet::Busy busy(oInet);
            if (!failure.isEmpty()) {
                file.cancelWriting();
            } else if (!file.commit(vex::runtime::ReplacingFile::Sync::WhileLoopTurns)) {
                failure = file.errorString();
            }
        } catch (const vex::inet::InetError& error) {
            file.cancelWriting();
            if (error.Abandoned()) return false;
            failure = error.Description();
        }
    }
    if (!failure.isEmpty()) {
        form.MsgBox(failure, vbOKOnly, vex::runtime::kAppTitle);
        return false;
    }
    return true;
}

} // namespace vex::updater
