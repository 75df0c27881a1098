#include "About.h"

namespace About {
void showAboutBox(HostServices&) {}
} // namespace About
