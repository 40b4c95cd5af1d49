#include "app/vexbrindle/console/TerminalForm.h"

#include "app/vexbrindle/console/TerminalText.h"
#include "updater/UpdateForm.h"

#include "platform/runtime/program.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

using vex::updater::LabelId;
using vex::updater::TimerId;

namespace {

// A terminal shows a change within a tenth of a second as immediate; ticking faster would only
// burn processor time.
constexpr int kStatusTickMs = 100;

} // namespace

TerminalForm::TerminalForm(Terminal terminal) : terminal_(terminal) {}

void TerminalForm::Attach(vex::updater::UpdateForm& form) {
    QObject::connect(&timer1_, &QTimer::timeout, [&form] { form.Timer1_Timer(); });
    QObject::connect(&timer2_, &QTimer::timeout, [&form] { form.Timer2_Timer(); });
    timer1_.start(kStatusTickMs);
}

void TerminalForm::SetCaption(LabelId label, const QString& text) {
    switch (label) {
    case LabelId::Label1:
        if (!text.isEmpty()) PrintLine(text);
        return;
    case LabelId::Label2:
        label2_ = text;
        break;
    case LabelId::Label3:
        label3_ = text;
        break;
    case LabelId::lblClose:
        return;
    }
    DrawStatusLine();
}

void TerminalForm::SetVisible(LabelId, bool) {}

void TerminalForm::SetTimerInterval(TimerId timer, int milliseconds) {
    if (timer != TimerId::Timer2) return; // Timer1 keeps the terminal's own rate
    if (milliseconds > 0) {
        timer2_.start(milliseconds);
    } else {
        timer2_.stop();
    }
}

void TerminalForm::SetBarValue(vex::Long value) {
    barValue_ = value;
    DrawStatusLine();
}

int TerminalForm::MsgBox(const QString& prompt, int buttons, const QString& title) {
    const QString text =
        title == vex::runtime::kAppTitle ? prompt : QStringLiteral("%1: %2").arg(title, prompt);
    if (buttons != vex::updater::vbYesNo) {
        lastMessage_ = prompt;
        PrintLine(text);
        return vex::updater::vbOK;
    }
    // The question's text ends with a blank already.
    const QString question = text + QStringLiteral("[y/N] ");
    if (terminal_.bAssumeYes || !terminal_.bInIsTerminal) {
        PrintLine(question + (terminal_.bAssumeYes ? QStringLiteral("y") : QStringLiteral("n")));
        return terminal_.bAssumeYes ? vex::updater::vbYes : vex::updater::vbNo;
    }
    ClearStatusLine();
    std::fputs(ForTerminal(question).toLocal8Bit().constData(), terminal_.out);
    std::fflush(terminal_.out);
    const std::optional<QString> reply = ReadAnswer();
    if (!reply) return vex::updater::vbNo; // the program is ending: the run asks nothing more
    return *reply == QLatin1String("y") || *reply == QLatin1String("yes") ? vex::updater::vbYes
                                                                          : vex::updater::vbNo;
}

std::optional<QString> TerminalForm::ReadAnswer() {
    // The event loop runs while the user thinks, so Ctrl+C and termination end the program at
    // the question as they do anywhere else, instead of passing for the answer No.
    bAsking_ = true;
    {
        QEventLoop loop;
        QSocketNotifier typed(fileno(terminal_.in), QSocketNotifier::Read);
        QObject::connect(&typed, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        loop.exec();
    }
    bAsking_ = false;
    if (bEnded_) return std::nullopt;
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, terminal_.in)) std::fputc('\n', terminal_.out);
    return QString::fromLocal8Bit(answer).trimmed().toLower();
}

bool TerminalForm::Shell(const QString& program, int windowStyle) {
    return vex::runtime::StartProgram(program, windowStyle);
}

void TerminalForm::End() {
    if (bEnded_) return;
    bEnded_ = true;
    timer1_.stop();
    timer2_.stop();
    // The shell's prompt starts on a line of its own.
    if ((bStatusOnScreen_ || bAsking_) && terminal_.bOutIsTerminal) std::fputc('\n', terminal_.out);
    std::fflush(terminal_.out);
    QCoreApplication::exit(endStatus_);
}

void TerminalForm::ReportStopped() {
    const QString why =
        lastMessage_.isEmpty() ? QStringLiteral("the update page holds no version") : lastMessage_;
    PrintLine(QStringLiteral("The update stopped: %1").arg(why));
    SetEndStatus(1);
    End();
}

void TerminalForm::PrintLine(const QString& text) {
    ClearStatusLine();
    std::fputs(ForTerminal(text).toLocal8Bit().constData(), terminal_.out);
    std::fputc('\n', terminal_.out);
    if (terminal_.bOutIsTerminal) DrawStatusLine();
    std::fflush(terminal_.out);
}

QString TerminalForm::StatusLine() const {
    QStringList parts;
    if (!label2_.isEmpty()) parts << label2_;
    if (!label3_.isEmpty()) parts << label3_;
    if (parts.isEmpty()) return {};
    return QStringLiteral("[%1%] ").arg(barValue_, 3) + parts.join(QStringLiteral("  "));
}

void TerminalForm::Hide() {
    ClearStatusLine();
    bHidden_ = true;
}

void TerminalForm::DrawStatusLine() {
    if (bHidden_) return;
    const QString line = ForTerminal(StatusLine());
    if (line.isEmpty()) return;
    if (terminal_.bOutIsTerminal) {
        if (line == shownStatus_ && bStatusOnScreen_) return;
        std::fprintf(terminal_.out, "\r\033[K%s", line.toLocal8Bit().constData());
        bStatusOnScreen_ = true;
    } else {
        if (line == shownStatus_) return;
        std::fprintf(terminal_.out, "%s\n", line.toLocal8Bit().constData());
    }
    shownStatus_ = line;
    std::fflush(terminal_.out);
}

void TerminalForm::ClearStatusLine() {
    if (!bStatusOnScreen_) return;
    std::fputs("\r\033[K", terminal_.out);
    bStatusOnScreen_ = false;
}
