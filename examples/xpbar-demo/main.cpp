// xpbar-demo: a slider drives progress bars in several looks.
//   xpbar-demo                          shows the window
//   xpbar-demo --screenshot out.png     writes a picture of the window and exits (no display
//                                       needed: Qt's offscreen platform is used)
#include "ui_DemoWindow.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* screenshot = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "usage: xpbar-demo [--screenshot FILE.png]\n");
            return 2;
        }
    }
    if (screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QWidget window;
    Ui::DemoWindow ui;
    ui.setupUi(&window);
    ui.slider->setValue(60);

    if (screenshot) {
        window.show();
        if (!window.grab().save(QString::fromLocal8Bit(screenshot))) {
            std::fprintf(stderr, "xpbar-demo: cannot write %s\n", screenshot);
            return 1;
        }
        return 0;
    }
    window.show();
    return app.exec();
}
