// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/art_owner.h"

#include <charconv>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

// The start time of a process (field 22 of /proc/PID/stat, counted after the name, which may hold anything).
std::optional<std::uint64_t> startOf(std::int64_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t name = stat.rfind(')');
    if (name == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(name + 1));
    std::string field;
    for (int i = 3; i < 22 && fields >> field;)
        ++i;
    std::uint64_t started = 0;
    if (!(fields >> started))
        return std::nullopt;
    return started;
}

// The host name as a file name may carry it: letters, digits, "." and "-".
std::string hostName()
{
    char raw[HOST_NAME_MAX + 1] = {};
    std::string host;
    if (::gethostname(raw, sizeof raw - 1) == 0)
        for (const char* c = raw; *c && host.size() < 64; ++c)
            if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '.' || *c == '-')
                host += *c;
    return host.empty() ? "host" : host;
}

template <class Number>
bool takeNumber(std::string_view& s, Number& value)
{
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end == s.data() || end == s.data() + s.size() || *end != '-')
        return false;
    s.remove_prefix(static_cast<std::size_t>(end - s.data()) + 1);
    return true;
}

}  // namespace

ArtOwner thisPlayer()
{
    static const ArtOwner self{::getpid(), startOf(::getpid()).value_or(0), hostName()};
    return self;
}

bool stillRunning(const ArtOwner& owner)
{
    // Without /proc (not even this process's start to be read) nobody can be told gone.
    if (owner.host != thisPlayer().host || thisPlayer().started == 0)
        return true;
    return startOf(owner.pid) == owner.started;
}

std::string artNamePrefix(const ArtOwner& owner)
{
    return "cover-" + std::to_string(owner.pid) + "-" + std::to_string(owner.started) + "-" + owner.host + "-";
}

std::optional<ArtOwner> artOwnerOf(std::string_view name)
{
    constexpr std::string_view start = "cover-";
    if (name.substr(0, start.size()) != start)
        return std::nullopt;
    name.remove_prefix(start.size());
    ArtOwner owner;
    if (!takeNumber(name, owner.pid) || owner.pid <= 0 || !takeNumber(name, owner.started))
        return std::nullopt;
    // The host, then "-", the unique part and the extension, neither with a "-".
    const std::size_t unique = name.rfind('-');
    if (unique == 0 || unique == std::string_view::npos)
        return std::nullopt;
    owner.host = name.substr(0, unique);
    return owner;
}

int removeStaleArt(const std::string& folder, const std::function<bool(const ArtOwner&)>& running)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<ArtOwner> owner = artOwnerOf(entry->d_name);
        struct stat info = {};
        if (!owner || ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            running(*owner))
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace tamro::desktop
