#include "platform/runtime/ReplacingFile.h"

#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using vex::runtime::ReplacingFile;
using vex::testing::Entries;
using vex::testing::ReadAll;

namespace {

void Write(const QString& path, const QByteArray& bytes, mode_t mode = 0644) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// What stands at the path itself, without following a link.
struct Entry {
    bool regular = false;
    bool link = false;
    mode_t permissions = 0;
};

Entry Look(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {S_ISREG(st.st_mode), S_ISLNK(st.st_mode), st.st_mode & 07777};
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Writes `bytes` through a ReplacingFile and commits; the error text when anything failed.
QString Replace(const QString& path, const QByteArray& bytes, mode_t mode) {
    ReplacingFile file(path, mode);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.commit()) return file.errorString();
    return {};
}

} // namespace

TEST(ReplacingFile, TakesThePlaceOfWhateverStandsAtThePath) {
    struct Case {
        const char* name; // the fault the row catches
        std::function<void(const QString& target, const QString& outside)> prepare;
        mode_t mode;
        QString error; // empty: the commit succeeds
    };
    const QByteArray fresh = "fresh bytes";
    const Case cases[] = {
        {"new file not created", [](auto&, auto&) {}, 0666, ""},
        {"longer old file keeps its tail",
         [](auto& target, auto&) { Write(target, QByteArray(10'000, 'x')); }, 0666, ""},
        {"link to an outside file written through",
         [](auto& target, auto& outside) {
             Write(outside + "/victim", "outside", 0666);
             QFile::link(outside + "/victim", target);
         },
         0755, ""},
        {"dangling link creates its target outside",
         [](auto& target, auto& outside) { QFile::link(outside + "/absent", target); }, 0755, ""},
        {"world-writable old mode inherited",
         [](auto& target, auto&) { Write(target, "old", 0777); }, 0755, ""},
        {"owner-only old mode inherited", [](auto& target, auto&) { Write(target, "old", 0600); },
         0666, ""},
        {"folder at the path reported vaguely", [](auto& target, auto&) { QDir().mkdir(target); },
         0666, ": Is a directory"},
    };
    const mode_t mask = CurrentUmask();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QTemporaryDir outside;
        const QString target = folder.filePath("DrixaBilling2.exe");
        c.prepare(target, outside.path());
        const QStringList outsideBefore = Entries(outside.path());
        const QByteArray victimBefore = ReadAll(outside.filePath("victim"));

        const QString error = Replace(target, fresh, c.mode);

        // Nothing outside the folder is ever touched.
        EXPECT_EQ(Entries(outside.path()), outsideBefore);
        EXPECT_EQ(ReadAll(outside.filePath("victim")), victimBefore);
        EXPECT_EQ(Entries(folder.path()), QStringList{"DrixaBilling2.exe"}) << "no leftovers";
        if (c.error.isEmpty()) {
            EXPECT_EQ(error, "");
            const Entry entry = Look(target);
            EXPECT_TRUE(entry.regular && !entry.link);
            EXPECT_EQ(entry.permissions, c.mode & ~mask);
            EXPECT_EQ(ReadAll(target), fresh);
        } else {
            EXPECT_EQ(error, "Cannot write " + target + c.error);
        }
    }
}

TEST(ReplacingFile, ALargeFileArrivesWholeWhicheverWayItIsSynced) {
    // Large enough that the disk is handed data from the writeback thread before the commit.
    QByteArray bytes(5 * 1024 * 1024 + 123, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 4096);
    for (const auto sync : {ReplacingFile::Sync::Here, ReplacingFile::Sync::WhileLoopTurns,
                            ReplacingFile::Sync::Never}) {
        SCOPED_TRACE(static_cast<int>(sync));
        QTemporaryDir folder;
        const QString target = folder.filePath("DrixaBilling2.exe");
        Write(target, "old");
        ReplacingFile file(target, 0755);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (qsizetype at = 0; at < bytes.size(); at += 64 * 1024)
            ASSERT_GT(file.write(bytes.mid(at, 64 * 1024)), 0);
        ASSERT_TRUE(file.commit(sync)) << file.errorString().toStdString();
        EXPECT_TRUE(ReadAll(target) == bytes);
        EXPECT_EQ(Entries(folder.path()), QStringList{"DrixaBilling2.exe"}) << "no leftovers";
    }
}

TEST(ReplacingFile, FailureToCreateNamesThePathAndTheReason) {
    QTemporaryDir folder;
    const QString target = folder.filePath("missing/update.html");
    EXPECT_EQ(Replace(target, "x", 0666), "Cannot write " + target + ": No such file or directory");
    EXPECT_TRUE(Entries(folder.path()).isEmpty());
}

TEST(ReplacingFile, CancelledOrUncommittedWritingLeavesTheOldFile) {
    QTemporaryDir folder;
    const QString target = folder.filePath("update.html");
    Write(target, "old");
    {
        ReplacingFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("half of it");
        file.cancelWriting();
        EXPECT_FALSE(file.commit());
    }
    {
        ReplacingFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("never committed");
    }
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(Entries(folder.path()), QStringList{"update.html"});
}

TEST(ReplacingFile, FullDiskNamesThePathAndTheReason) {
    vex::testing::SmallDisk disk(64 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason().toStdString();
    const QString target = disk.FilePath("DrixaBilling2.exe");
    Write(target, "old");

    ReplacingFile file(target, 0755);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray chunk(16 * 1024, 'z');
    qint64 written = 0;
    for (int i = 0; i < 16 && written >= 0; ++i)
        written = file.write(chunk);
    EXPECT_EQ(written, -1) << "the disk took 256 KiB";
    EXPECT_TRUE(file.HasFailed());
    EXPECT_EQ(file.errorString(), "Cannot write " + target + ": No space left on device");
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(Entries(disk.Path()), QStringList{"DrixaBilling2.exe"});
}

TEST(ReplacingFile, ProgramEndedByExitLeavesNoTemporaryFile) {
    QTemporaryDir folder;
    const QString target = folder.filePath("DrixaBilling2.exe");
    Write(target, "old");
    // exit() from inside a library skips the destructors of everything on the stack; the
    // file here is never destroyed at all.
    EXPECT_EXIT(
        {
            auto* file = new ReplacingFile(target, 0755);
            file->open(QIODevice::WriteOnly);
            file->write("half of it");
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(Entries(folder.path()), QStringList{"DrixaBilling2.exe"});
}

TEST(ReplacingFile, RemoveLeftoversTakesOnlyWhatKilledWritersLeft) {
    struct Case {
        const char* name; // the fault the row catches
        QString entry;    // planted beside the target
        std::function<void(const QString& path, const QString& outside)> plant;
        bool removed;
    };
    const auto file = [](const QString& path, const QString&) { Write(path, "left over", 0755); };
    const Case cases[] = {
        {"leftover of a killed writer kept", ".DrixaBilling2.exe.0123abcd.part", file, true},
        {"upper-case digits taken for ours", ".DrixaBilling2.exe.0123ABCD.part", file, false},
        {"seven digits taken for ours", ".DrixaBilling2.exe.0123abc.part", file, false},
        {"nine digits taken for ours", ".DrixaBilling2.exe.0123abcd0.part", file, false},
        {"letter beyond f taken for a digit", ".DrixaBilling2.exe.0123abcg.part", file, false},
        {"name without the leading dot taken", "DrixaBilling2.exe.0123abcd.part", file, false},
        {"longer name taken", ".DrixaBilling2.exe.0123abcd.part.keep", file, false},
        {"another file's leftover taken", ".DrixaBilling.exe.0123abcd.part", file, false},
        {"link removed or followed", ".DrixaBilling2.exe.0123abcd.part",
         [](const QString& path, const QString& outside) {
             Write(outside + "/victim", "outside", 0644);
             QFile::link(outside + "/victim", path);
         },
         false},
        {"folder removed", ".DrixaBilling2.exe.0123abcd.part",
         [](const QString& path, const QString&) { QDir().mkdir(path); }, false},
        {"FIFO opened and waited for", ".DrixaBilling2.exe.0123abcd.part",
         [](const QString& path, const QString&) {
             ::mkfifo(QFile::encodeName(path).constData(), 0600);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QTemporaryDir outside;
        const QString target = folder.filePath("DrixaBilling2.exe");
        Write(target, "installed");
        c.plant(folder.filePath(c.entry), outside.path());
        const QStringList outsideBefore = Entries(outside.path());

        EXPECT_EQ(ReplacingFile::RemoveLeftovers(target), c.removed ? 1 : 0);

        QStringList expected{"DrixaBilling2.exe"};
        if (!c.removed) expected << c.entry;
        expected.sort();
        EXPECT_EQ(Entries(folder.path()), expected);
        EXPECT_EQ(ReadAll(target), "installed");
        EXPECT_EQ(Entries(outside.path()), outsideBefore);
        EXPECT_EQ(ReadAll(outside.filePath("victim")),
                  outsideBefore.isEmpty() ? "<missing>" : "outside");
    }
}

TEST(ReplacingFile, RemoveLeftoversKeepsWhatIsBeingWrittenAndWhatOthersOwn) {
    QTemporaryDir folder;
    const QString target = folder.filePath("update.html");

    // A writer killed mid-write: its temporary file stays behind.
    EXPECT_EXIT(
        {
            auto* file = new ReplacingFile(target);
            file->open(QIODevice::WriteOnly);
            file->write("half of it");
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    ASSERT_EQ(Entries(folder.path()).size(), 1) << "the killed writer left nothing";
    // Another user's file of the same kind, where a folder is shared.
    const QString foreign = folder.filePath(".update.html.fedcba98.part");
    Write(foreign, "theirs");
    const bool chowned =
        ::geteuid() == 0 && ::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0;

    // A writer at work right now.
    ReplacingFile writer(target);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
    ASSERT_EQ(writer.write("fresh"), 5);

    EXPECT_EQ(ReplacingFile::RemoveLeftovers(target), chowned ? 1 : 2);

    const QStringList left = Entries(folder.path());
    EXPECT_EQ(left.size(), chowned ? 2 : 1) << left.join(' ').toStdString();
    EXPECT_EQ(left.contains(".update.html.fedcba98.part"), chowned);
    ASSERT_TRUE(writer.commit()) << writer.errorString().toStdString();
    EXPECT_EQ(ReadAll(target), "fresh");
}
