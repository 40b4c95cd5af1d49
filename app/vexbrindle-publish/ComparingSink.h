#pragma once

#include <QIODevice>

namespace vex::publish {

// A write-only device that compares what is written to it with the bytes of a reference,
// piece by piece, so that a check of a decoded file against the original needs neither a copy
// of either in memory nor a file on disk. Writing a byte that differs, or more bytes than the
// reference holds, fails with a message giving the offset.
class ComparingSink : public QIODevice {
  public:
    explicit ComparingSink(QIODevice& reference);

    // True when everything written matched and the reference has nothing more.
    bool Same();

    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    QIODevice& reference_;
    qint64 compared_ = 0;
    bool differs_ = false;
};

} // namespace vex::publish
