// Loads an installed Designer plugin as Designer does and makes a widget through it:
//   designer_plugin_check PLUGIN.so
// Prints what is wrong and exits 1 when the plugin does not offer a working XPProgressBar.
#include <QApplication>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <cstdio>
#include <memory>

namespace {

int Fail(const QString& what) {
    std::fprintf(stderr, "designer_plugin_check: %s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: designer_plugin_check PLUGIN.so");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QPluginLoader loader(QString::fromLocal8Bit(argv[1]));
    if (!loader.load()) return Fail(loader.errorString());
    const QString iid = loader.metaData().value("IID").toString();
    if (iid != "org.qt-project.Qt.QDesignerCustomWidgetInterface") return Fail("IID " + iid);
    auto* custom = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    if (!custom) return Fail("not a custom widget interface");
    if (custom->name() != "xpbar::XPProgressBar") return Fail("class " + custom->name());
    if (custom->includeFile() != "XPProgressBar/XPProgressBar.h")
        return Fail("header " + custom->includeFile());
    if (!custom->domXml().contains("xpbar::XPProgressBar")) return Fail("domXml without class");
    if (custom->icon().isNull()) return Fail("no icon");

    std::unique_ptr<QWidget> widget(custom->createWidget(nullptr));
    if (!widget) return Fail("createWidget gave nothing");
    if (QString(widget->metaObject()->className()) != "xpbar::XPProgressBar")
        return Fail(QString("widget class ") + widget->metaObject()->className());
    // Designer's property editor shows what the meta-object declares as designable.
    for (const char* name : {"value", "minimum", "maximum", "textVisible", "orientation",
                             "barStyle", "color", "colorCode", "brushStyle", "image", "font"}) {
        const int index = widget->metaObject()->indexOfProperty(name);
        if (index < 0 || !widget->metaObject()->property(index).isDesignable())
            return Fail(QString("no designable property ") + name);
    }
    if (!widget->setProperty("barStyle", "Glass") || widget->property("barStyle").toInt() != 9)
        return Fail("barStyle not settable by name");
    widget->setProperty("value", 40);
    if (widget->property("value").toInt() != 40) return Fail("value not settable");
    std::printf("designer plugin: %s from %s\n", qPrintable(custom->name()),
                qPrintable(custom->includeFile()));
    return 0;
}
