#pragma once

class frmAbout;
struct HostServices;

namespace About {
// Shows the about box modelessly: created on first use, otherwise brought to the front.
void showAboutBox(HostServices& host);
// The about box while it is open, otherwise nullptr.
frmAbout* openAboutBox();
} // namespace About
