// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/art_file.h"

#include "desktop/art_owner.h"
#include "desktop/private_folder.h"
#include "desktop/write_all.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

bool ownFolder(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

std::string madePrivate(const std::string& parent, const std::string& name)
{
    if (parent.empty() || parent[0] != '/' || !ownFolder(parent))
        return {};
    const std::string folder = parent + "/" + name;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return privateFolder(folder) ? folder : std::string();
}

constexpr const char* artName = "tamroplayer30-art";

// Where the runtime folder is this user's alone; "" otherwise.
std::string privateRuntime()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && privateFolder(runtime) ? std::string(runtime) : std::string();
}

std::string cacheHome()
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache";
    return {};
}

}  // namespace

std::string artFolder()
{
    if (const std::string runtime = privateRuntime(); !runtime.empty())
        if (std::string folder = madePrivate(runtime, artName); !folder.empty())
            return folder;
    const std::string cache = cacheHome();
    if (cache.empty())
        return {};
    if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return madePrivate(cache, artName);
}

void removeStaleArtFiles()
{
    // Both places: a player that ended without its runtime folder left its file in the cache folder.
    for (const std::string& parent : {privateRuntime(), cacheHome()})
        if (const std::string folder = parent + "/" + artName; !parent.empty() && privateFolder(folder))
            removeStaleArt(folder);
}

std::unique_ptr<ArtFile> ArtFile::write(std::string_view bytes, std::string_view extension)
{
    const std::string folder = artFolder();
    if (folder.empty() || bytes.empty())
        return nullptr;
    std::string name = folder + "/" + artNamePrefix(thisPlayer()) + "XXXXXX." + std::string(extension);
    // mkstemps: a new name, created exclusively with mode 0600.
    const int fd = ::mkostemps(name.data(), static_cast<int>(extension.size() + 1), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const bool written = writeAll(fd, bytes);
    if (::close(fd) != 0 || !written) {
        ::unlink(name.c_str());
        return nullptr;
    }
    return std::unique_ptr<ArtFile>(new ArtFile(std::move(name)));
}

ArtFile::~ArtFile() { ::unlink(path_.c_str()); }

std::string coverBeside(const std::string& trackPath)
{
    const std::size_t slash = trackPath.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    const std::string folder = trackPath.substr(0, slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    constexpr std::array<const char*, 3> stems = {"cover", "folder", "front"};
    constexpr std::array<const char*, 3> extensions = {"jpg", "jpeg", "png"};
    std::string best;
    std::size_t bestRank = stems.size() * extensions.size();
    // A folder of a hundred thousand files is not read to its end for a picture.
    int left = 10000;
    while (const dirent* entry = ::readdir(dir)) {
        if (--left < 0)
            break;
        const std::string_view name = entry->d_name;
        const std::size_t dot = name.find_last_of('.');
        if (dot == std::string_view::npos)
            continue;
        const std::string stem(name.substr(0, dot));
        const std::string ext(name.substr(dot + 1));
        for (std::size_t s = 0; s < stems.size(); ++s) {
            for (std::size_t e = 0; e < extensions.size(); ++e) {
                const std::size_t rank = s * extensions.size() + e;
                if (rank >= bestRank || ::strcasecmp(stem.c_str(), stems[s]) != 0 ||
                    ::strcasecmp(ext.c_str(), extensions[e]) != 0)
                    continue;
                struct stat info = {};
                if (::stat((folder + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                    best = folder + entry->d_name;
                    bestRank = rank;
                }
            }
        }
    }
    ::closedir(dir);
    return best;
}

}  // namespace tamro::desktop
