#pragma once

struct HostServices;

namespace About {
// Shows the about box modelessly: created on first use, otherwise brought to the front.
void showAboutBox(HostServices& host);
} // namespace About
