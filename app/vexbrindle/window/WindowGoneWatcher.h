#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace vex::qtui {

// Notices when a window's X window is destroyed by another program (a task manager, `xdotool
// windowclose`): Qt itself only sees its window unmapped and would leave the program running
// with nothing on the screen. `onGone` runs once, from the event loop, when that happens; a
// polite close through the window manager arrives as a close event instead and is the
// window's own business. Installed on the application while it lives; without X it never
// fires.
class WindowGoneWatcher : public QAbstractNativeEventFilter {
  public:
    WindowGoneWatcher(QWidget& window, std::function<void()> onGone);
    ~WindowGoneWatcher() override;

    WindowGoneWatcher(const WindowGoneWatcher&) = delete;
    WindowGoneWatcher& operator=(const WindowGoneWatcher&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    QPointer<QWidget> window_;
    std::function<void()> onGone_;
    bool gone_ = false;
};

} // namespace vex::qtui
