// xpbar-quick: progress bars of the XPProgressBar QML module in a Qt Quick window.
//   xpbar-quick                          shows the window
//   xpbar-quick --screenshot out.png     writes a picture of the window and exits (no display
//                                        needed: Qt's offscreen platform is used)
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* screenshot = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "usage: xpbar-quick [--screenshot FILE.png]\n");
            return 2;
        }
    }
    if (screenshot) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without a display there is no GPU: Qt Quick draws in software.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/Main.qml")));
    if (engine.rootObjects().isEmpty()) return 1; // the engine has said why
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (!window) {
        std::fprintf(stderr, "xpbar-quick: Main.qml is not a window\n");
        return 1;
    }

    if (screenshot) {
        QElapsedTimer waited;
        waited.start();
        while (!window->isExposed() && waited.elapsed() < 5000)
            app.processEvents(QEventLoop::AllEvents, 50);
        if (!window->grabWindow().save(QString::fromLocal8Bit(screenshot))) {
            std::fprintf(stderr, "xpbar-quick: cannot write %s\n", screenshot);
            return 1;
        }
        return 0;
    }
    return app.exec();
}
