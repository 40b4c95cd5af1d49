#pragma once

#include <QString>
#include <QTemporaryDir>

namespace vex::testing {

// A nearly full disk: a tmpfs of a given size mounted on a temporary folder for as long as the
// object lives. Mounting needs root (or the right to mount); when it cannot be had, Mounted()
// is false and SkipReason() says why, so the test can say what it leaves untried.
class SmallDisk {
  public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();

    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    // Mounts it again read-only: nothing in it can be changed, not even by root. False when
    // that cannot be done.
    bool MakeReadOnly();
    QString SkipReason() const { return skipReason_; }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString skipReason_;
};

} // namespace vex::testing
