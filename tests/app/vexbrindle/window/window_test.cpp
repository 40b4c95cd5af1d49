// The updater window on its own: its design, the events it raises, and what it does for the
// run (captions, timers, message boxes, end), with a recording of its signals in place of the
// update run.
#include "app/vexbrindle/window/ClickLabel.h"
#include "app/vexbrindle/window/WindowIcon.h"
#include "app/vexbrindle/window/frmVexbrindle.h"
#include "app/vexbrindle/window/frmVexbrindleDesign.h"
#include "progressbar/widget/XPProgressBar.h"

#include "platform/gdi/gdi.h"
#include "tests/support/MessageBoxAnswerer.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vex::qtui {
namespace {

using testing::MessageBoxAnswerer;
using updater::LabelId;
using updater::TimerId;

QRgb FromGdi(Long c) {
    return gdi::BgrColor(c).ToQRgb();
}

// A window whose events are written down and whose end is recorded instead of quitting.
class RecordedWindow {
  public:
    RecordedWindow() {
        window.SetEndAction([this] { ++ends; });
        for (auto [signal, name] : {std::pair{&frmVexbrindle::Form_Load, "Form_Load"},
                                    std::pair{&frmVexbrindle::Form_Activate, "Form_Activate"},
                                    std::pair{&frmVexbrindle::Timer1_Timer, "Timer1_Timer"},
                                    std::pair{&frmVexbrindle::Timer2_Timer, "Timer2_Timer"},
                                    std::pair{&frmVexbrindle::lblClose_Click, "lblClose_Click"}}) {
            QObject::connect(&window, signal, &window, [this, name] {
                if (std::string(name) != "Timer1_Timer") events.push_back(name);
            });
        }
    }

    // Starts the window and returns once Form_Activate has been raised.
    void StartAndActivate() {
        QSignalSpy activated(&window, &frmVexbrindle::Form_Activate);
        window.Start();
        ASSERT_TRUE(activated.wait(10000));
    }

    int Count(const std::string& name) const {
        return int(std::count(events.begin(), events.end(), name));
    }

    frmVexbrindle window;
    std::vector<std::string> events;
    int ends = 0;
};

// --- The design ---------------------------------------------------------------------------

struct PlaceCase {
    const char* name;
    QRect pixels; // 15 twips to the pixel
};

TEST(UpdaterWindowDesign, ControlsSitWhereTheDesignPutsThem) {
    RecordedWindow w;
    const PlaceCase cases[] = {
        {"Label1", {24, 16, 201, 17}},   {"ProgressBar1", {16, 40, 233, 17}},
        {"Label2", {24, 64, 225, 17}},   {"Label3", {24, 80, 217, 17}},
        {"lblClose", {232, 16, 17, 17}},
    };
    for (const PlaceCase& c : cases) {
        auto* widget = w.window.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.pixels) << c.name;
    }
    // A fixed 268 x 102 client area.
    EXPECT_EQ(w.window.minimumSize(), QSize(268, 102));
    EXPECT_EQ(w.window.maximumSize(), QSize(268, 102));
    // The close label lies right of the message line.
    EXPECT_GT(w.window.lblClose()->geometry().left(), w.window.Label1()->geometry().right());
}

TEST(UpdaterWindowDesign, FrameCanBeMovedButNotResized) {
    RecordedWindow w;
    const Qt::WindowFlags flags = w.window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint); // a title bar to move it by
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::FramelessWindowHint);
}

TEST(UpdaterWindowDesign, StartsWithBlankLinesAndTheCloseLabelHidden) {
    RecordedWindow w;
    w.window.show();
    for (QLabel* line : {w.window.Label1(), w.window.Label2(), w.window.Label3()}) {
        EXPECT_TRUE(line->text().isEmpty()) << line->objectName().toStdString();
        EXPECT_TRUE(line->isVisible()) << line->objectName().toStdString();
    }
    EXPECT_EQ(w.window.lblClose()->text(), "X");
    EXPECT_FALSE(w.window.lblClose()->isVisible());
}

