// vexbrindle-publish from the outside, unsigned: what a publication leaves in the site (read
// back with the zstd tool, b2sum and the updater's own reader), how releases are kept and
// pruned, and that every refusal and failure leaves the site exactly as it was.
#include "tests/app/vexbrindle-publish/PublishRun.h"
#include "tests/support/SmallDisk.h"

#include "updater/Version.h"

#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace vex::testing;

namespace {

const QString kExe = "DrixaBilling2.exe";

// Publishes each version in turn, release n for the n-th; stops the test on a failure.
void PublishInTurn(const PublishSite& site, const QStringList& versions,
                   const QStringList& extra = {}) {
    for (int n = 0; n < versions.size(); ++n) {
        const PublishResult r = site.Publish(QStringList{"--version", versions[n]} + extra +
                                             QStringList{site.Executable(Release(n))});
        ASSERT_EQ(r.exitCode, 0) << versions[n].toStdString() << ": " << r.err.toStdString();
    }
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// What every publication must leave: the page announcing the version as the updater reads it,
// the executable, its compressed form as the zstd tool reads it, the kept copy, a patch from
// each earlier kept release that the zstd tool applies, and nothing else (no temporaries).
void ExpectPublished(const PublishSite& site, const QString& version, const QByteArray& exe,
                     const QStringList& earlier) {
    EXPECT_EQ(ReadFile(site.Path("update.html")), version.toLatin1() + "\r\n");
    EXPECT_EQ(vex::updater::ReadFirstField(site.Path("update.html")), version);
    EXPECT_TRUE(ReadFile(site.Path(kExe)) == exe);
    const QByteArray whole =
        DecodedByZstdTool(site.Path(kExe + ".zst"), {}, site.Scratch("whole.out"));
    EXPECT_TRUE(whole == exe) << whole.left(200).toStdString();
    EXPECT_TRUE(ReadFile(site.Path("releases/" + version + "/" + kExe)) == exe);

    QStringList releases = earlier;
    releases << version;
    releases.sort();
    EXPECT_EQ(Entries(site.Path("releases")), releases);
    QStringList patches;
    for (const QString& old : earlier) {
        SCOPED_TRACE("patch from " + old.toStdString());
        const QString oldExe = site.Path("releases/" + old + "/" + kExe);
        const QString patch = "patches/" + Blake2b256Hex(oldExe) + ".zst";
        patches << QFileInfo(patch).fileName();
        const QByteArray patched =
            DecodedByZstdTool(site.Path(patch), oldExe, site.Scratch("p.out"));
        EXPECT_TRUE(patched == exe) << patched.left(200).toStdString();
        // The releases differ in a few bytes; a patch that ignored the old file would not be
        // smaller than the compressed whole.
        EXPECT_LT(QFileInfo(site.Path(patch)).size(), exe.size() / 20);
    }
    patches.sort();
    patches.removeDuplicates();
    EXPECT_EQ(Entries(site.Path("patches")), patches);
    QStringList top = {"update.html", kExe, kExe + ".zst", "releases"};
    if (!earlier.isEmpty() || QFileInfo::exists(site.Path("patches"))) top << "patches";
    top.sort();
    EXPECT_EQ(Entries(site.Root()), top) << "no temporaries, no signatures";
}

TEST(Publish, ReleasesAreWrittenInTheFormsTheUpdaterAndTheZstdToolRead) {
    struct Case {
        const char* name;
        QStringList before; // versions published first, releases 0, 1, ...
        QStringList args;   // besides --site, --version and the executable
        QString version;
        QStringList earlier; // the releases kept besides the new one
        QStringList removed; // "Removed ..." lines of the summary
    };
    const Case cases[] = {
        {"first publication into an empty site", {}, {}, "1.0", {}, {}},
        {"second publication patches from the first", {"1.0"}, {}, "1.1", {"1.0"}, {}},
        {"five kept by default, the oldest pruned",
         {"1.0", "1.1", "1.2", "1.3", "1.4"},
         {},
         "1.5",
         {"1.1", "1.2", "1.3", "1.4"},
         {"releases/1.0/"}},
        {"--keep 2 keeps one release besides the new one and drops the others' patches",
         {"1.0", "1.1", "1.2"},
         {"--keep", "2"},
         "1.3",
         {"1.2"},
         {"releases/1.0/", "releases/1.1/"}},
        {"--keep 1 keeps no patch at all",
         {"1.0", "1.1"},
         {"--keep", "1"},
         "1.2",
         {},
         {"releases/1.0/", "releases/1.1/"}},
        {"--force publishes a version that orders first, kept beside the later ones",
         {"1.9"},
         {"--force"},
         "1.10",
         {"1.9"},
         {}},
        {"--force re-publishes a version, replacing its release and its stale patch",
         {"1.0", "1.1", "1.2"},
         {"--force"},
         "1.1",
         {"1.0", "1.2"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PublishSite site;
        PublishInTurn(site, c.before);
        const QByteArray exe = Release(50);
        const PublishResult r =
            site.Publish(c.args + QStringList{"--version", c.version, site.Executable(exe)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        ExpectPublished(site, c.version, exe, c.earlier);
        EXPECT_TRUE(r.out.startsWith("Published " + c.version + " in ")) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QString::number(exe.size()) + " bytes  " + kExe + "\n"))
            << r.out.toStdString();
        for (const QString& removed : c.removed)
            EXPECT_TRUE(r.out.contains("Removed " + removed + "\n")) << r.out.toStdString();
        EXPECT_FALSE(r.err.contains('\r')) << "progress without a terminal is plain lines";
    }
}

// Refusals and failures: the exit status, a message naming the cause, and not a byte changed.
TEST(Publish, RefusalsAndFailuresLeaveTheSiteAsItWas) {
    struct Case {
        const char* name;
        QStringList args; // besides --site and the executable (release 50) at the end
        int exitCode;
        QString message; // a part of standard error
        std::function<void(const PublishSite&)> arrange{};
    };
    const auto makeFolder = [](const QString& relative) {
        return [relative](const PublishSite& site) {
            QFile::remove(site.Path(relative));
            WriteFile(site.Path(relative + "/inside"), "a folder where a file belongs");
        };
    };
    const Case cases[] = {
        {"a version that orders first: 1.10 after 1.9",
         {"--version", "1.10"},
         1,
         "\"1.10\" does not order after \"1.9\""},
        {"the version already published", {"--version", "1.9"}, 1, "already published"},
        {"an empty version", {"--version", ""}, 2, "the version is empty"},
        {"a comma would end the field", {"--version", "2,0"}, 2, "comma"},
        {"a quote would be dropped", {"--version", "\"2.0\""}, 2, "double quote"},
        {"a line break would end the field", {"--version", "2.0\n"}, 2, "line break"},
        {"a carriage return would end the field", {"--version", "2\r0"}, 2, "line break"},
        {"a blank would split the signed version", {"--version", "2.0 beta"}, 2, "blank"},
        {"a slash would leave releases/", {"--version", "../2.0"}, 2, "folder"},
        {"a control character", {"--version", "2.0\x1b"}, 2, "printable ASCII"},
        {"the page cannot be read without --force",
         {"--version", "2.0"},
         1,
         "Cannot read the version of the current page",
         [](const PublishSite& site) { WriteFile(site.Path("update.html"), ""); }},
        {"a folder where patches/ belongs fails while placing; what was placed goes back",
         {"--version", "2.0"},
         1,
         "Cannot make the folder",
         [](const PublishSite& site) {
             QDir(site.Path("patches")).removeRecursively();
             WriteFile(site.Path("patches"), "a file where a folder belongs");
         }},
        {"a folder where the page belongs fails last; pruned releases come back",
         {"--version", "2.0", "--force", "--keep", "1"},
         1,
         "update.html",
         makeFolder("update.html")},
        {"the executable is missing",
         {"--version", "2.0", "/nonexistent/DrixaBilling.exe"},
         1,
         "is not a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PublishSite site;
        PublishInTurn(site, {"1.0", "1.9"});
        if (c.arrange) c.arrange(site);
        const auto before = Snapshot(site.Root());
        QStringList args = c.args;
        if (!args.last().startsWith('/')) args << site.Executable(Release(50));
        const PublishResult r = site.Publish(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(Snapshot(site.Root()), before);
    }
}

TEST(Publish, CommandLinesThatCannotBeUsedExitWith2) {
    const PublishSite site;
    const QString exe = site.Executable(Release(0));
    const QString root = site.Root();
    struct Case {
        const char* name;
        QStringList args;
    };
    const Case cases[] = {
        {"nothing at all", {}},
        {"no site", {"--version", "1.0", exe}},
        {"no version", {"--site", root, exe}},
        {"no executable", {"--site", root, "--version", "1.0"}},
        {"two executables", {"--site", root, "--version", "1.0", exe, exe}},
        {"an unknown option", {"--site", root, "--version", "1.0", "--sign", exe}},
        {"an option given twice", {"--site", root, "--site", root, "--version", "1.0", exe}},
        {"a value missing at the end", {"--site", root, exe, "--version"}},
        {"--keep 0 would keep nothing to patch from",
         {"--site", root, "--version", "1.0", "--keep", "0", exe}},
        {"--keep that is not a number", {"--site", root, "--version", "1.0", "--keep", "x", exe}},
        {"--expires that is not a date",
         {"--site", root, "--version", "1.0", "--key", "k.key", "--expires", "2030-02-30", exe}},
        {"--expires in the past",
         {"--site", root, "--version", "1.0", "--key", "k.key", "--expires", "2001-01-01", exe}},
        {"--expires without a key",
         {"--site", root, "--version", "1.0", "--expires", "2030-01-01", exe}},
        {"a key whose public key cannot be told",
         {"--site", root, "--version", "1.0", "--key", "secret", exe}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PublishResult r = PublishSite::Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("vexbrindle-publish: ")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(Entries(root).isEmpty()) << "nothing written";
    }

    const PublishResult help = PublishSite::Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vexbrindle-publish --site DIR --version VERSION"));
    const PublishResult version = PublishSite::Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("vexbrindle-publish 1.")) << version.out.toStdString();
}

TEST(Publish, ASecondRunOnTheSameSiteIsTurnedAway) {
    const PublishSite site;
    PublishInTurn(site, {"1.0"});
    const auto before = Snapshot(site.Root());
    // A run in progress holds this lock on the site folder.
    const int fd = ::open(QFile::encodeName(site.Root()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const PublishResult r = site.Publish({"--version", "2.0", site.Executable(Release(1))});
    ::close(fd);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Another vexbrindle-publish is publishing")) << r.err.toStdString();
    EXPECT_EQ(Snapshot(site.Root()), before);
}

TEST(Publish, AFullDiskLeavesTheSiteAsItWas) {
    SmallDisk disk(1024 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason().toStdString();
    const PublishSite elsewhere;
    const QString site = disk.FilePath("site");
    ASSERT_TRUE(QDir().mkdir(site));
    const auto publish = [&](const QString& version, const QByteArray& exe) {
        return PublishSite::Run({"--site", site, "--version", version, elsewhere.Executable(exe)});
    };
    // Three copies of 200 KiB fit; the next release, at 400 KiB, does not fit beside them.
    const PublishResult first = publish("1.0", Release(0, 200 * 1024));
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const auto before = Snapshot(site);

    const PublishResult r = publish("1.1", Release(1, 400 * 1024));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("No space left on device")) << r.err.toStdString();
    EXPECT_EQ(Snapshot(site), before);
}

// A client that reads the site while releases are published, as often as it can: whenever the
// page names a version, the executable is that release or a newer one (never an older one, never
// absent), and the compressed file and the kept copy of that release are there.
TEST(Publish, AClientReadingDuringPublicationNeverSeesAPageWhoseFilesAreMissing) {
    const PublishSite site;
    constexpr int kReleases = 5;
    constexpr qint64 kSize = 1024 * 1024;
    QList<QByteArray> releases;
    for (int n = 0; n < kReleases; ++n)
        releases << Release(n, kSize);
    ASSERT_EQ(site.Publish({"--version", "1.0", site.Executable(releases[0])}).exitCode, 0);

    std::atomic<bool> done = false;
    std::mutex lock;
    QStringList faults;
    QSet<QString> versionsSeen;
    int reads = 0;
    std::thread client([&] {
        while (!done) {
            const QString version =
                QString::fromLatin1(ReadFile(site.Path("update.html")).trimmed());
            const int n = version.mid(2).toInt();
            const QByteArray exe = ReadFile(site.Path(kExe));
            QString fault;
            if (!version.startsWith("1.") || n < 0 || n >= kReleases)
                fault = "the page reads \"" + version + "\"";
            else if (!releases.mid(n).contains(exe))
                fault =
                    "page " + version + " beside an executable that is not its release or newer";
            else if (!QFileInfo::exists(site.Path(kExe + ".zst")))
                fault = "page " + version + " without " + kExe + ".zst";
            else if (!QFileInfo::exists(site.Path("releases/" + version + "/" + kExe)))
                fault = "page " + version + " without its kept release";
            const std::scoped_lock guard(lock);
            ++reads;
            versionsSeen.insert(version);
            if (!fault.isEmpty() && faults.size() < 10) faults << fault;
        }
    });
    for (int n = 1; n < kReleases; ++n) {
        const PublishResult r =
            site.Publish({"--keep", "2", "--version", QStringLiteral("1.%1").arg(n),
                          site.Executable(releases[n])});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    done = true;
    client.join();
    EXPECT_EQ(faults, QStringList{});
    EXPECT_GE(versionsSeen.size(), 3)
        << "the client hardly saw the releases change (" << reads << " reads)";
}

// Runs the tool with its standard error on a pseudo-terminal; what reached the terminal.
QByteArray ErrorOnTerminal(const QStringList& args) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return "<no pty>";
    QByteArray seen;
    const PublishResult r = PublishSite::Run(args, [slave](QProcess& p) {
        p.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    });
    ::close(slave);
    char buffer[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, n);
    ::close(master);
    return r.exitCode == 0 ? seen : "<failed> " + r.err.toUtf8();
}

TEST(Publish, ATerminalSeesPercentagesRewrittenInPlace) {
    const PublishSite site;
    PublishInTurn(site, {"1.0"});
    const QByteArray seen = ErrorOnTerminal(
        {"--site", site.Root(), "--version", "1.1", site.Executable(Release(1, 3 * 1024 * 1024))});
    EXPECT_TRUE(seen.contains("\rCompressing DrixaBilling2.exe: 100%")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("\rMaking the patch from 1.0: 100%")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("  0%")) << seen.toStdString();
}

} // namespace
