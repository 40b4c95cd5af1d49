#pragma once

#include "platform/runtime/types.h"

#include <QString>

namespace vex::updater {

enum class LabelId { Label1, Label2, Label3, lblClose };
enum class TimerId { Timer1, Timer2 };

// Message-box styles and answers.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
inline constexpr int vbOK = 1;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Window style for starting a program: minimised, with the focus.
inline constexpr int vbMinimizedFocus = 2;

// Everything the update run and the status handlers do to their window. The Qt window, the
// terminal front end and the tests' recording fake implement it.
class FormWindow {
  public:
    virtual ~FormWindow() = default;

    virtual void SetCaption(LabelId label, const QString& text) = 0;
    virtual void SetVisible(LabelId label, bool visible) = 0;
    // Milliseconds; 0 stops the timer.
    virtual void SetTimerInterval(TimerId timer, int milliseconds) = 0;
    virtual void SetBarValue(Long value) = 0;
    virtual void Hide() = 0;
    virtual void SetNormalState() = 0;
    // Shows a message box and waits for the answer: vbOK, vbYes or vbNo.
    virtual int MsgBox(const QString& prompt, int buttons, const QString& title) = 0;
    // Starts a program without waiting for it; false when it could not be started.
    virtual bool Shell(const QString& program, int windowStyle) = 0;
    // Ends the program at once: no handler runs afterwards, a transfer under way is abandoned.
    virtual void End() = 0;
    // Something worth a line of its own that is not shown as a failure, e.g. a cheaper form of
    // the update that could not be used. The window shows nothing.
    virtual void Note(const QString& text) { (void)text; }
};

} // namespace vex::updater
