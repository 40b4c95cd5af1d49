#pragma once

#include "updater/modUpdate.h"

#include "platform/inet/Inet.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace vex::updater {

class PartialDownload;

// One form in which the bytes of a file can arrive, fetched into one finished temporary file
// that takes the target's place only once every check has passed.
struct FormRequest {
    QString url;
    QString target;                        // the finished file's path
    qint64 maxBytes = vex::inet::kNoLimit; // of the body
    vex::inet::BodyEnd end = vex::inet::BodyEnd::Any;
    // A zstd frame whose content is the file; against `base` (a patch) when base is not empty.
    bool compressed = false;
    QByteArrayView base{};
    int maxWindowLog = 0;
    qint64 maxContentSize = vex::inet::kNoLimit;
    // Kept when interrupted and resumed on the next run; null: never.
    PartialDownload* partial = nullptr;
    // Has the last word on the finished bytes (the vendor's signature); null: none. A new one is
    // made for every attempt.
    std::function<std::unique_ptr<BodyCheck>()> makeCheck{};
    // True once the program is ending.
    std::function<bool()> ending{};
};

struct FormOutcome {
    enum class Result {
        Done,      // the target holds the finished, checked file
        Missing,   // the server does not have this form (404)
        Failed,    // why says what went wrong; the target is untouched
        Abandoned, // the program is ending
    };
    Result result = Result::Failed;
    QString why{};
};

// Fetches the form. Partial data held for it is resumed first; a resumed download that does
// not fit (the server's answer or the finished file's check) is discarded and fetched once more
// from zero. An interrupted transfer keeps its partial data for the next run.
FormOutcome FetchForm(vex::inet::Inet& oInet, const FormRequest& request);

} // namespace vex::updater
