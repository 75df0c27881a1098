#pragma once

#include "Registry.h"

#include <memory>

// The registry this platform offers the program.
std::unique_ptr<Registry> makeSystemRegistry();
