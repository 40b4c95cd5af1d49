// Whole-file downloads that resume: cut at half, the next run fetches the rest through nginx's
// ranges, and everything that does not fit starts again from zero. The partial data held
// between runs is kept only while it can still be the start of the same file.
#include "tests/updater/UpdateSite.h"

#include "updater/PartialDownload.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

using namespace vex::testing;

namespace {

constexpr qint64 kSize = 2 * 1024 * 1024;

QByteArray Build(int n) {
    return PatternBytes(kSize, 40 + n); // incompressible: the compressed file is as large
}

void FlipByte(const QString& path, qint64 at) {
    QByteArray bytes = ReadAll(path);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    WriteFile(path, bytes);
}

class ResumedDownloads : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Slow enough to be cut at half, in small pieces; one location ignores ranges, as some
        // servers do.
        nginx_ = std::make_unique<LoggingNginx>("limit_rate 1m;\nsendfile off;\n"
                                                "location /ignoring/ { max_ranges 0; }\n");
        keys_ = std::make_unique<VendorKeys>();
    }
    static void TearDownTestSuite() {
        nginx_.reset();
        keys_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(nginx_->server().Started()) << nginx_->server().StartError().toStdString();
    }

    static std::unique_ptr<LoggingNginx> nginx_;
    static std::unique_ptr<VendorKeys> keys_;
};

std::unique_ptr<LoggingNginx> ResumedDownloads::nginx_;
std::unique_ptr<VendorKeys> ResumedDownloads::keys_;

// The statuses nginx answered requests for `path` with, and the body bytes it sent for them.
QList<int> StatusesOf(const QList<Served>& served, const QString& path, qint64* bytes) {
    QList<int> statuses;
    *bytes = 0;
    for (const Served& s : served) {
        if (s.path != path) continue;
        statuses << s.status;
        *bytes += s.bytes;
    }
    return statuses;
}

} // namespace

TEST_F(ResumedDownloads, ARunCutAtHalfLeavesTheRestForTheNext) {
    struct Case {
        const char* name; // the fault the row catches
        bool signedSite;
        QString form; // the file whose download is cut
        QString prefix;
        // Done to the site or the folder between the runs.
        std::function<void(const QString& site, const QString& folder)> between{};
        QList<int> secondStatuses;
        bool resumes = true; // the first run keeps partial data
        int finalBuild = 0;
    };
    const QString zst = "DrixaBilling2.exe.zst", exe = "DrixaBilling2.exe";
    const Case cases[] = {
        {"compressed file fetched whole again", false, zst, "", {}, {206}},
        {"signed whole file fetched whole again", true, exe, "", {}, {206}},
        {"a file changed between the runs completed with the old one's start",
         false,
         zst,
         "",
         [](const QString& site, const QString&) {
             PublishInto(site, {{"1.3", Build(1)}}, nullptr);
             QFile::remove(site + "/DrixaBilling2.exe"); // only the compressed form
         },
         {200},
         true,
         1},
        {"damaged partial data taken for the file's start",
         true,
         exe,
         "",
         [](const QString&, const QString& folder) {
             FlipByte(folder + "/.DrixaBilling2.exe.partial", 1000);
         },
         {206, 200}},
        {"a server that ignores ranges appended to", false, zst, "ignoring/", {}, {200}},
        {"an unsigned whole file resumed with nothing to check it",
         false,
         exe,
         "",
         {},
         {200},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString site = nginx_->SiteFolder(c.prefix);
        QDir(site).removeRecursively();
        QDir().mkpath(site);
        PublishInto(site, {{"1.2", Build(0)}}, c.signedSite ? keys_.get() : nullptr);
        if (c.form == exe) QFile::remove(site + "/DrixaBilling2.exe.zst");
        QTemporaryDir folder;
        QDir(folder.path()).mkdir("Update");
        WriteFile(folder.filePath("Update/ver.dat"), "1.0\r\n");
        const QString baseUrl =
            nginx_->server().BaseUrl() + "/" + c.prefix.chopped(c.prefix.isEmpty() ? 0 : 1);
        const QString key = c.signedSite ? keys_->PublicKeyLine() : QString();
        const QString partial = folder.filePath("." + c.form + ".partial");
        const qint64 size = QFileInfo(site + "/" + c.form).size();

        // The first run is closed by its user once half the file has arrived.
        {
            UpdaterRun first(folder.path(), baseUrl, key);
            qint64 arrived = 0; // of the body under way; only the executable's reach half
            QObject::connect(&first.inet, &vex::inet::Inet::BytesWritten,
                             [&](qint64 total) { arrived = total; });
            first.window.onTimer1 = [&](int) {
                if (arrived >= size / 2 && !first.form->Ending()) first.form->lblClose_Click();
            };
            first.Run();
            EXPECT_TRUE(first.window.ended);
        }
        if (c.resumes) {
            EXPECT_GE(QFileInfo(partial).size(), size / 2);
            EXPECT_LT(QFileInfo(partial).size(), size);
        } else {
            EXPECT_FALSE(QFile::exists(partial));
        }
        if (c.between) c.between(site, folder.path());
        // nginx logs a request cut off by its client once it notices, and a request Qt itself
        // retried after the cut comes later still: the log must be quiet before it is cleared,
        // or the first run's lines end up in the second run's.
        qint64 firstBytes = 0;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !StatusesOf(nginx_->Requests(), c.form, &firstBytes).isEmpty(); },
            30'000));
        for (qsizetype lines = -1; lines != nginx_->Requests().size();) {
            lines = nginx_->Requests().size();
            QTest::qWait(1000);
        }
        nginx_->ClearLog();

        UpdaterRun second(folder.path(), baseUrl, key);
        second.Run();
        EXPECT_TRUE(second.window.ended) << second.Events();
        EXPECT_TRUE(ReadAll(folder.filePath("DrixaBilling2.exe")) == Build(c.finalBuild))
            << second.Events();
        qint64 bytes = 0;
        EXPECT_EQ(StatusesOf(nginx_->Requests(), c.form, &bytes), c.secondStatuses);
        if (c.secondStatuses == QList<int>{206}) {
            EXPECT_LE(bytes, size * 55 / 100) << "the second run fetches the rest only";
        }
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"DrixaBilling2.exe"})
            << "no partial data left after success";
    }
}

