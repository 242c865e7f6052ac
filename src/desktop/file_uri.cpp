// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/file_uri.h"

#include <cctype>
#include <unistd.h>

namespace tamro::desktop {
namespace {

bool unreserved(unsigned char c)
{
    return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

}  // namespace

std::string workingDirectory()
{
    std::string dir(4096, '\0');
    return ::getcwd(dir.data(), dir.size()) ? std::string(dir.c_str()) : std::string("/");
}

std::string absolutePath(std::string_view path, std::string_view workingDirectory)
{
    if (path.empty() || path.front() == '/')
        return std::string(path);
    while (path.size() > 2 && path.substr(0, 2) == "./")
        path.remove_prefix(2);
    std::string joined(workingDirectory);
    if (joined.empty() || joined.back() != '/')
        joined += '/';
    joined += path;
    return joined;
}

std::string fileUri(std::string_view path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (unreserved(byte) || c == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += digits[byte >> 4];
            uri += digits[byte & 0x0F];
        }
    }
    return uri;
}

std::optional<std::string> localPath(std::string_view uri)
{
    if (!startsWithNoCase(uri, "file:"))
        return std::nullopt;
    uri.remove_prefix(5);
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        if (startsWithNoCase(uri, "localhost/"))
            uri.remove_prefix(9);
    }
    if (uri.empty() || uri.front() != '/')
        return std::nullopt;  // another host, or no path
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '?' || uri[i] == '#')
            return std::nullopt;  // a query or fragment names no file
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? hexValue(uri[i + 2]) : -1;
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

std::vector<std::string> localPaths(std::string_view uriList)
{
    std::vector<std::string> paths;
    while (!uriList.empty()) {
        const std::size_t end = uriList.find('\n');
        std::string_view line = uriList.substr(0, end);
        uriList.remove_prefix(end == std::string_view::npos ? uriList.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (auto path = localPath(line))
            paths.push_back(std::move(*path));
    }
    return paths;
}

}  // namespace tamro::desktop
