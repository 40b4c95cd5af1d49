#include "updater/UpdateForm.h"

#include "updater/NewExecutable.h"
#include "updater/SignedDownload.h"
#include "updater/VendorKey.h"

#include "platform/runtime/program.h"

#include <QDateTime>
#include <QUrl>

namespace vex::updater {

namespace {

// Texts of the run and of the status lines.
const QString kChecking = QStringLiteral("Checking For Updated Version ...");
const QString kConnected = QStringLiteral("Connected..");
const QString kDownloading = QStringLiteral("Downloading Updates..");
const QString kPleaseWait = QStringLiteral("Please Wait ..");
const QString kNoUpdates = QStringLiteral("There are no updates available at this time");
const QString kRestartQuestion = QStringLiteral("Would you like to restart the application now? ");
const QString kRestartTitle = QStringLiteral("Restart Drixa Billing");
const QString kCompleted = QStringLiteral("Completed Downloading Updated Version ");
const QString kRename = QStringLiteral("You must rename DrixaBilling2.exe to DrixaBilling.exe now");
const QString kServerDown = QStringLiteral("Status: Server down..");

constexpr int kConnectTimeInterval = 1000;
constexpr Long kBarStart = 3;
constexpr Long kBarPageFetched = 25;
constexpr Long kBarDone = 100;
constexpr Integer kMaxConnectSeconds = 32767;

QString JoinUrl(const QString& base, const QString& path) {
    QString trimmed = base;
    while (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed + path;
}

} // namespace

QString DefaultServerBaseUrl() {
    return QStringLiteral(VEXBRINDLE_SERVER_URL);
}

UpdateSettings UpdateSettings::FromEnvironment() {
    QString server = qEnvironmentVariable("VEXBRINDLE_SERVER_URL").trimmed();
    if (server.isEmpty()) server = DefaultServerBaseUrl();
    return {vex::runtime::ProgramFolder(), server, vex::runtime::OwnVersionText(),
            BuiltInPublicKey()};
}

QDate UpdateSettings::DefaultTodayUtc() {
    return QDateTime::currentDateTimeUtc().date();
}

QString UpdateSettings::UpdatePageUrl() const {
    return JoinUrl(serverBaseUrl, kUpdatePagePath);
}

QString UpdateSettings::NewExecutableUrl() const {
    return JoinUrl(serverBaseUrl, kNewExecutablePath);
}

UpdateForm::UpdateForm(FormWindow& window, vex::inet::Inet& inet1, UpdateSettings settings)
    : window_(window), Inet1(inet1), settings_(std::move(settings)) {}

void UpdateForm::Form_Load() {
    if (bEnding_) return;
    window_.SetNormalState();
    sStatus_ = QStringLiteral("Idle");
    iConnectSeconds_ = 0;
    sLocalVersion_ = ReadLocalVersion(settings_.programFolder, settings_.ownVersion);
    // A run killed during a download left its temporary file; nothing else would remove it.
    RemoveLeftoverDownloads(settings_.UpdatePageUrl(), settings_.programFolder + "/Update/");
    RemoveLeftoverDownloads(settings_.NewExecutableUrl(), settings_.programFolder);
    RemoveLeftoverPartialExecutables(settings_.programFolder, settings_.NewExecutableUrl());
}

// The whole update run. Each step that can hand control to the event loop (a fetch, a message
// box) is followed by a check whether the program has been ended meanwhile; ending stops the
// run there. Any other failure stops the run silently where it stands.
void UpdateForm::Form_Activate() {
    if (bEnding_) return;
    iConnectSeconds_ = 0;
    window_.SetTimerInterval(TimerId::Timer2, kConnectTimeInterval);
    window_.SetBarValue(kBarStart);
    sStatus_ = kChecking;

    const bool bPageFetched = FetchUpdatePage();
    if (bEnding_) return;
    if (!bPageFetched) {
        window_.SetBarValue(kBarStart);
        StopConnectionTime();
        return;
    }
    window_.SetBarValue(kBarPageFetched);
    sStatus_ = kConnected;
    CompareAndFinish();
}

bool UpdateForm::FetchUpdatePage() {
    const QString sFolder = settings_.programFolder + "/Update/";
    const DownloadOptions options{kUpdatePageCap, false};
    // A key that is configured but unusable is never taken for no key: the run stops here,
    // before any traffic, as after a failed fetch.
    const VendorKey vendor = FindVendorKey(settings_.publicKey, settings_.programFolder);
    if (!vendor.failure.isEmpty()) {
        window_.MsgBox(vendor.failure, vbOKOnly, vex::runtime::kAppTitle);
        return false;
    }
    vendorKey_ = vendor.key;
    if (!vendorKey_) {
        return DownloadFile(Inet1, settings_.UpdatePageUrl(), sFolder, window_, options);
    }
    return DownloadSignedFile(Inet1, settings_.UpdatePageUrl(), sFolder, window_, options,
                              *vendorKey_,
                              {.bHonourExpiry = true, .todayUtc = settings_.todayUtc()});
}

bool UpdateForm::FetchNewExecutable(const QString& sServerVersion) {
    NewExecutableSource source{
        settings_.programFolder, settings_.NewExecutableUrl(), vendorKey_, {}, [this] {
            return bEnding_;
        }};
    // Binds the executable to the verified page, so an older signed one cannot stand in for it.
    if (vendorKey_) source.versionToken = "version:" + sServerVersion.toLatin1();
    return FetchNewExecutableForms(Inet1, window_, source);
}

void UpdateForm::CompareAndFinish() {
    const std::optional<QString> sServerVersion =
        ReadFirstField(settings_.programFolder + "/Update/update.html");
    if (!sServerVersion) return; // stopped: the page holds no field

    const bool bUpdateExists = VersionText(*sServerVersion) > VersionText(sLocalVersion_);
    if (!bUpdateExists) {
        FinishWithoutUpdate();
        return;
    }
    window_.SetCaption(LabelId::Label1, kPleaseWait);
    DownloadNewExecutable(*sServerVersion);
}

void UpdateForm::FinishWithoutUpdate() {
    window_.SetCaption(LabelId::Label1, kNoUpdates);
    window_.SetBarValue(kBarStart);
    window_.MsgBox(kNoUpdates, vbOKOnly, vex::runtime::kAppTitle);
    if (bEnding_) return;
    StopConnectionTime();
    window_.Hide();
    const int answer = window_.MsgBox(kRestartQuestion, vbYesNo, kRestartTitle);
    if (bEnding_) return;
    if (answer == vbYes) {
        // A failure to start is not reported: the program ends all the same.
        window_.Shell(kNewExecutableName, vbMinimizedFocus);
    }
    EndProgram();
}

void UpdateForm::DownloadNewExecutable(const QString& sServerVersion) {
    sStatus_ = kDownloading;
    const bool bFetched = FetchNewExecutable(sServerVersion);
    if (bEnding_) return;
    if (!bFetched) {
        window_.SetBarValue(kBarStart);
        StopConnectionTime();
        return;
    }
    window_.SetCaption(LabelId::Label1, kCompleted + sServerVersion);
    window_.SetBarValue(kBarDone);
    StopConnectionTime();
    window_.MsgBox(kRename, vbOKOnly, vex::runtime::kAppTitle);
    if (bEnding_) return;
    EndProgram();
}

void UpdateForm::StopConnectionTime() {
    window_.SetTimerInterval(TimerId::Timer2, 0);
}

void UpdateForm::Timer1_Timer() {
    if (bEnding_) return;
    if (Inet1.StillExecuting()) {
        window_.SetCaption(LabelId::Label2, QStringLiteral("Status: ") + sStatus_);
        window_.SetVisible(LabelId::lblClose, false);
    } else {
        window_.SetCaption(LabelId::Label2, kServerDown);
        window_.SetVisible(LabelId::lblClose, true);
    }
}

void UpdateForm::Timer2_Timer() {
    if (bEnding_) return;
    // The count stops at the largest 16-bit value instead of overflowing (about nine hours).
    if (iConnectSeconds_ < kMaxConnectSeconds) ++iConnectSeconds_;
    window_.SetCaption(LabelId::Label3,
                       QStringLiteral("Connection Time: %1 Seconds").arg(iConnectSeconds_));
}

void UpdateForm::lblClose_Click() {
    if (bEnding_) return;
    EndProgram();
}

void UpdateForm::EndProgram() {
    bEnding_ = true;
    Inet1.Abandon();
    window_.End();
}

} // namespace vex::updater
