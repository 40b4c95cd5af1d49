// The item as assistive technology sees it, in the item's own units.
#include "progressbar/quick/ItemAccessible.h"

#include "progressbar/quick/XPProgressBarItem.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>

namespace xpbar {

namespace {

class ItemAccessible : public QAccessibleObject, public QAccessibleValueInterface {
  public:
    explicit ItemAccessible(XPProgressBarItem* item) : QAccessibleObject(item) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleObject::interface_cast(type);
    }

    QAccessible::Role role() const override { return QAccessible::ProgressBar; }

    QAccessible::State state() const override {
        QAccessible::State state;
        const QQuickWindow* window = item()->window();
        state.invisible = !item()->isVisible() || !window || !window->isVisible();
        state.disabled = !item()->isEnabled();
        return state;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(item()->value());
        return QString();
    }

    QRect rect() const override {
        const QQuickWindow* window = item()->window();
        if (!window) return QRect();
        const QPointF topLeft = item()->mapToScene(QPointF(0, 0));
        return QRect(window->mapToGlobal(topLeft.toPoint()),
                     QSize(int(item()->width()), int(item()->height())));
    }

    QWindow* window() const override { return item()->window(); }

    // The nearest item above that assistive technology sees, or the window itself.
    QAccessibleInterface* parent() const override {
        QQuickWindow* window = item()->window();
        for (QQuickItem* above = item()->parentItem(); above; above = above->parentItem()) {
            if (window && above == window->contentItem()) break;
            if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(above))
                return iface;
        }
        return window ? QAccessible::queryAccessibleInterface(window) : nullptr;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QVariant currentValue() const override { return item()->value(); }
    void setCurrentValue(const QVariant&) override {} // read-only for assistive technology
    QVariant maximumValue() const override { return std::max(item()->from(), item()->to()); }
    QVariant minimumValue() const override { return std::min(item()->from(), item()->to()); }
    // A hundredth of the range, as the widget reports it.
    QVariant minimumStepSize() const override {
        return std::abs(item()->to() - item()->from()) / 100.0;
    }

  private:
    XPProgressBarItem* item() const { return static_cast<XPProgressBarItem*>(object()); }
};

QAccessibleInterface* ItemAccessibleFactory(const QString&, QObject* object) {
    if (auto* item = qobject_cast<XPProgressBarItem*>(object)) return new ItemAccessible(item);
    return nullptr;
}

} // namespace

void InstallItemAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ItemAccessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace xpbar
