// SPDX-License-Identifier: GPL-3.0-or-later
// The words a user reads for a system error number, for every message that names a file.
#pragma once

#include <string>

namespace tamro {

// "no such file", "no permission", "the disk is full", ...; the C library's text for anything rarer.
std::string errnoText(int error);

}  // namespace tamro