TEST(UpdaterWindowDesign, FontsAndColours) {
    RecordedWindow w;
    const QFont message = w.window.Label1()->font();
    EXPECT_EQ(message.families().value(0), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(message.pointSizeF(), 9.75);
    EXPECT_EQ(message.weight(), QFont::Normal);
    const QFont close = w.window.lblClose()->font();
    EXPECT_EQ(close.families().value(0), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(close.pointSizeF(), 9.75);
    EXPECT_EQ(close.weight(), QFont::Bold);
    // The status and time lines use the window's font, the desktop's own.
    EXPECT_EQ(w.window.Label2()->font(), w.window.font());
    EXPECT_EQ(w.window.Label3()->font(), w.window.font());

    EXPECT_EQ(w.window.palette().color(QPalette::Window).rgb(), qRgb(224, 224, 224));
    EXPECT_EQ(w.window.lblClose()->palette().color(QPalette::WindowText).rgb(),
              FromGdi(gdi::GetSysColor(gdi::COLOR_ACTIVECAPTION)));

    // On the screen: the background everywhere outside the bar, including behind the labels.
    w.window.SetCaption(LabelId::Label2, "Status: Server down..");
    w.window.SetVisible(LabelId::lblClose, true);
    const QImage shot = w.window.grab().toImage();
    for (QPoint p : {QPoint(2, 2), QPoint(265, 99), QPoint(240, 70), QPoint(24 + 220, 64 + 8)})
        EXPECT_EQ(shot.pixel(p), qRgb(224, 224, 224)) << p.x() << "," << p.y();
    // The "X" is drawn in system colour 2.
    bool closeInk = false;
    for (int y = 16; y < 33; ++y)
        for (int x = 232; x < 249; ++x)
            closeInk |= shot.pixel(x, y) == FromGdi(gdi::GetSysColor(gdi::COLOR_ACTIVECAPTION));
    EXPECT_TRUE(closeInk);
}

TEST(UpdaterWindowDesign, BarIsRestoredFromTheWindowsStoredEntries) {
    RecordedWindow w;
    // Through the widget's interface: the window holds the bar of the shared library.
    const xpbar::XPProgressBar& bar = *w.window.ProgressBar1();
    EXPECT_EQ(bar.colorCode(), 0x0000C000u);
    EXPECT_EQ(bar.font().family(), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(bar.font().pointSizeF(), 8.25);
    EXPECT_EQ(bar.font().weight(), QFont::Normal);
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.barStyle(), xpbar::XPProgressBar::XPBlocks);
    EXPECT_FALSE(bar.isTextVisible());
    EXPECT_EQ(bar.brushStyle(), 4);
    EXPECT_EQ(bar.value(), 0);
}

TEST(UpdaterWindowDesign, TabAndReadingOrderFollowTheDesign) {
    RecordedWindow w;
    QStringList order;
    for (QObject* child : w.window.children())
        if (child->isWidgetType()) order << child->objectName();
    EXPECT_EQ(order, QStringList({"Label1", "ProgressBar1", "Label2", "Label3", "lblClose"}));

    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&w.window);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->text(QAccessible::Name), "Vexbrindle");
    w.window.SetCaption(LabelId::Label1, "Please Wait ..");
    ASSERT_EQ(a11y->childCount(), 5);
    EXPECT_EQ(a11y->child(0)->text(QAccessible::Name), "Please Wait ..");
    EXPECT_EQ(a11y->child(1)->role(), QAccessible::ProgressBar);
    EXPECT_EQ(a11y->child(4)->role(), QAccessible::Button);
    EXPECT_EQ(a11y->child(4)->text(QAccessible::Name), "Close");
}

TEST(UpdaterWindowDesign, IconHasBothSizesInSixteenColours) {
    for (int size : {16, 32}) {
        const QImage icon = DrawWindowIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        int opaque = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb p = icon.pixel(x, y);
                if (qAlpha(p) == 0) continue;
                ++opaque;
                EXPECT_EQ(qAlpha(p), 255) << size << " at " << x << "," << y;
                EXPECT_NE(std::find(kIconPalette.begin(), kIconPalette.end(), p),
                          kIconPalette.end())
                    << size << " at " << x << "," << y;
            }
        }
        EXPECT_GT(opaque, size * size / 3) << size;
    }
    const QList<QSize> sizes = WindowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

// --- Start-up and events -------------------------------------------------------------------

