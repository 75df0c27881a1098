#pragma once

#include "RecoveryJournal.h"

#include "host/RecordStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class Document;
class EditorControl;
class QTimer;
struct HostServices;

// Keeps a recovery record of the document's unsaved changes in a state folder, so that a crash, a
// kill or a power cut loses at most the last couple of seconds of typing; and at start-up offers
// the records that instances no longer running left behind.
//
// Each instance owns <id>.record and holds a lock on <id>.lock while it runs (the id is made of the
// process id, its start time and the boot), so a lock that can be taken means its owner is gone.
// The record holds the edits since the text was last loaded or saved, appended about two seconds
// after typing pauses; now and then it is rewritten whole (atomically) as one snapshot: the whole
// text for a small document, otherwise the base's ranges plus what was typed. Neither costs more
// for a longer document.
class Recovery : public QObject {
    Q_OBJECT

public:
    // Documents up to this many bytes are snapshot whole, so they can be rebuilt even when their
    // file has changed or gone; longer ones are rebuilt from their file.
    static constexpr qint64 WholeTextLimit = qint64(4) << 20;

    // instanceId names this instance's files; empty means this process's own id. store writes the
    // record; null means the local file system.
    Recovery(Document& document, EditorControl& text1, HostServices& host, const QString& stateFolder,
             const QString& instanceId = QString(), std::unique_ptr<RecordStore> store = nullptr,
             QObject* parent = nullptr);
    ~Recovery() override;

    // $XDG_STATE_HOME/tolvane, or ~/.local/state/tolvane.
    static QString defaultStateFolder();

    // False when the state folder cannot be used: the program then runs without a record, and says
    // so once the document has unsaved changes.
    bool active() const { return lockFd_ >= 0; }
    QString recordPath() const;
    // How long typing must pause before the edits are written (2 s).
    void setFlushDelay(int milliseconds);

    // Writes the pending edits now.
    void flush();
    // The user left without keeping the changes (or had none): nothing is left behind.
    void finish();
    // Offers, one after the other, the records of instances that no longer run: Yes recovers,
    // No discards, Cancel keeps the record for the next start. Does nothing while the document has
    // unsaved changes of its own, and stops after a recovery (the others wait for the next start).
    void offerOrphans();

private:
    void onBytesChanged(qsizetype position, qsizetype removed, const char* inserted, qsizetype insertedLength);
    void onBaseChanged();
    void onModifiedChanged(bool modified);
    void resetEdits();
    void removeRecord();
    bool compact(const PieceText& pieces, bool piecesValid);
    bool append(const QByteArray& frame);
    // Tells the user, once until a write succeeds again, that unsaved changes are not protected.
    void unprotected(const QString& reason);
    // Rebuilds the text of record and puts it in the document; false (after a message) when it cannot.
    enum class Outcome { Recovered, Keep, Discard };
    Outcome recover(const RecoveryRecord& record);
    // True when the file of a record no longer holds the text its changes were made to.
    bool fileChangedSince(const RecoveryHeader& header);
    void showRecovered(const RecoveryRecord& record, const QByteArray& text);

    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    QString folder_;
    QString id_;
    int lockFd_ = -1;
    QTimer* timer_ = nullptr;
    int delay_ = 2000;
    QElapsedTimer firstPending_;

    RecoveryHeader header_;
    PieceText pieces_; // the text as the base plus the edits written so far
    bool piecesValid_ = true;
    std::vector<RecoveryEdit> pending_; // edits not yet written
    std::unique_ptr<RecordStore> store_;
    QString unusable_; // why the state folder cannot be used
    bool told_ = false;
    bool recordExists_ = false;
    qint64 recordBytes_ = 0;
    qint64 snapshotBytes_ = 0;
    qint64 journalBytes_ = 0;
};
