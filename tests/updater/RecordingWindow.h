#pragma once

#include "updater/FormWindow.h"
#include "updater/UpdateForm.h"

#include <QStringList>
#include <QTimer>

#include <functional>

// A window that records what the run does to it, answers message boxes from a script, and drives
// the form's timers with real QTimers so that ticks during a transfer can be counted.
class RecordingWindow : public vex::updater::FormWindow {
  public:
    QStringList events;
    int restartAnswer = vex::updater::vbNo;
    bool shellResult = true;
    int timer1Ticks = 0;
    int timer2Ticks = 0;
    bool ended = false;
    // Called on every tick of Timer1 after the form's handler, with the tick's number.
    std::function<void(int)> onTimer1;
    // Called at every message box before it is answered.
    std::function<void(const QString&)> onMsgBox;

    QString label1, label2, label3;
    bool closeVisible = false;
    vex::Long barValue = 0;

    void Attach(vex::updater::UpdateForm& form, int timer1Ms = 1) {
        QObject::connect(&timer1_, &QTimer::timeout, [this, &form] {
            form.Timer1_Timer();
            ++timer1Ticks;
            if (onTimer1) onTimer1(timer1Ticks);
        });
        QObject::connect(&timer2_, &QTimer::timeout, [this, &form] {
            ++timer2Ticks;
            form.Timer2_Timer();
        });
        timer1_.start(timer1Ms);
    }

    void SetCaption(vex::updater::LabelId label, const QString& text) override {
        using vex::updater::LabelId;
        switch (label) {
        case LabelId::Label1:
            label1 = text;
            events << "Label1=" + text;
            break;
        case LabelId::Label2:
            label2 = text;
            break;
        case LabelId::Label3:
            label3 = text;
            break;
        case LabelId::lblClose:
            break;
        }
    }
    void SetVisible(vex::updater::LabelId, bool visible) override { closeVisible = visible; }
    void SetTimerInterval(vex::updater::TimerId timer, int ms) override {
        if (timer == vex::updater::TimerId::Timer2) {
            events << QStringLiteral("Timer2=%1").arg(ms);
            // The test drives Timer2 itself unless asked to run it for real.
            if (ms > 0 && runTimer2) timer2_.start(ms);
            if (ms == 0) timer2_.stop();
        }
    }
    void SetBarValue(vex::Long value) override {
        barValue = value;
        events << QStringLiteral("Bar=%1").arg(value);
    }
    void Hide() override { events << "Hide"; }
    void SetNormalState() override { events << "Normal"; }
    int MsgBox(const QString& prompt, int buttons, const QString& title) override {
        events << QStringLiteral("MsgBox(%1|%2|%3)").arg(prompt).arg(buttons).arg(title);
        if (onMsgBox) onMsgBox(prompt);
        return buttons == vex::updater::vbYesNo ? restartAnswer : vex::updater::vbOK;
    }
    bool Shell(const QString& program, int style) override {
        events << QStringLiteral("Shell(%1|%2)").arg(program).arg(style);
        return shellResult;
    }
    void End() override {
        events << "End";
        ended = true;
        timer1_.stop();
        timer2_.stop();
    }

    // Notes are kept apart from the events: the window shows nothing of them.
    void Note(const QString& text) override { notes << text; }

    bool runTimer2 = false;
    QStringList notes;

  private:
    QTimer timer1_;
    QTimer timer2_;
};
