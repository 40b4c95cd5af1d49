#pragma once

#include "tests/support/Files.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include <gtest/gtest.h>

namespace vex::testing {

// A program folder as installed beside Drixa Billing, removed with the object: a temporary
// folder with an Update folder in it, holding ver.dat unless the version file is left out.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::optional<QByteArray> verDat = QByteArray("1.0.0\r\n")) {
        EXPECT_TRUE(dir_.isValid()) << "no temporary folder";
        EXPECT_TRUE(QDir(dir_.path()).mkdir("Update"));
        if (verDat) Write("Update/ver.dat", *verDat);
    }

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    // `name` relative to the folder ("Update/ver.dat").
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    void Write(const QString& name, const QByteArray& bytes) const {
        QFile file(filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size()) << name.toStdString();
    }
    // The file's contents; empty when it cannot be read.
    QByteArray Read(const QString& name) const {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // What the folder holds at its top (see the free Entries).
    QStringList Entries() const { return vex::testing::Entries(path()); }
    // The files at its top, without folders.
    QStringList Files() const { return QDir(path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }

  private:
    QTemporaryDir dir_;
};

} // namespace vex::testing
