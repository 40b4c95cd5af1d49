#include "platform/runtime/RegularFile.h"

#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>

using vex::runtime::ReadRegularFile;

namespace {

TEST(ReadRegularFile, ReadsOnlyWhatARegularFileHolds) {
    struct Case {
        const char* name; // the fault the row catches
        // Makes what stands at `path`; returns the path to read (the same, or another).
        std::function<QString(const QDir& dir, const QString& path)> plant;
        qint64 maxBytes;
        std::optional<QByteArray> expected;
    };
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray large(200'000, 'v');
    const Case cases[] = {
        {"file not read",
         [&](const QDir&, const QString& path) {
             writeFile(path, "1.2.3\r\n");
             return path;
         },
         100, "1.2.3\r\n"},
        {"read past the bound",
         [&](const QDir&, const QString& path) {
             writeFile(path, "1.2.3\r\n");
             return path;
         },
         3, "1.2"},
        {"file larger than one read cut short",
         [&](const QDir&, const QString& path) {
             writeFile(path, large);
             return path;
         },
         1024 * 1024, large},
        {"empty file taken for no file",
         [&](const QDir&, const QString& path) {
             writeFile(path, "");
             return path;
         },
         100, QByteArray("")},
        {"missing file read", [](const QDir&, const QString& path) { return path; }, 100,
         std::nullopt},
        {"FIFO waited for",
         [](const QDir&, const QString& path) {
             EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
             return path;
         },
         100, std::nullopt},
        {"folder read",
         [](const QDir& dir, const QString& path) {
             dir.mkdir(QFileInfo(path).fileName());
             return path;
         },
         100, std::nullopt},
        {"device read as a file", [](const QDir&, const QString&) { return QString("/dev/zero"); },
         100, std::nullopt},
        {"link to a file not followed",
         [&](const QDir& dir, const QString& path) {
             writeFile(dir.filePath("target"), "2.0");
             EXPECT_TRUE(QFile::link("target", path));
             return path;
         },
         100, "2.0"},
        {"link to a FIFO waited for",
         [](const QDir& dir, const QString& path) {
             EXPECT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
             EXPECT_TRUE(QFile::link("fifo", path));
             return path;
         },
         100, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = c.plant(QDir(dir.path()), dir.filePath("ver.dat"));
        EXPECT_EQ(ReadRegularFile(path, c.maxBytes), c.expected);
    }
}

} // namespace
