// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/filters.h"

#include "base/product.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace tamro::playlist {

namespace {

// A kind of file is one MIME type; the dialog names the kinds in this order.
struct Kind {
    std::string_view description;
    std::string_view mimeType;
};
constexpr Kind kinds[] = {
    {"MP3 Files", "audio/mpeg"},
    {"Wave Files", "audio/x-wav"},
    {"Midi Files", "audio/midi"},
    {"Windows Media Audio Files", "audio/x-ms-wma"},
    {"Unix Files", "audio/basic"},
};

std::string joined(const std::vector<std::string_view>& extensions, char separator)
{
    std::string text;
    for (const auto extension : extensions) {
        if (!text.empty())
            text += separator;
        text.append("*.").append(extension);
    }
    return text;
}

}  // namespace

std::string soundFilter()
{
    std::string filter = "Supported Sound files |";
    for (const auto& type : soundTypes)
        filter.append("*.").append(type.extension).append(";");
    for (const auto& kind : kinds) {
        // Within a kind the extensions go alphabetically.
        std::vector<std::string_view> extensions;
        for (const auto& type : soundTypes)
            if (type.mimeType == kind.mimeType)
                extensions.push_back(type.extension);
        std::sort(extensions.begin(), extensions.end());
        filter.append("|").append(kind.description).append(" (").append(joined(extensions, ',')).append(")|");
        filter += joined(extensions, ';');
    }
    return filter;
}

}  // namespace tamro::playlist