TEST(UpdaterWindowEvents, LoadThenShowThenActivateOnce) {
    RecordedWindow w;
    bool visibleAtLoad = true;
    QObject::connect(&w.window, &frmVexbrindle::Form_Load, &w.window,
                     [&] { visibleAtLoad = w.window.isVisible(); });
    bool visibleAtActivate = false;
    MessageBoxAnswerer answerer;
    QObject::connect(&w.window, &frmVexbrindle::Form_Activate, &w.window, [&] {
        visibleAtActivate = w.window.isVisible();
        // A message box takes the activation away and gives it back when it closes.
        w.window.MsgBox("first", updater::vbOKOnly, "");
    });
    w.StartAndActivate();
    EXPECT_FALSE(visibleAtLoad);
    EXPECT_TRUE(visibleAtActivate);
    EXPECT_TRUE(w.window.Timer1().isActive());
    EXPECT_FALSE(w.window.Timer2().isActive());

    // Activation and paints come again; the run does not.
    w.window.activateWindow();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&w.window, &activate);
    w.window.repaint();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Count("Form_Load"), 1);
    EXPECT_EQ(w.Count("Form_Activate"), 1);
    EXPECT_EQ(answerer.seen().size(), 1u);
}

TEST(UpdaterWindowEvents, TimersFollowTheRequestedIntervals) {
    RecordedWindow w;
    w.window.Start();
    EXPECT_EQ(w.window.Timer1().interval(), kTimer1Interval);
    w.window.SetTimerInterval(TimerId::Timer2, 1000);
    EXPECT_TRUE(w.window.Timer2().isActive());
    EXPECT_EQ(w.window.Timer2().interval(), 1000);
    w.window.SetTimerInterval(TimerId::Timer2, 0);
    EXPECT_FALSE(w.window.Timer2().isActive());
    // A tick of Timer2 reaches the handlers as Timer2_Timer.
    w.window.SetTimerInterval(TimerId::Timer2, 1);
    QSignalSpy tick(&w.window, &frmVexbrindle::Timer2_Timer);
    EXPECT_TRUE(tick.wait(10000));
}

TEST(UpdaterWindowEvents, ClickingTheCloseLabel) {
    struct Case {
        const char* name;
        QPoint press, release;
        int clicks;
    };
    const Case cases[] = {
        {"a click on the X", {8, 8}, {8, 8}, 1},
        {"the user moves away before letting go", {8, 8}, {40, 8}, 0},
    };
    for (const Case& c : cases) {
        RecordedWindow w;
        w.window.show();
        w.window.SetVisible(LabelId::lblClose, true);
        QTest::mousePress(w.window.lblClose(), Qt::LeftButton, {}, c.press);
        QTest::mouseRelease(w.window.lblClose(), Qt::LeftButton, {}, c.release);
        EXPECT_EQ(w.Count("lblClose_Click"), c.clicks) << c.name;
    }
}

TEST(UpdaterWindowEvents, AssistiveTechnologyCanPressTheCloseLabel) {
    RecordedWindow w;
    w.window.show();
    w.window.SetVisible(LabelId::lblClose, true);
    QAccessibleInterface* close = QAccessible::queryAccessibleInterface(w.window.lblClose());
    ASSERT_NE(close->actionInterface(), nullptr);
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(w.Count("lblClose_Click"), 1);
}

TEST(UpdaterWindowEvents, ClosingThroughTheWindowManagerIsTheCloseLabel) {
    RecordedWindow w;
    w.window.show();
    // The handlers decide: here they end the program, as the close label does.
    QObject::connect(&w.window, &frmVexbrindle::lblClose_Click, &w.window, [&] { w.window.End(); });
    EXPECT_TRUE(w.window.close());
    EXPECT_EQ(w.Count("lblClose_Click"), 1);
    EXPECT_EQ(w.ends, 1);
}

TEST(UpdaterWindowEvents, WindowManagerCloseStaysOpenIfTheHandlersDoNotEnd) {
    RecordedWindow w;
    w.window.show();
    EXPECT_FALSE(w.window.close());
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(w.Count("lblClose_Click"), 1);
}

// --- What the window does for the run ------------------------------------------------------

TEST(UpdaterWindowRequests, CaptionsAreShownAsPlainText) {
    RecordedWindow w;
    w.window.SetCaption(LabelId::Label1, "Completed Downloading Updated Version <b>2</b>");
    EXPECT_EQ(w.window.Label1()->textFormat(), Qt::PlainText);
    EXPECT_EQ(w.window.Label1()->text(), "Completed Downloading Updated Version <b>2</b>");
}

TEST(UpdaterWindowRequests, BarValueIsShownOnTheBar) {
    RecordedWindow w;
    w.window.SetBarValue(25);
    EXPECT_EQ(w.window.ProgressBar1()->value(), 25);
}

