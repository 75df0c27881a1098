#include "NewApplet.h"

#include "JavaToolsText.h"
#include "frmNewApplet.h"

#include "document/Document.h"

namespace NewApplet {
void showWizard(Document& document)
{
    frmNewApplet* wizard = frmNewApplet::instance();
    if (!wizard)
        wizard = new frmNewApplet([&document](const QString& imports, const QString& name) {
            return generateApplet(document, imports, name);
        });
    wizard->show();
    wizard->raise();
    wizard->activateWindow();
}

void closeWizard()
{
    delete frmNewApplet::instance();
}

bool generateApplet(Document& document, const QString& imports, const QString& name)
{
    // Unlike the first versions, unsaved work is not thrown away without a question.
    if (!document.maybeSave())
        return false;
    // The file name stays: until the applet is saved, it is the file the compiler is given.
    document.startNew(name, appletSource(imports, name), true);
    return true;
}
} // namespace NewApplet
