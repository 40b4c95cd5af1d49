#include "app/vexbrindle/window/ClickLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>

namespace vex::qtui {

namespace {

class ClickLabelAccessible : public QAccessibleWidget {
  public:
    explicit ClickLabelAccessible(ClickLabel* label)
        : QAccessibleWidget(label, QAccessible::Button) {
        addControllingSignal(QStringLiteral("clicked()"));
    }

    QString text(QAccessible::Text t) const override {
        const QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) return label()->text();
        return text;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && label()->isVisible()) emit label()->clicked();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    ClickLabel* label() const { return static_cast<ClickLabel*>(widget()); }
};

QAccessibleInterface* ClickLabelAccessibleFactory(const QString&, QObject* object) {
    if (auto* label = qobject_cast<ClickLabel*>(object)) return new ClickLabelAccessible(label);
    return nullptr;
}

} // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(ClickLabelAccessibleFactory);
        return true;
    }();
    (void)installed;
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

// A click is a press and a release of the left button over the label, as for a button: the
// user can still change their mind by moving away before letting go.
void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

} // namespace vex::qtui
