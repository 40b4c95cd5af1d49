#include "progressbar/designer/XPProgressBarPlugin.h"

#include "progressbar/widget/XPProgressBar.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace xpbar {

namespace {

// The form refers to the installed header, as an application's build finds it.
const QString kInstalledHeader = QStringLiteral("XPProgressBar/XPProgressBar.h");

} // namespace

XPProgressBarPlugin::XPProgressBarPlugin(QObject* parent) : QObject(parent) {}

QString XPProgressBarPlugin::name() const {
    return QStringLiteral("xpbar::XPProgressBar");
}

QString XPProgressBarPlugin::group() const {
    return QStringLiteral("Display Widgets");
}

QString XPProgressBarPlugin::toolTip() const {
    return tr("Progress bar in ten looks");
}

QString XPProgressBarPlugin::whatsThis() const {
    return tr("A progress bar with the interface of QProgressBar, drawn in one of ten looks "
              "(barStyle) with its own colour, hatch and picture.");
}

QString XPProgressBarPlugin::includeFile() const {
    return kInstalledHeader;
}

// A small picture of the bar itself, drawn by the bar.
QIcon XPProgressBarPlugin::icon() const {
    XPProgressBar bar;
    bar.resize(22, 10);
    bar.setValue(60);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 6, bar.grab());
    return QIcon(pixmap);
}

QWidget* XPProgressBarPlugin::createWidget(QWidget* parent) {
    return new XPProgressBar(parent);
}

void XPProgressBarPlugin::initialize(QDesignerFormEditorInterface*) {
    initialized_ = true;
}

QString XPProgressBarPlugin::domXml() const {
    return QStringLiteral(R"(<ui language="c++">
 <widget class="xpbar::XPProgressBar" name="progressBar">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>233</width><height>17</height></rect>
  </property>
  <property name="value">
   <number>24</number>
  </property>
 </widget>
 <customwidgets>
  <customwidget>
   <class>xpbar::XPProgressBar</class>
   <extends>QWidget</extends>
   <header location="global">%1</header>
  </customwidget>
 </customwidgets>
</ui>
)")
        .arg(kInstalledHeader);
}

} // namespace xpbar
