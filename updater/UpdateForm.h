#pragma once

#include "updater/FormWindow.h"
#include "updater/Version.h"
#include "updater/modUpdate.h"

#include "platform/inet/Inet.h"
#include "platform/runtime/types.h"
#include "platform/signature/PublicKey.h"

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

namespace vex::updater {

inline const QString kUpdatePagePath = QStringLiteral("/vexbrindle/update.html");
inline const QString kNewExecutablePath = QStringLiteral("/vexbrindle/DrixaBilling2.exe");
inline const QString kNewExecutableName = QStringLiteral("DrixaBilling2.exe");

// The update page is small; a larger body means a broken or hostile server.
inline constexpr qint64 kUpdatePageCap = 1024 * 1024;

// Where the run looks and what it falls back to. FromEnvironment() gives the real values.
struct UpdateSettings {
    QString programFolder; // without a trailing separator
    QString serverBaseUrl; // scheme, host, optional port; a trailing "/" is allowed
    QString ownVersion;    // the fallback local version, e.g. "1.0.0"
    // The vendor's public key built into the program (its base64 line); empty: none, and the
    // key file Update/vexbrindle.pub is looked for instead.
    QString publicKey{};
    // The current day in UTC, against which a signed page's expiry is judged.
    std::function<QDate()> todayUtc = DefaultTodayUtc;

    static QDate DefaultTodayUtc();

    // The program's folder, the server from VEXBRINDLE_SERVER_URL or else the build's default,
    // the updater's own version and the built-in key. Needs a QCoreApplication.
    static UpdateSettings FromEnvironment();

    QString UpdatePageUrl() const;
    QString NewExecutableUrl() const;
};

// The server base URL compiled into the program.
QString DefaultServerBaseUrl();

// The window-level state and handlers of the updater window: the update run (Form_Load,
// Form_Activate) and the status handlers (Timer1_Timer, Timer2_Timer, lblClose_Click). The window
// that owns an UpdateForm raises its events here; the handlers act on the window only through
// FormWindow and on the network only through Inet1.
class UpdateForm {
  public:
    UpdateForm(FormWindow& window, vex::inet::Inet& inet1, UpdateSettings settings);

    UpdateForm(const UpdateForm&) = delete;
    UpdateForm& operator=(const UpdateForm&) = delete;

    void Form_Load();
    void Form_Activate();
    void Timer1_Timer();
    void Timer2_Timer();
    void lblClose_Click();

    const QString& sLocalVersion() const { return sLocalVersion_; }
    const QString& sStatus() const { return sStatus_; }
    Integer iConnectSeconds() const { return iConnectSeconds_; }

    // True once the program has been ended; no handler does anything afterwards.
    bool Ending() const { return bEnding_; }

    const UpdateSettings& settings() const { return settings_; }

  private:
    // Ends the program at once: abandons a fetch under way, then lets the window end.
    void EndProgram();
    // Run step 5, and the fetch of the new executable: signed when the vendor has a key.
    bool FetchUpdatePage();
    bool FetchNewExecutable(const QString& sServerVersion);
    // The run's steps after the update page has been fetched.
    void CompareAndFinish();
    void FinishWithoutUpdate();
    void DownloadNewExecutable(const QString& sServerVersion);
    void StopConnectionTime();

    FormWindow& window_;
    vex::inet::Inet& Inet1;
    UpdateSettings settings_;

    QString sLocalVersion_;
    QString sStatus_ = QStringLiteral("Idle");
    Integer iConnectSeconds_ = 0;
    bool bEnding_ = false;
    // The vendor's key, found before the first fetch; none: updates are not signed.
    std::optional<vex::signature::PublicKey> vendorKey_;
};

} // namespace vex::updater
