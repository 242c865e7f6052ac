// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/errno_text.h"

#include <cerrno>
#include <cstring>

namespace tamro {

std::string errnoText(int error)
{
    switch (error) {
    case ENOENT:
        return "no such file";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case EACCES:
    case EPERM:
        return "no permission";
    case EROFS:
        return "the disk is read-only";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EFBIG:
        return "the file would be larger than the system allows";
    case EISDIR:
        return "it is a folder";
    case ENAMETOOLONG:
        return "the file name is too long";
    case ELOOP:
        return "too many levels of symbolic links";
    case EIO:
        return "input/output error on the disk";
    default:
        return std::strerror(error);
    }
}

}  // namespace tamro
