#include "platform/runtime/program.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using vex::runtime::ResolveProgram;

namespace {

void MakeFile(const QString& path, bool executable) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) perms |= QFile::ExeOwner;
    file.setPermissions(perms);
}

} // namespace

TEST(Program, OwnVersionIsTheBuildsVersion) {
    EXPECT_EQ(vex::runtime::OwnVersionText(), QStringLiteral("1.0.0"));
}

TEST(Program, BareNameIsLookedUpInProgramFolderThenWorkingDirectoryThenPath) {
    QTemporaryDir dir;
    const QString program = dir.filePath("program");
    const QString work = dir.filePath("work");
    const QString path1 = dir.filePath("path1");
    const QString path2 = dir.filePath("path2");
    const QString name = QStringLiteral("DrixaBilling2.exe");

    struct Case {
        const char* name; // the fault the row catches
        QStringList executables;
        QStringList plainFiles;
        QString expected;
    };
    const Case cases[] = {
        {"program folder not searched first", {program, work, path1}, {}, program},
        {"working directory not searched before PATH", {work, path1}, {}, work},
        {"PATH not searched in order", {path1, path2}, {}, path1},
        {"later PATH entry ignored", {path2}, {}, path2},
        {"a file that cannot run is taken", {path2}, {program, work}, path2},
        {"a missing program is found", {}, {}, QString()},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        auto at = [&](const QString& folder) {
            return root.filePath(QDir(dir.path()).relativeFilePath(folder));
        };
        for (const QString& folder : {program, work, path1, path2})
            QDir().mkpath(at(folder));
        for (const QString& f : c.executables)
            MakeFile(at(f) + "/" + name, true);
        for (const QString& f : c.plainFiles)
            MakeFile(at(f) + "/" + name, false);
        const QString found = ResolveProgram(name, at(program), at(work), {at(path1), at(path2)});
        EXPECT_EQ(found, c.expected.isEmpty() ? QString() : at(c.expected) + "/" + name) << c.name;
    }
}

TEST(Program, StartingAMissingProgramFailsQuietly) {
    EXPECT_FALSE(vex::runtime::StartProgram(QStringLiteral("no-such-program-vexbrindle"), 2));
}
