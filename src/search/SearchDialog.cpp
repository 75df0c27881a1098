#include "SearchDialog.h"

#include "editor/EditorControl.h"
#include "host/AppInfo.h"
#include "host/DialogLayout.h"

#include <QIcon>
#include <QStyle>

using DialogLayout::px;

SearchDialog::SearchDialog(EditorControl& text1, MessageBoxService& messages, const QString& name, const QString& title,
                           const QString& iconName, int widthTwips, int heightTwips)
    : QDialog(nullptr)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(AppInfo::TitlePrefix + title);
    setWindowIcon(QIcon::fromTheme(iconName, style()->standardIcon(QStyle::SP_FileDialogContentsView)));
    setFont(DialogLayout::dialogFont());
    setFixedSize(px(widthTwips), px(heightTwips));
    target(text1, messages);
}

void SearchDialog::target(EditorControl& text1, MessageBoxService& messages)
{
    if (text1_ != &text1) {
        disconnect(editorGone_);
        // A dialog whose editor has gone has nothing left to search.
        editorGone_ = connect(&text1, &QObject::destroyed, this, [this] { close(); });
    }
    text1_ = &text1;
    messages_ = &messages;
}

void SearchDialog::placeOnFirstShow()
{
    move(px(1500), px(1875));
}
