// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a folder is this user's alone, before the player puts a socket or a picture in it.
#pragma once

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::desktop {

// Owned by this user, a real folder (not a link), closed to everyone else.
inline bool privateFolder(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

}  // namespace tamro::desktop
