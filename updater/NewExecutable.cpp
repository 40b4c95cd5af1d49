#include "updater/NewExecutable.h"

#include "updater/FormDownload.h"
#include "updater/PartialDownload.h"
#include "updater/SignedDownload.h"
#include "updater/modUpdate.h"

#include "platform/runtime/OffThread.h"
#include "platform/runtime/SlicedPump.h"
#include "platform/runtime/ThreadedSink.h"
#include "platform/runtime/program.h"
#include "platform/signature/Blake2b256Sink.h"
#include "platform/signature/SignatureFile.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

namespace vex::updater {

namespace {

using Result = FormOutcome::Result;

const QString kInstalledName = QStringLiteral("DrixaBilling.exe");
const QString kPatchFolder = QStringLiteral("patches/");
const QString kPatchSuffix = QStringLiteral(".zst");

// An executable on disk that a patch may have been made from: its name on the server (the hash
// of its bytes) and its bytes, mapped for as long as the object lives.
class PatchBase {
  public:
    // False when the file is missing, unreadable, larger than the cap, or the program is ending
    // (ending() then says so).
    bool Open(const QString& path, const std::function<bool()>& ending) {
        const QFileInfo info(path);
        if (!info.isFile() || info.size() == 0 || info.size() > kCompressedFormCap) return false;
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly)) return false;
        // Read in slices and hashed beside: a large executable takes a while, and the window
        // keeps ticking.
        vex::signature::Blake2b256Sink hash;
        vex::runtime::ThreadedSink hashing(vex::runtime::ThreadedSink::WriteTo(hash));
        QString why;
        if (!vex::runtime::PumpInSlices(file_, hashing, -1, ending, why)) {
            hashing.Cancel();
            return false;
        }
        vex::runtime::CallOffThread([&hashing] { return hashing.Drain() ? 0 : 1; });
        id_ = QByteArray(reinterpret_cast<const char*>(hash.Final().data()), 32).toHex();
        const uchar* bytes = file_.map(0, file_.size());
        if (!bytes) return false;
        bytes_ = QByteArrayView(bytes, file_.size());
        return true;
    }
    QString IdHex() const { return QString::fromLatin1(id_); }
    QByteArrayView Bytes() const { return bytes_; }

  private:
    QFile file_;
    QByteArray id_;
    QByteArrayView bytes_;
};

QString BaseUrlOf(const QString& executableUrl) {
    return executableUrl.left(executableUrl.lastIndexOf(QLatin1Char('/')) + 1);
}

class FormFetcher {
  public:
    FormFetcher(vex::inet::Inet& oInet, FormWindow& form, const NewExecutableSource& source,
                const vex::signature::SignatureFile* signature)
        : oInet_(oInet), form_(form), source_(source), signature_(signature) {}

    // Form 1: a patch against the newest executable on disk. That is an earlier download still
    // waiting beside the installed file, when there is one: it was newer than the installed
    // release when it came. One patch at most is asked for, so that a server without patches
    // costs a single 404 here.
    std::optional<bool> ByPatch() {
        const QString installed = source_.programFolder + QLatin1Char('/') + kInstalledName;
        const QString downloaded = TargetPathOf(source_.executableUrl, source_.programFolder);
        for (const QString& path : {downloaded, installed}) {
            PatchBase base;
            if (!base.Open(path, source_.ending)) {
                if (source_.ending && source_.ending()) return false;
                continue;
            }
            FormRequest request = Compressed(PatchUrlOf(source_.executableUrl, base.IdHex()));
            request.base = base.Bytes();
            return Settle(FetchForm(oInet_, request), request);
        }
        return std::nullopt;
    }

    // Form 2: the whole file compressed, resumed when it was interrupted.
    std::optional<bool> ByCompressedFile() {
        PartialDownload partial(source_.programFolder, CompressedUrlOf(source_.executableUrl));
        FormRequest request = Compressed(CompressedUrlOf(source_.executableUrl));
        request.partial = &partial;
        return Settle(FetchForm(oInet_, request), request);
    }

