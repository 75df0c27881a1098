#include "ChangedOnDiskBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ChangedOnDiskBar::ChangedOnDiskBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("DiskChangeBar"));
    setAccessibleName(QStringLiteral("File changed on disk"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("DiskChangeMessage"));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    reload_ = new QPushButton(QStringLiteral("&Reload"), this);
    reload_->setObjectName(QStringLiteral("DiskChangeReload"));
    reload_->setAccessibleName(QStringLiteral("Reload"));
    reload_->setAccessibleDescription(QStringLiteral("Replace the text with the file's contents on disk (Undo brings it back)"));
    keep_ = new QPushButton(QStringLiteral("&Keep my version"), this);
    keep_->setObjectName(QStringLiteral("DiskChangeKeep"));
    keep_->setAccessibleName(QStringLiteral("Keep my version"));
    keep_->setAccessibleDescription(QStringLiteral("Keep the text as it is; saving will write it over the file"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(message_, 1);
    layout->addWidget(reload_);
    layout->addWidget(keep_);
    setTabOrder(reload_, keep_);

    connect(reload_, &QPushButton::clicked, this, &ChangedOnDiskBar::reloadClicked);
    connect(keep_, &QPushButton::clicked, this, &ChangedOnDiskBar::keepClicked);
    hide();
}

void ChangedOnDiskBar::showChange(DiskChange change, const QString& path)
{
    switch (change) {
    case DiskChange::None:
        hide();
        return;
    case DiskChange::Changed:
        message_->setText(QStringLiteral("%1 has been changed by another program. Your text has unsaved changes.").arg(path));
        reload_->show();
        keep_->setText(QStringLiteral("&Keep my version"));
        break;
    case DiskChange::Missing:
        message_->setText(QStringLiteral("%1 has been deleted or moved away by another program. Save writes it again.").arg(path));
        reload_->hide();
        keep_->setText(QStringLiteral("&Keep my version"));
        break;
    }
    show();
}
