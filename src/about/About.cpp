#include "About.h"

#include "frmAbout.h"

#include <QPointer>
#include <QPushButton>

namespace About {
namespace {
// There is at most one about box; the pointer clears itself when the box is deleted on close.
QPointer<frmAbout>& aboutBox()
{
    static QPointer<frmAbout> box;
    return box;
}
} // namespace

void showAboutBox(HostServices& host)
{
    QPointer<frmAbout>& box = aboutBox();
    if (box) {
        box->show();
        box->raise();
        box->activateWindow();
        return;
    }
    box = new frmAbout(host);
    box->move(frmAbout::OpenLeft, frmAbout::OpenTop);
    box->show();
    box->activateWindow();
    box->cmdOK()->setFocus();
}

frmAbout* openAboutBox()
{
    return aboutBox();
}
} // namespace About
