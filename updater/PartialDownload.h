#pragma once

#include "platform/inet/Inet.h"
#include "platform/runtime/ThreadedSink.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

namespace vex::updater {

// The part of a whole file that an interrupted download left in the program's folder, kept so
// that the next run asks only for the rest. Beside the data ".NAME.partial" lies what
// identifies it, ".NAME.partial.id": the URL, the server's validator (a strong ETag, else
// Last-Modified) and the whole file's length. Neither name can be taken for the finished file.
class PartialDownload {
  public:
    // Partial data older than this is not resumed: a release that old has likely been replaced.
    static constexpr qint64 kMaxAgeSeconds = 7 * 24 * 3600;

    PartialDownload(const QString& folder, const QString& url);
    // Waits for the data handed over to be written.
    ~PartialDownload();

    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    // What to ask the server for when the data held can be resumed: it is for this URL, carries
    // a validator, is younger than kMaxAgeSeconds and shorter than both the file it is part of
    // and maxBytes. Anything else held is discarded and nullopt returned. now: the current time.
    std::optional<vex::inet::Resume> Resumable(qint64 maxBytes, const QDateTime& now);

    // Called with the server's answer before its body: a fresh answer (offset 0) with a
    // validator starts new partial data; one without keeps none; a resumed answer appends.
    // False (nothing kept) when the files cannot be written.
    bool Begin(const vex::inet::Answer& answer);

    // Where the body's bytes go to be kept while Begin() has started partial data; null
    // otherwise. Write failures here never fail the download: the data is then not kept. The
    // bytes are written from a thread beside; a failure shows at a later write.
    QIODevice* Data();

    // Removes the data and what identifies it. The data is gone from its name at once; its
    // space comes back a little later (runtime::RemoveInBackground).
    void Discard();

    // Removes what a run killed while discarding the data, or while writing what identifies
    // it, left behind.
    void RemoveLeftovers();

    QString DataPath() const { return dataPath_; }

  private:
    // Waits for the data handed over to be written, and closes the file.
    void CloseData();

    QString url_;
    QString dataPath_;
    QString idPath_;
    QFile data_;
    std::unique_ptr<vex::runtime::ThreadedSink> writer_; // into data_, while it is open
};

} // namespace vex::updater
