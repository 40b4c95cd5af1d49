#include "updater/PartialDownload.h"

#include "platform/runtime/BackgroundRemoval.h"
#include "platform/runtime/RegularFile.h"
#include "platform/runtime/ReplacingFile.h"

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace vex::updater {

namespace {

// The identity file holds three short lines; anything longer is not one of ours.
constexpr qint64 kMaxIdSize = 16 * 1024;

QString HiddenBeside(const QString& folder, const QString& name, const QString& suffix) {
    const QString separator = folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return folder + separator + QLatin1Char('.') + name + suffix;
}

} // namespace

PartialDownload::PartialDownload(const QString& folder, const QString& url) : url_(url) {
    const QString name = url.section(QLatin1Char('/'), -1);
    dataPath_ = HiddenBeside(folder, name, QStringLiteral(".partial"));
    idPath_ = dataPath_ + QStringLiteral(".id");
}

PartialDownload::~PartialDownload() {
    CloseData();
}

std::optional<vex::inet::Resume> PartialDownload::Resumable(qint64 maxBytes, const QDateTime& now) {
    CloseData(); // what is held is measured whole
    const QFileInfo data(dataPath_);
    const QFileInfo id(idPath_);
    if (!data.exists() && !id.exists() && !data.isSymLink() && !id.isSymLink()) return {};
    const std::optional<QByteArray> text = vex::runtime::ReadRegularFile(idPath_, kMaxIdSize);
    const QList<QByteArray> lines = text ? text->split('\n') : QList<QByteArray>();
    bool totalOk = false;
    const qint64 total = lines.size() >= 3 ? lines[2].toLongLong(&totalOk) : -1;
    const qint64 held = data.size();
    const qint64 age = data.lastModified().secsTo(now);
    const bool usable = lines.size() >= 3 && QString::fromUtf8(lines[0]) == url_ &&
                        !lines[1].isEmpty() && totalOk && data.isFile() && !data.isSymLink() &&
                        held > 0 && held < total && (maxBytes < 0 || total <= maxBytes) &&
                        age >= 0 && age <= kMaxAgeSeconds;
    if (!usable) {
        Discard();
        return {};
    }
    return vex::inet::Resume{held, lines[1]};
}

bool PartialDownload::Begin(const vex::inet::Answer& answer) {
    CloseData();
    const QByteArray validator = answer.validators.IfRange();
    if (answer.offset == 0) {
        Discard();
        // Without a validator a later run could not tell whether the rest still belongs.
        if (validator.isEmpty() || answer.totalLength <= 0) return false;
        // Written whole or not at all, but not waited for on disk (a sync here held the window
        // while the disk was busy): it only saves a later download some bytes, and is checked
        // before any use.
        vex::runtime::ReplacingFile id(idPath_, 0600);
        const QByteArray text =
            url_.toUtf8() + '\n' + validator + '\n' + QByteArray::number(answer.totalLength) + '\n';
        if (!id.open(QIODevice::WriteOnly) || id.write(text) != text.size() ||
            !id.commit(vex::runtime::ReplacingFile::Sync::Never)) {
            return false;
        }
    }
    // Never through a link that someone put at the data's name.
    const int flags =
        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (answer.offset == 0 ? O_TRUNC : O_APPEND);
    const int fd = ::open(QFile::encodeName(dataPath_).constData(), flags, 0600);
    if (fd < 0) {
        Discard();
        return false;
    }
    if (answer.offset > 0 && ::lseek(fd, 0, SEEK_END) != answer.offset) {
        ::close(fd);
        Discard();
        return false;
    }
    if (!data_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        Discard();
        return false;
    }
    // The copy is written from a thread of its own: a new file's pages can take the system
    // milliseconds to provide, and the loop must not wait for that.
    writer_ =
        std::make_unique<vex::runtime::ThreadedSink>(vex::runtime::ThreadedSink::WriteTo(data_));
    return true;
}

QIODevice* PartialDownload::Data() {
    return writer_.get();
}

void PartialDownload::CloseData() {
    // What was handed over is written first: it is sound, and the next run resumes after it.
    writer_.reset();
    data_.close();
}

void PartialDownload::Discard() {
    if (writer_) writer_->Cancel();
    CloseData();
    // The data leaves its name now; freeing a large file's pages waits for no one.
    vex::runtime::RemoveInBackground(dataPath_);
    QFile::remove(idPath_);
}

void PartialDownload::RemoveLeftovers() {
    vex::runtime::ReplacingFile::RemoveLeftovers(dataPath_);
    vex::runtime::ReplacingFile::RemoveLeftovers(idPath_);
}

} // namespace vex::updater
