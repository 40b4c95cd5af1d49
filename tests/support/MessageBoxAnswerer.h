#pragma once

// Answers the message boxes a window shows, in order, and records what each one said. Works
// through an application-wide event filter, so the box is real and its exec() really returns.
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <deque>
#include <vector>

namespace vex::testing {

class MessageBoxAnswerer : public QObject {
  public:
    struct Seen {
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons;
        bool updaterWindowVisible; // was frmVexbrindle on the screen behind the box?
    };

    // Each box gets the next answer; when they run out a box gets its default button.
    explicit MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {})
        : answers_(std::move(answers)) {
        qApp->installEventFilter(this);
    }
    ~MessageBoxAnswerer() override { qApp->removeEventFilter(this); }

    const std::vector<Seen>& seen() const { return seen_; }

    bool eventFilter(QObject* object, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(object);
        if (box == nullptr || event->type() != QEvent::Show) return false;
        seen_.push_back(
            {box->text(), box->windowTitle(), box->standardButtons(), UpdaterWindowVisible()});
        QAbstractButton* button = box->defaultButton();
        if (!answers_.empty()) {
            button = box->button(answers_.front());
            answers_.pop_front();
        }
        if (button == nullptr) button = box->buttons().value(0);
        // Clicked from the box's own event loop, once it is running.
        QMetaObject::invokeMethod(
            button, [button] { button->click(); }, Qt::QueuedConnection);
        return false;
    }

  private:
    static bool UpdaterWindowVisible() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmVexbrindle") && w->isVisible()) return true;
        return false;
    }

    std::deque<QMessageBox::StandardButton> answers_;
    std::vector<Seen> seen_;
};

} // namespace vex::testing
