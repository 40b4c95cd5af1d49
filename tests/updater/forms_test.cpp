// The forms in which a new executable arrives: a patch against what is on disk, the whole file
// compressed, the whole file as it is. Sites are made by the real vexbrindle-publish and served
// by nginx; what a cooperative server will not do comes from the fault server.
#include "tests/updater/UpdateSite.h"

#include "updater/NewExecutable.h"

#include "platform/compression/ZstdEncoder.h"

#include <QBuffer>
#include <QDir>
#include <gtest/gtest.h>

#include <functional>

using namespace vex::testing;

namespace {

const QByteArray kVerDat = "1.0\r\n";
const QString kServerVersion = "1.2";

QByteArray R(int n) {
    return Release(n);
}

// The releases each site holds: 1.0, 1.1 and 1.2, so patches from R(0) and R(1) to R(2).
QList<QPair<QString, QByteArray>> ThreeReleases() {
    return {{"1.0", R(0)}, {"1.1", R(1)}, {"1.2", R(2)}};
}

void FlipByte(const QString& path, qint64 at) {
    QByteArray bytes = ReadAll(path);
    if (at < 0) at += bytes.size();
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
    WriteFile(path, bytes);
}

// A program folder holding ver.dat and, when given, the executables of an installation.
class Folder {
  public:
    Folder(std::optional<QByteArray> installed, std::optional<QByteArray> downloaded = {}) {
        QDir(dir_.path()).mkdir("Update");
        WriteFile(Path("Update/ver.dat"), kVerDat);
        if (installed) WriteFile(Path("DrixaBilling.exe"), *installed);
        if (downloaded) WriteFile(Path("DrixaBilling2.exe"), *downloaded);
    }
    QString path() const { return dir_.path(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // Hidden files too: partial data must never be left behind unseen.
    QStringList Files() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

  private:
    QTemporaryDir dir_;
};

// The executable forms asked for, in order, each "NAME STATUS": patch(N) for the patch from
// R(N) (patch(?) from anything else), zst, exe. Signatures and the page are left out.
QStringList FormsAsked(const QList<Served>& served) {
    QHash<QString, QString> patchNames;
    for (int n : {0, 1, 2})
        patchNames.insert("patches/" + PatchIdOf(R(n)) + ".zst",
                          QStringLiteral("patch(%1)").arg(n));
    QStringList asked;
    for (const Served& s : served) {
        QString name;
        if (s.path.startsWith("patches/"))
            name = patchNames.value(s.path, "patch(?)");
        else if (s.path == "DrixaBilling2.exe.zst")
            name = "zst";
        else if (s.path == "DrixaBilling2.exe")
            name = "exe";
        else
            continue;
        asked << QStringLiteral("%1 %2").arg(name).arg(s.status);
    }
    return asked;
}

class UpdateForms : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        nginx_ = std::make_unique<LoggingNginx>();
        keys_ = std::make_unique<VendorKeys>();
    }
    static void TearDownTestSuite() {
        nginx_.reset();
        keys_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(nginx_->server().Started()) << nginx_->server().StartError().toStdString();
    }
    // A fresh site with the three releases, signed or not.
    static void PublishSite(bool signedSite) {
        QDir(nginx_->SiteFolder()).removeRecursively();
        QDir().mkpath(nginx_->SiteFolder());
        PublishInto(nginx_->SiteFolder(), ThreeReleases(), signedSite ? keys_.get() : nullptr);
        nginx_->ClearLog();
    }
    static QString Site(const QString& relative) { return nginx_->SiteFolder() + '/' + relative; }
    static QString PatchFrom(int n) { return Site("patches/" + PatchIdOf(R(n)) + ".zst"); }

    static std::unique_ptr<LoggingNginx> nginx_;
    static std::unique_ptr<VendorKeys> keys_;
};

std::unique_ptr<LoggingNginx> UpdateForms::nginx_;
std::unique_ptr<VendorKeys> UpdateForms::keys_;

} // namespace

