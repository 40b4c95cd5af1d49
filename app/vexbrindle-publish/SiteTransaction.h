#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace vex::publish {

// Changes to the site folder that a client never sees half of, and that a failure undoes.
// Every new file is first written whole into a staging folder inside the site (the same file
// system), then put in place with one rename each; a file it replaces and anything withdrawn
// are kept aside in the staging folder until the end, so that Rollback() can put back
// exactly what stood before, the latest change first. Only one run at a time may change a site:
// Begin() takes a lock on the folder that another run's Begin() finds taken.
class SiteTransaction {
  public:
    explicit SiteTransaction(QString siteFolder);
    // A transaction that did not finish is rolled back; the staging folder goes in any case.
    ~SiteTransaction();

    SiteTransaction(const SiteTransaction&) = delete;
    SiteTransaction& operator=(const SiteTransaction&) = delete;

    // Takes the site for this run and makes the staging folder. Staging folders that an
    // interrupted run left behind are removed. False with why.
    bool Begin(QString& why);

    // Where the file that is to appear at `relative` (to the site) is written first; the
    // folders on its way are made inside the staging folder.
    QString Staged(const QString& relative) const;

    // Puts the staged file at `relative` with one rename, making missing folders on its way.
    // False with why, the site then as before this call.
    bool Place(const QString& relative, QString& why);

    // Takes what stands at `relative`, a file or a folder, out of the site with one rename.
    bool Withdraw(const QString& relative, QString& why);

    // The changes stand: the staging folder, with what was replaced or withdrawn, goes.
    // Returns a warning when something of it could not be removed (the site itself is
    // complete), empty otherwise.
    QString Finish();

    // Undoes every change, the latest first. Returns what could not be undone, or empty.
    QString Rollback();

  private:
    struct Change {
        enum class Kind { FolderMade, Placed, Withdrawn } kind;
        QString relative;
        QString keptAside; // the file replaced or the thing withdrawn, in the staging folder
    };

    QString InSite(const QString& relative) const;
    QString KeptAsidePath();
    bool MakeFoldersOnTheWay(const QString& relative, QString& why);
    void SyncChangedFolders() const;

    QString site_;
    int lockFd_ = -1;
    std::unique_ptr<QTemporaryDir> staging_;
    QList<Change> changes_;
    int keptAside_ = 0;
    bool finished_ = false;
};

} // namespace vex::publish
