// How Windows makes a full path of a file name (GetFullPathNameW).
#pragma once

#include "platform/text.h"

namespace sim {

using platform::Text;

// Relative names are taken from the current folder; "." and ".." are folded
// as Windows folds them, and a device name stands for the device itself.
Text FullPathOf(const Text& file_name, const Text& current);

}  // namespace sim
