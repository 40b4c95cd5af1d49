#include "progressbar/quick/QuickHost.h"

#include "progressbar/StdFont.h"
#include "progressbar/widget/ToStdFont.h"

#include <QGuiApplication>

namespace xpbar {

QuickHost::QuickHost() {
    control_->InitializeControl();
}

QuickHost::~QuickHost() {
    control_->TerminateControl();
}

void QuickHost::Resize(QSize size) {
    size_ = size;
    NewScreen(size_);
    control_->ResizeControl();
}

void QuickHost::PropertyChanged(const QString& name) {
    if (onNotify) onNotify(name);
}

// The application's font, as a Qt Quick Text and a widget without a font of its own use.
std::shared_ptr<vex::StdFont> QuickHost::NewDefaultFont() {
    return ToStdFont(QGuiApplication::font());
}

void QuickHost::SetBarText(const QString& text) {
    barText_ = text.toLatin1().toStdString();
}

} // namespace xpbar
