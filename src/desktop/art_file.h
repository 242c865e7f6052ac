// SPDX-License-Identifier: GPL-3.0-or-later
// The cover the desktop's player applet shows: a track's embedded picture written to a file only this user can
// read, removed again with the object, or else a cover file beside the track.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tamro::desktop {

class ArtFile {
public:
    // Writes `bytes` to a new file (mode 0600) in the private art folder; null when it cannot.
    static std::unique_ptr<ArtFile> write(std::string_view bytes, std::string_view extension);
    ~ArtFile();
    ArtFile(const ArtFile&) = delete;
    ArtFile& operator=(const ArtFile&) = delete;

    const std::string& path() const { return path_; }

private:
    explicit ArtFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// The folder the pictures go to: "tamroplayer30-art" in $XDG_RUNTIME_DIR, else in the cache folder
// ($XDG_CACHE_HOME or ~/.cache), made with mode 0700; "" when none is the user's own and closed to others.
std::string artFolder();
// Removes from the art folders (either may have been used) the files of players that no longer run.
void removeStaleArtFiles();

// A cover file in the track's folder ("cover", "folder" or "front" with .jpg, .jpeg or .png, in any case, in
// that order of preference); "" for none.
std::string coverBeside(const std::string& trackPath);

}  // namespace tamro::desktop
