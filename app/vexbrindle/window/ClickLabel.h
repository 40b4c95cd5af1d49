#pragma once

#include <QLabel>

namespace vex::qtui {

// A label the user can click, like a link. Assistive technology sees it as a button whose
// press action clicks it.
class ClickLabel : public QLabel {
    Q_OBJECT

  public:
    explicit ClickLabel(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

} // namespace vex::qtui
