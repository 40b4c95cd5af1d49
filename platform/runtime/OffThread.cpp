#include "platform/runtime/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <thread>

namespace vex::runtime {

int CallOffThread(const std::function<int()>& call) {
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread()->eventDispatcher() == nullptr) {
        return call();
    }
    QEventLoop loop;
    int result = 0;
    std::thread worker([&] {
        result = call();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Returns early when the application quits; the call is then waited for here.
    loop.exec();
    worker.join();
    return result;
}

} // namespace vex::runtime
