#pragma once

#include "platform/signature/Blake2b.h"

#include <QIODevice>

namespace vex::signature {

// A write-only device that passes every byte on to another device and hashes what that device
// accepted, so a download is hashed on its way to disk without a second pass over the file.
class HashingSink : public QIODevice {
  public:
    HashingSink(QIODevice& target, Blake2b& hasher);

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    QIODevice& target_;
    Blake2b& hasher_;
};

} // namespace vex::signature