TEST(UpdaterWindowRequests, NormalStateUndoesMinimisedAndMaximised) {
    RecordedWindow w;
    w.window.setWindowState(Qt::WindowMinimized);
    w.window.SetNormalState();
    EXPECT_EQ(w.window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), 0);
}

TEST(UpdaterWindowRequests, MessageBoxesAndTheirAnswers) {
    struct Case {
        const char* name;
        int style;
        QString title;
        QMessageBox::StandardButton click;
        QMessageBox::StandardButtons expectedButtons;
        QString expectedTitle;
        int expectedAnswer;
    };
    const Case cases[] = {
        {"OK box answers vbOK", updater::vbOKOnly, "", QMessageBox::Ok, QMessageBox::Ok,
         "Vexbrindle", updater::vbOK},
        {"Yes answers vbYes", updater::vbYesNo, "Restart Drixa Billing", QMessageBox::Yes,
         QMessageBox::Yes | QMessageBox::No, "Restart Drixa Billing", updater::vbYes},
        {"No answers vbNo", updater::vbYesNo, "Restart Drixa Billing", QMessageBox::No,
         QMessageBox::Yes | QMessageBox::No, "Restart Drixa Billing", updater::vbNo},
    };
    for (const Case& c : cases) {
        RecordedWindow w;
        MessageBoxAnswerer answerer({c.click});
        const int answer =
            w.window.MsgBox("Would you like to restart the application now? ", c.style, c.title);
        EXPECT_EQ(answer, c.expectedAnswer) << c.name;
        ASSERT_EQ(answerer.seen().size(), 1u) << c.name;
        EXPECT_EQ(answerer.seen()[0].text, "Would you like to restart the application now? ");
        EXPECT_EQ(answerer.seen()[0].title, c.expectedTitle) << c.name;
        EXPECT_EQ(answerer.seen()[0].buttons, c.expectedButtons) << c.name;
    }
}

TEST(UpdaterWindowRequests, UnattendedBoxesTakeTheirDefaultButton) {
    RecordedWindow w;
    w.window.SetAutoAnswer(1);
    EXPECT_EQ(w.window.MsgBox("done", updater::vbOKOnly, ""), updater::vbOK);
    EXPECT_EQ(w.window.MsgBox("restart?", updater::vbYesNo, "Restart Drixa Billing"),
              updater::vbYes);
}

TEST(UpdaterWindowRequests, ShellGoesToTheStartAction) {
    RecordedWindow w;
    EXPECT_FALSE(w.window.Shell("DrixaBilling2.exe", updater::vbMinimizedFocus));
    QString started;
    int style = -1;
    w.window.SetShellAction([&](const QString& program, int windowStyle) {
        started = program;
        style = windowStyle;
        return true;
    });
    EXPECT_TRUE(w.window.Shell("DrixaBilling2.exe", updater::vbMinimizedFocus));
    EXPECT_EQ(started, "DrixaBilling2.exe");
    EXPECT_EQ(style, 2);
}

TEST(UpdaterWindowRequests, EndStopsEverythingAtOnce) {
    RecordedWindow w;
    w.StartAndActivate();
    w.window.SetTimerInterval(TimerId::Timer2, 1000);
    w.window.End();
    EXPECT_EQ(w.ends, 1);
    EXPECT_TRUE(w.window.HasEnded());
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_FALSE(w.window.Timer1().isActive());
    EXPECT_FALSE(w.window.Timer2().isActive());

    // Nothing the run might still ask for happens any more, and no event is raised.
    const size_t eventsAtEnd = w.events.size();
    MessageBoxAnswerer answerer;
    EXPECT_EQ(w.window.MsgBox("late", updater::vbOKOnly, ""), 0);
    EXPECT_TRUE(answerer.seen().empty());
    w.window.SetCaption(LabelId::Label1, "late");
    EXPECT_TRUE(w.window.Label1()->text().isEmpty());
    w.window.SetTimerInterval(TimerId::Timer2, 1000);
    EXPECT_FALSE(w.window.Timer2().isActive());
    emit w.window.lblClose()->clicked();
    w.window.close();
    w.window.End();
    EXPECT_EQ(w.ends, 1);
    EXPECT_EQ(w.events.size(), eventsAtEnd);
}

} // namespace
} // namespace vex::qtui
