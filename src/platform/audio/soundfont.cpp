// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/soundfont.h"

#include <algorithm>
#include <system_error>

namespace tamro::audio {

std::vector<std::filesystem::path> soundFontCandidates(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> others;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string extension = path.extension().string();
        if ((extension == ".sf2" || extension == ".sf3") && path.filename() != "default-GM.sf2")
            others.push_back(path);
    }
    std::sort(others.begin(), others.end());

    std::vector<fs::path> ordered{folder / "default-GM.sf2"};
    ordered.insert(ordered.end(), others.begin(), others.end());

    std::vector<fs::path> candidates;
    std::vector<fs::path> seen;
    for (const fs::path& path : ordered) {
        std::error_code e;
        if (!fs::is_regular_file(path, e))
            continue;
        const fs::path target = fs::canonical(path, e);
        if (e || std::find(seen.begin(), seen.end(), target) != seen.end())
            continue;
        seen.push_back(target);
        candidates.push_back(path);
    }
    return candidates;
}

std::string missingSoundFontText(const std::filesystem::path& folder)
{
    return "no General MIDI SoundFont could be loaded from " + folder.string() +
           "; install the Debian package timgm6mb-soundfont (or fluid-soundfont-gm)";
}

}  // namespace tamro::audio