    // Form 3, signed: the whole file as it is, resumed when it was interrupted. Its failure is
    // the run's.
    bool BySignedWholeFile() {
        PartialDownload partial(source_.programFolder, source_.executableUrl);
        FormRequest request = Base(source_.executableUrl);
        request.partial = &partial;
        const FormOutcome outcome = FetchForm(oInet_, request);
        if (outcome.result == Result::Done) return true;
        if (outcome.result == Result::Abandoned) return false;
        form_.MsgBox(outcome.why, vbOKOnly, vex::runtime::kAppTitle);
        return false;
    }

  private:
    FormRequest Base(const QString& url) const {
        FormRequest request;
        request.url = url;
        request.target = TargetPathOf(source_.executableUrl, source_.programFolder);
        request.ending = source_.ending;
        if (signature_) {
            const vex::signature::SignatureFile* signature = signature_;
            const vex::signature::PublicKey* key = &*source_.key;
            const QString name = FileNameOf(source_.executableUrl);
            request.makeCheck = [signature, key, name] {
                return std::make_unique<SignatureCheck>(*signature, *key, name);
            };
        }
        return request;
    }

    FormRequest Compressed(const QString& url) const {
        FormRequest request = Base(url);
        request.compressed = true;
        request.maxBytes = kCompressedFormCap;
        request.maxWindowLog = kMaxFormWindowLog;
        request.maxContentSize = kCompressedFormCap;
        return request;
    }

    // true: done; false: the program is ending; nullopt: on to the next form.
    std::optional<bool> Settle(const FormOutcome& outcome, const FormRequest& request) {
        switch (outcome.result) {
        case Result::Done:
            return true;
        case Result::Abandoned:
            return false;
        case Result::Missing:
            return std::nullopt;
        case Result::Failed:
            break;
        }
        const QString name = request.url.mid(BaseUrlOf(source_.executableUrl).size());
        form_.Note(
            QStringLiteral("Could not use %1, trying the next form: %2").arg(name, outcome.why));
        return std::nullopt;
    }

    vex::inet::Inet& oInet_;
    FormWindow& form_;
    const NewExecutableSource& source_;
    const vex::signature::SignatureFile* signature_;
};

} // namespace

QString PatchUrlOf(const QString& executableUrl, const QString& idHex) {
    return BaseUrlOf(executableUrl) + kPatchFolder + idHex + kPatchSuffix;
}

QString CompressedUrlOf(const QString& executableUrl) {
    return executableUrl + kPatchSuffix;
}

void DiscardPartialExecutables(const QString& programFolder, const QString& executableUrl) {
    PartialDownload(programFolder, CompressedUrlOf(executableUrl)).Discard();
    PartialDownload(programFolder, executableUrl).Discard();
}

void RemoveLeftoverPartialExecutables(const QString& programFolder, const QString& executableUrl) {
    PartialDownload(programFolder, CompressedUrlOf(executableUrl)).RemoveLeftovers();
    PartialDownload(programFolder, executableUrl).RemoveLeftovers();
}

bool FetchNewExecutableForms(vex::inet::Inet& oInet, FormWindow& form,
                             const NewExecutableSource& source) {
    if (oInet.StillExecuting()) return false;
    std::optional<vex::signature::SignatureFile> signature;
    if (source.key) {
        // One signature covers the finished file, whichever form its bytes arrive in.
        signature = FetchCheckedSignature(oInet, source.executableUrl, form, *source.key,
                                          {.requiredToken = source.versionToken});
        if (!signature) return false;
    }
    FormFetcher fetcher(oInet, form, source, signature ? &*signature : nullptr);
    std::optional<bool> done;
    {
        // Before, between and after their transfers the loop turns while a base is hashed or
        // a file decoded and synced: the status line stays that of a transfer meanwhile.
        const vex::inet::Inet::Busy busy(oInet);
        done = fetcher.ByPatch();
        if (!done) done = fetcher.ByCompressedFile();
        if (!done && signature) done = fetcher.BySignedWholeFile();
    }
    if (!done) {
        // Nothing could tell a damaged partial file from a good one: never resumed.
        PartialDownload(source.programFolder, source.executableUrl).Discard();
        DownloadOptions options{vex::inet::kNoLimit, true};
        // Nothing but its announced length can tell an unsigned executable from one cut short.
        options.end = vex::inet::BodyEnd::AnnouncedLength;
        done = DownloadFile(oInet, source.executableUrl, source.programFolder, form, options);
    }
    if (*done) DiscardPartialExecutables(source.programFolder, source.executableUrl);
    return *done;
}

} // namespace vex::updater
