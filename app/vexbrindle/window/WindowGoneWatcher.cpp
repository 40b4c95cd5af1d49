#include "app/vexbrindle/window/WindowGoneWatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <xcb/xcb.h>

namespace vex::qtui {

WindowGoneWatcher::WindowGoneWatcher(QWidget& window, std::function<void()> onGone)
    : window_(&window), onGone_(std::move(onGone)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowGoneWatcher::~WindowGoneWatcher() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool WindowGoneWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (gone_ || window_.isNull() || eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_DESTROY_NOTIFY) return false;
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    const WId id = window_->internalWinId();
    if (id == 0 || destroyed->window != id) return false;
    gone_ = true;
    // Qt goes on handling the event; the program ends after it, from the event loop.
    QMetaObject::invokeMethod(window_.data(), onGone_, Qt::QueuedConnection);
    return false;
}

} // namespace vex::qtui
