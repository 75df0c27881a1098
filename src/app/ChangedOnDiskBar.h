#pragma once

#include "document/DiskWatch.h"

#include <QFrame>

class QLabel;
class QPushButton;

// The strip above the editor that says the file changed on disk (or is gone) while the editor holds
// unsaved changes, and offers to take the file's contents or keep the text as it is. It never takes
// the keyboard by itself: whoever is typing goes on typing; Alt+R and Alt+K reach its buttons.
class ChangedOnDiskBar : public QFrame {
    Q_OBJECT

public:
    explicit ChangedOnDiskBar(QWidget* parent = nullptr);

    // Shows what change means for the file at path; None hides the bar.
    void showChange(DiskChange change, const QString& path);

    QLabel* message() const { return message_; }
    QPushButton* reloadButton() const { return reload_; }
    QPushButton* keepButton() const { return keep_; }

signals:
    void reloadClicked();
    void keepClicked();

private:
    QLabel* message_;
    QPushButton* reload_;
    QPushButton* keep_;
};