TEST_F(UpdateForms, TheFirstFormTheServerHasThatChecksOutIsUsed) {
    const QByteArray unknown = PatternBytes(50'000, 77);
    struct Case {
        const char* name; // the fault the row catches
        bool signedSite;
        std::optional<QByteArray> installed;
        std::optional<QByteArray> downloaded; // DrixaBilling2.exe before the run
        std::function<void()> alter;          // what is done to the site after publishing
        QStringList asked;
        int notes;
    };
    const Case cases[] = {
        {"patch against the installed release not asked for",
         false,
         R(0),
         {},
         {},
         {"patch(0) 200"},
         0},
        {"an unknown installed file gets no compressed file after its 404",
         false,
         unknown,
         {},
         {},
         {"patch(?) 404", "zst 200"},
         0},
        {"no installed executable asks for a patch of nothing", false, {}, {}, {}, {"zst 200"}, 0},
        {"damaged patch taken for the update",
         false,
         R(0),
         {},
         [] { FlipByte(PatchFrom(0), 200); },
         {"patch(0) 200", "zst 200"},
         1},
        {"patch made for another base applied anyway",
         false,
         R(0),
         {},
         [] { QFile::remove(PatchFrom(0)), QFile::copy(PatchFrom(1), PatchFrom(0)); },
         {"patch(0) 200", "zst 200"},
         1},
        {"compressed file whose checksum fails taken for the update",
         false,
         unknown,
         {},
         [] { FlipByte(Site("DrixaBilling2.exe.zst"), -2); },
         {"patch(?) 404", "zst 200", "exe 200"},
         1},
        {"a server with only today's files needs more than two extra requests",
         false,
         R(0),
         {},
         [] {
             QDir(Site("patches")).removeRecursively();
             QFile::remove(Site("DrixaBilling2.exe.zst"));
         },
         {"patch(0) 404", "zst 404", "exe 200"},
         0},
        {"an earlier download beside the installed file not used as the base",
         false,
         unknown,
         R(1),
         {},
         {"patch(1) 200"},
         0},
        {"a server with only today's files and an earlier download beside the installed file "
         "needs more than two extra requests",
         false,
         R(0),
         R(1),
         [] {
             QDir(Site("patches")).removeRecursively();
             QFile::remove(Site("DrixaBilling2.exe.zst"));
         },
         {"patch(1) 404", "zst 404", "exe 200"},
         0},
        {"signed: patch not verified over the finished bytes",
         true,
         R(1),
         {},
         {},
         {"patch(1) 200"},
         0},
        {"signed: a patch that decodes to another file passes the signature",
         true,
         R(1),
         {},
         [] {
             // A sound patch with its checksum, from R(1) to R(0): only the signature can tell.
             const QString to = Site("stray.exe"), from = Site("base.exe");
             WriteFile(to, R(0));
             WriteFile(from, R(1));
             ASSERT_EQ(
                 RunProgram("zstd", {"-q", "-f", "--patch-from=" + from, to, "-o", PatchFrom(1)}),
                 0);
         },
         {"patch(1) 200", "zst 200"},
         1},
        {"signed: a server with only today's files",
         true,
         R(1),
         {},
         [] {
             QDir(Site("patches")).removeRecursively();
             QFile::remove(Site("DrixaBilling2.exe.zst"));
         },
         {"patch(1) 404", "zst 404", "exe 200"},
         0},
        {"a compressed file without a checksum trusted without a key",
         false,
         unknown,
         {},
         [] {
             WriteFile(Site("plain.exe"), R(2));
             ASSERT_EQ(RunProgram("zstd", {"-q", "-f", "--no-check", Site("plain.exe"), "-o",
                                           Site("DrixaBilling2.exe.zst")}),
                       0);
         },
         {"patch(?) 404", "zst 200", "exe 200"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PublishSite(c.signedSite);
        if (c.alter) c.alter();
        Folder folder(c.installed, c.downloaded);
        UpdaterRun run(folder.path(), nginx_->server().BaseUrl(),
                       c.signedSite ? keys_->PublicKeyLine() : QString());
        // From the first tick to the closing message the run is at work: hashing, decoding and
        // syncing between transfers must not read as "Server down.." with the close label.
        bool told = false;
        int idleTicks = 0;
        run.window.onMsgBox = [&](const QString&) { told = true; };
        run.window.onTimer1 = [&](int) { idleTicks += !told && !run.inet.StillExecuting(); };
        run.Run();
        EXPECT_TRUE(run.Completed(kServerVersion)) << run.Events();
        EXPECT_EQ(idleTicks, 0) << "ticks that showed the server down while the run was at work";
        EXPECT_TRUE(ReadAll(folder.Path("DrixaBilling2.exe")) == R(2));
        EXPECT_EQ(FormsAsked(nginx_->Requests()), c.asked);
        EXPECT_EQ(run.window.notes.size(), c.notes) << run.Events();
        QStringList expectedFiles = {"DrixaBilling2.exe"};
        if (c.installed) expectedFiles.prepend("DrixaBilling.exe");
        EXPECT_EQ(folder.Files(), expectedFiles) << "nothing partial or temporary left";
    }
}

TEST_F(UpdateForms, OnlyAFailureOfTheWholeFileIsTheRunsFailure) {
    PublishSite(false);
    FlipByte(Site("DrixaBilling2.exe.zst"), -2);
    QFile::remove(Site("DrixaBilling2.exe"));
    Folder folder(R(0));
    FlipByte(PatchFrom(0), 300);
    UpdaterRun run(folder.path(), nginx_->server().BaseUrl());
    run.Run();
    EXPECT_TRUE(run.window.events.contains("MsgBox(HTTP 404 Not Found|0|Vexbrindle)"))
        << run.Events();
    EXPECT_EQ(run.window.events.filter("MsgBox").size(), 1) << run.Events();
    EXPECT_FALSE(QFile::exists(folder.Path("DrixaBilling2.exe")));
    EXPECT_EQ(run.window.notes.size(), 2) << run.Events();
}

// R(2) compressed, as the tool would, with its content checksum.
QByteArray CompressedR2() {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    vex::compression::ZstdSettings settings;
    settings.contentSize = R(2).size();
    vex::compression::ZstdEncoder encoder(buffer, settings);
    encoder.write(R(2));
    EXPECT_TRUE(encoder.Finish());
    return out;
}

// What nginx never sends: frames built to cost the decoder, lengths that lie, answers to a
// range request that are not the range. A hostile compressed file falls back to the whole file;
// a hostile answer to a range request is followed by a request from zero.
TEST(UpdateFormsHostile, AHostileFormCostsNothingAndTheNextFormIsUsed) {
    // Frame headers: magic, descriptor, window descriptor (and content size).
    const QByteArray magic = QByteArray::fromHex("28b52ffd");
    const QByteArray hugeWindow = magic + QByteArray::fromHex("04f8") + QByteArray(64, '\0');
    const QByteArray hugeContent = magic + QByteArray::fromHex("c458") +
                                   QByteArray::fromHex("0000000000010000") + QByteArray(64, '\0');
    const QByteArray zst = CompressedR2();
    const qint64 held = zst.size() / 2;
    const QByteArray total = QByteArray::number(zst.size());
    const QByteArray rest = zst.mid(held);
    struct Case {
        const char* name;
        QList<CannedReply> zst;
        bool partialHeld = false;
        int zstRequests = 1;   // 0: not counted
        bool wholeFile = true; // the update came by the whole file, after a note
    };
    const CannedReply good{.body = zst};
    const Case cases[] = {
        {"a frame asking for a 2 TiB window allocated", {{.body = hugeWindow}}},
        {"a frame declaring 1 TiB of content allocated", {{.body = hugeContent}}},
        {"bytes that are no zstd frame written out", {{.body = PatternBytes(5000, 3)}}},
        // Qt itself may ask once more after such a cut; either way the whole file follows.
        {"a lying length taken for a whole file",
         {{.body = zst, .declaredLength = zst.size() + 9}},
         false,
         0},
        {"a 206 for another range appended",
         {{.status = 206,
           .reason = "Partial Content",
           .body = zst.left(held),
           .headers = {{"Content-Range", "bytes 0-" + QByteArray::number(held - 1) + "/" + total}}},
          good},
         true,
         2,
         false},
        {"a 206 whose length disagrees with its range appended",
         {{.status = 206,
           .reason = "Partial Content",
           .body = rest.left(rest.size() - 10),
           .headers = {{"Content-Range", "bytes " + QByteArray::number(held) + "-" +
                                             QByteArray::number(zst.size() - 1) + "/" + total}}},
          good},
         true,
         2,
         false},
        {"a multipart answer appended",
         {{.status = 206,
           .reason = "Partial Content",
           .body = rest,
           .headers = {{"Content-Type", "multipart/byteranges; boundary=x"},
                       {"Content-Range", "bytes " + QByteArray::number(held) + "-" +
                                             QByteArray::number(zst.size() - 1) + "/" + total}}},
          good},
         true,
         2,
         false},
        {"a 200 to a range request appended to what was held", {good}, true, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultServer server;
        server.Route("/vexbrindle/update.html", {.body = "1.2\r\n"});
        server.RouteSequence("/vexbrindle/DrixaBilling2.exe.zst", c.zst);
        server.Route("/vexbrindle/DrixaBilling2.exe", {.body = R(2)});
        Folder folder(PatternBytes(1000, 5));
        if (c.partialHeld) {
            WriteFile(folder.Path(".DrixaBilling2.exe.zst.partial"), zst.left(held));
            WriteFile(folder.Path(".DrixaBilling2.exe.zst.partial.id"),
                      server.Url("/vexbrindle/DrixaBilling2.exe.zst").toUtf8() + "\n\"v1\"\n" +
                          total + "\n");
        }
        UpdaterRun run(folder.path(), server.BaseUrl());
        run.Run();
        EXPECT_TRUE(run.Completed(kServerVersion)) << run.Events();
        EXPECT_TRUE(ReadAll(folder.Path("DrixaBilling2.exe")) == R(2));
        if (c.zstRequests > 0) {
            EXPECT_EQ(server.RequestCount("/vexbrindle/DrixaBilling2.exe.zst"), c.zstRequests);
        }
        EXPECT_EQ(server.RequestCount("/vexbrindle/DrixaBilling2.exe"), c.wholeFile ? 1 : 0);
        EXPECT_EQ(run.window.notes.size(), c.wholeFile ? 1 : 0) << run.Events();
        if (c.zstRequests == 2) {
            EXPECT_FALSE(server.RequestHead("/vexbrindle/DrixaBilling2.exe.zst").contains("Range:"))
                << "the last request starts from zero";
        }
        EXPECT_EQ(folder.Files(), QStringList({"DrixaBilling.exe", "DrixaBilling2.exe"}));
    }
}