// What a run finds of an earlier one is resumed only while it can be the start of the same file.
TEST(PartialDownloadHeld, OnlyDataThatCanStillBeTheFilesStartIsResumed) {
    const QString url = "http://127.0.0.1:1/vexbrindle/DrixaBilling2.exe.zst";
    const QDateTime now = QDateTime::currentDateTimeUtc();
    struct Case {
        const char* name;
        qint64 held;
        QByteArray id;
        qint64 ageSeconds;
        qint64 cap;
        bool resumed;
    };
    const QByteArray good = url.toUtf8() + "\n\"abc\"\n1000\n";
    const Case cases[] = {
        {"data of this URL refused", 400, good, 60, -1, true},
        {"data of another URL resumed", 400,
         "http://127.0.0.1:2/vexbrindle/DrixaBilling2.exe.zst\n\"abc\"\n1000\n", 60, -1, false},
        {"data older than seven days resumed", 400, good, 8 * 24 * 3600, -1, false},
        {"data as large as the file resumed", 1000, good, 60, -1, false},
        {"data larger than the file resumed", 1200, good, 60, -1, false},
        {"data without a validator resumed", 400, url.toUtf8() + "\n\n1000\n", 60, -1, false},
        {"data of a file over the cap resumed", 400, good, 60, 999, false},
        {"data whose identity is unreadable resumed", 400, "garbage", 60, -1, false},
        {"data from the future resumed", 400, good, -3600, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString data = folder.filePath(".DrixaBilling2.exe.zst.partial");
        WriteFile(data, QByteArray(c.held, 'd'));
        WriteFile(data + ".id", c.id);
        QFile file(data);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            file.setFileTime(now.addSecs(-c.ageSeconds), QFileDevice::FileModificationTime));
        file.close();

        vex::updater::PartialDownload partial(folder.path(), url);
        const std::optional<vex::inet::Resume> resume = partial.Resumable(c.cap, now);
        EXPECT_EQ(resume.has_value(), c.resumed);
        if (resume) {
            EXPECT_EQ(resume->offset, c.held);
            EXPECT_EQ(resume->ifRange, "\"abc\"");
        }
        EXPECT_EQ(QFile::exists(data), c.resumed) << "what is not resumed is discarded";
        EXPECT_EQ(QFile::exists(data + ".id"), c.resumed);
    }
}
