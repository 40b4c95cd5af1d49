// Files removed without waiting for the system to free them: gone from their name at once,
// gone for good by the time the program has ended, and what a killed program leaves of them is
// a leftover the next run's cleanup takes.
#include "platform/runtime/BackgroundPageRelease.h"
#include "platform/runtime/BackgroundRemoval.h"
#include "platform/runtime/ReplacingFile.h"
#include "platform/runtime/TemporaryName.h"

#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using vex::runtime::RemoveInBackground;
using vex::runtime::WaitForBackgroundRemovals;
using vex::testing::Entries;
using vex::testing::ReadAll;
using vex::testing::WriteAll;

namespace {

constexpr int kDeadlineMs = 30000;

QByteArray Local(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

TEST(BackgroundRemoval, EachKindOfEntryEndsAsUnlinkWouldLeaveIt) {
    struct Case {
        const char* name;                      // the fault the row catches
        std::function<void(const QDir&)> make; // puts something at "x"
        bool removed;
        QStringList left;       // the folder's entries afterwards
        QByteArray target = {}; // what "target" still holds, when it is left
    };
    const Case cases[] = {
        {"a regular file stays, or its renamed copy does",
         [](const QDir& d) { ASSERT_TRUE(WriteAll(d.filePath("x"), QByteArray(1 << 20, 'x'))); },
         true,
         {}},
        {"a link is followed: what it points to goes",
         [](const QDir& d) {
             ASSERT_TRUE(WriteAll(d.filePath("target"), "kept"));
             QFile::link(d.filePath("target"), d.filePath("x"));
         },
         true,
         {"target"},
         "kept"},
        {"a dangling link stays",
         [](const QDir& d) { QFile::link(d.filePath("nowhere"), d.filePath("x")); },
         true,
         {}},
        {"a pipe is opened and waited on, or left",
         [](const QDir& d) { ::mkfifo(Local(d.filePath("x")).constData(), 0600); },
         true,
         {}},
        {"nothing there is taken for a failure", [](const QDir&) {}, true, {}},
        {"a folder is removed with what it holds, or renamed away",
         [](const QDir& d) {
             d.mkdir("x");
             ASSERT_TRUE(WriteAll(d.filePath("x/inside"), "kept"));
         },
         false,
         {"x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QDir folder(dir.path());
        c.make(folder);
        EXPECT_EQ(RemoveInBackground(folder.filePath("x")), c.removed);
        if (c.removed) {
            struct stat st {};
            EXPECT_NE(::lstat(Local(folder.filePath("x")).constData(), &st), 0)
                << "gone from its name before the call returns";
        }
        WaitForBackgroundRemovals();
        EXPECT_EQ(Entries(folder.path()), c.left);
        if (!c.target.isEmpty()) {
            EXPECT_EQ(ReadAll(folder.filePath("target")), c.target);
        }
    }
}

// The renamed file is seen through the folder's events: it is named as the leftover cleanup
// expects, and removed once the thread gets to it.
TEST(BackgroundRemoval, TheFileWaitsUnderANameTheLeftoverCleanupTakes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(".DrixaBilling2.exe.partial");
    ASSERT_TRUE(WriteAll(path, QByteArray(4 << 20, 'p')));
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(events, 0);
    ASSERT_GE(::inotify_add_watch(events, Local(dir.path()).constData(), IN_MOVED_TO | IN_DELETE),
              0);

    ASSERT_TRUE(RemoveInBackground(path));
    WaitForBackgroundRemovals();
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = ::read(events, buffer, sizeof buffer);
    ::close(events);
    QList<QByteArray> movedTo;
    QList<QByteArray> deleted;
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        (event->mask & IN_MOVED_TO ? movedTo : deleted) << QByteArray(event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    ASSERT_EQ(movedTo.size(), 1);
    EXPECT_TRUE(vex::runtime::IsTemporaryNameOf(movedTo[0], ".DrixaBilling2.exe.partial"))
        << movedTo[0].toStdString();
    EXPECT_EQ(deleted, movedTo);
    EXPECT_TRUE(Entries(dir.path()).isEmpty());

    // What a program killed before the thread got to it leaves there.
    ASSERT_TRUE(WriteAll(dir.filePath(QString::fromLocal8Bit(movedTo[0])), "left by a killed run"));
    EXPECT_EQ(vex::runtime::ReplacingFile::RemoveLeftovers(path), 1);
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

TEST(BackgroundRemoval, AProgramThatEndsNormallyLeavesNothingBehind) {
    for (const char* way : {"return", "exit"}) {
        SCOPED_TRACE(way);
        QTemporaryDir dir;
        const QString path = dir.filePath(".DrixaBilling2.exe.partial");
        ASSERT_TRUE(WriteAll(path, QByteArray(64 << 20, 'p')));
        QProcess child;
        child.start(BACKGROUND_REMOVAL_CHILD, {path, way});
        ASSERT_TRUE(child.waitForFinished(kDeadlineMs));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        EXPECT_TRUE(Entries(dir.path()).isEmpty()) << Entries(dir.path()).join(", ").toStdString();
    }
}

TEST(BackgroundRemoval, AFolderThatCannotBeChangedKeepsTheFileAsItWas) {
    vex::testing::SmallDisk disk(1 << 20);
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason().toStdString();
    const QString path = disk.FilePath(".DrixaBilling2.exe.partial");
    ASSERT_TRUE(WriteAll(path, "the partial data"));
    ASSERT_TRUE(disk.MakeReadOnly());
    EXPECT_FALSE(RemoveInBackground(path));
    WaitForBackgroundRemovals();
    EXPECT_EQ(Entries(disk.Path()), QStringList{".DrixaBilling2.exe.partial"});
    EXPECT_EQ(ReadAll(path), "the partial data");
}

// The space of a file on its way out is not yet free; a write that needs it waits for it
// rather than failing for a disk that is about to have room.
TEST(BackgroundRemoval, AWriteThatNeedsTheSpaceOfARemovedFileGetsIt) {
    constexpr qint64 kFile = 6 << 20;
    vex::testing::SmallDisk disk(10 << 20);
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason().toStdString();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(WriteAll(disk.FilePath("old"), QByteArray(kFile, 'o')));
        ASSERT_TRUE(RemoveInBackground(disk.FilePath("old")));
        vex::runtime::ReplacingFile file(disk.FilePath("new"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(QByteArray(kFile, 'n')), kFile) << file.errorString().toStdString();
        EXPECT_TRUE(file.commit()) << file.errorString().toStdString();
        ASSERT_TRUE(QFile::remove(disk.FilePath("new")));
    }
}

TEST(BackgroundPageRelease, OnlySharedMappingsOfFilesCountAsSuch) {
    QTemporaryDir dir;
    QFile file(dir.filePath("mapped"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = 64 * 1024;
    ASSERT_TRUE(file.resize(size));
    const long page = ::sysconf(_SC_PAGESIZE);
    const auto map = [&](int flags, int fd) {
        return static_cast<char*>(::mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, fd, 0));
    };
    char* shared = map(MAP_SHARED, file.handle());
    char* privateFile = map(MAP_PRIVATE, file.handle());
    char* anonymous = map(MAP_PRIVATE | MAP_ANONYMOUS, -1);
    ASSERT_NE(shared, MAP_FAILED);
    ASSERT_NE(privateFile, MAP_FAILED);
    ASSERT_NE(anonymous, MAP_FAILED);
    const QByteArray heap(4 << 20, 'h');
    struct Case {
        const char* name;
        const void* data;
        qint64 size;
        bool shared;
    };
    const Case cases[] = {
        {"a shared mapping of a file", shared, size, true},
        {"a part of one", shared + page, page, true},
        {"a range that runs past its end", shared, size + page, false},
        {"a private mapping of a file: a written page would revert", privateFile, size, false},
        {"anonymous memory: its pages would turn to zeros", anonymous, size, false},
        {"the heap", heap.constData(), heap.size(), false},
        {"nothing", nullptr, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vex::runtime::BackgroundPageRelease::IsSharedFileMapping(c.data, c.size),
                  c.shared)
            << c.name;
    }
    ::munmap(shared, size);
    ::munmap(privateFile, size);
    ::munmap(anonymous, size);
}
