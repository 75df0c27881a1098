#include "JavaTools.h"

JavaTools::JavaTools(QMainWindow& window, Document& document, EditorControl& text1, HostServices& host)
    : window_(window), document_(document), text1_(text1), host_(host)
{
}

JavaTools::~JavaTools() = default;

void JavaTools::mnuNewApplet_Click() {}
void JavaTools::mnuCompile_Click() {}
void JavaTools::mnuCHelp_Click() {}

QAction* JavaTools::outputPanelAction() const
{
    return nullptr;
}
