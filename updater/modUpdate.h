#pragma once

#include "platform/inet/Inet.h"

#include <QString>

class QIODevice;

namespace vex::updater {

class FormWindow;

// A check of a body on its way to disk that has the last word on whether it may take the
// target's place (the vendor's signature, for instance).
class BodyCheck {
  public:
    virtual ~BodyCheck() = default;
    // The device the body is written through: file itself, or one that passes every byte on.
    virtual QIODevice& Sink(QIODevice& file) = 0;
    // Called once the whole body has been written to the file open at descriptor writtenFd
    // (for writing only): why it must not be kept, or empty to keep it. It may be called from
    // another thread than the one that wrote the body.
    virtual QString Refusal(int writtenFd) = 0;
};

// What one fetch may do beyond the routine's fixed steps.
struct DownloadOptions {
    // Largest body accepted; a larger one is a failed transfer (vex::inet::kNoLimit: none).
    qint64 lMaxBytes = vex::inet::kNoLimit;
    // Create the file as a new program: mode 0755 less the umask instead of 0666 less it.
    bool bExecutable = false;
    // Sees the body as it streams in and may refuse it before it replaces the target.
    BodyCheck* check = nullptr;
    // What must tell the body's end from a cut: a file nothing else verifies needs its length.
    vex::inet::BodyEnd end = vex::inet::BodyEnd::Any;
};

// The file name DownloadFile gives a URL: the text after its last "/", empty when it has none.
QString FileNameOf(const QString& sURL);

// The path DownloadFile writes: sFolder, a separator, the name. A folder that already ends with
// a separator gets no second one.
QString TargetPathOf(const QString& sURL, const QString& sFolder);

// Removes the temporary files that DownloadFile left beside the target of sURL in sFolder when
// the program was killed during the fetch; a file that a running fetch is writing stays.
void RemoveLeftoverDownloads(const QString& sURL, const QString& sFolder);

// Fetches sURL completely through oInet into a file named after the URL's last segment inside
// sFolder. The body goes to a temporary file beside the target and replaces the target whole
// only once all of it has arrived and been written, so a failed or abandoned fetch leaves
// neither a partial file nor a temporary one. Returns false without a message when oInet is
// busy; on any other failure shows one message box (the failure's description, OK only, title
// "Vexbrindle") through form and returns false. An abandoned fetch (the program is ending)
// returns false silently.
bool DownloadFile(vex::inet::Inet& oInet, const QString& sURL, const QString& sFolder,
                  FormWindow& form, const DownloadOptions& options = {});

} // namespace vex::updater
