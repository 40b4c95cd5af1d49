// The toolkit's floor for the start-up benchmark: the least a Qt widget program does to put a
// window of the updater's size with one label on the screen. Prints "painted" after its first
// paint and leaves, as vexbrindle does with VEXBRINDLE_STARTUP_PROBE set.
//
// With --tick-ms N it instead stays up with a timer that sets a label's text and visibility every
// N milliseconds (what the updater's status timer does), for measuring what a tick costs.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class Probe : public QObject {
  public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->objectName() == "floor") {
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    std::fputs("painted\n", stdout);
                    std::fflush(stdout);
                    std::_Exit(EXIT_SUCCESS);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    int tickMs = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--tick-ms") == 0) tickMs = std::atoi(argv[i + 1]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QWidget window;
    window.setObjectName("floor");
    window.setFixedSize(268, 102);
    QLabel label("Status: Server down..", &window);
    label.setGeometry(24, 64, 225, 17);
    QLabel close("X", &window);
    close.setGeometry(232, 16, 17, 17);

    Probe probe;
    QTimer tick;
    if (tickMs > 0) {
        QObject::connect(&tick, &QTimer::timeout, &window, [&] {
            label.setText("Status: Server down..");
            close.setVisible(true);
        });
        tick.start(tickMs);
    } else {
        app.installEventFilter(&probe);
    }
    window.show();
    return app.exec();
}
