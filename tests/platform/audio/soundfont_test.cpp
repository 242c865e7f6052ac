// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "platform/audio/soundfont.h"
#include "platform/audio/synth_host.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tamro::audio {
namespace {

namespace fs = std::filesystem;

// Writes a file that is no SoundFont into `folder`; returns its path.
fs::path junk(const testing::TempFolder& folder, const std::string& name)
{
    testing::writeBytes(folder.file(name), "not a SoundFont");
    return folder.file(name);
}

const fs::path realFont = fs::canonical(defaultSoundFontFolder / "default-GM.sf2");

TEST(SoundFont, DefaultGmComesFirstThenTheOthersByName)
{
    testing::TempFolder folder;
    const std::vector<fs::path> expected = {junk(folder, "default-GM.sf2"), junk(folder, "a.sf2"), junk(folder, "b.sf3")};
    junk(folder, "readme.txt");
    fs::create_directory(folder.file("c.sf2"));
    EXPECT_EQ(soundFontCandidates(folder.path()), expected);
}

TEST(SoundFont, BrokenDefaultLinkAndSecondNamesAreSkipped)
{
    testing::TempFolder folder;
    fs::create_symlink(folder.file("gone.sf2"), folder.file("default-GM.sf2"));
    const fs::path font = junk(folder, "TimGM6mb.sf2");
    fs::create_symlink(font, folder.file("default-GS.sf2"));
    EXPECT_EQ(soundFontCandidates(folder.path()), std::vector<fs::path>{font});
}

TEST(SoundFont, NoneLoadableNamesThePackageToInstall)
{
    testing::TempFolder empty;
    testing::TempFolder junkOnly;
    junk(junkOnly, "default-GM.sf2");
    for (const fs::path& folder : {fs::path(empty.path()), fs::path(junkOnly.path()), fs::path(empty.file("missing"))}) {
        SCOPED_TRACE(folder);
        try {
            SynthHost::load(folder, 48000);
            ADD_FAILURE() << "loaded";
        } catch (const Failure& failure) {
            EXPECT_NE(failure.description().find("timgm6mb-soundfont"), std::string::npos) << failure.description();
            EXPECT_NE(failure.description().find(folder.string()), std::string::npos) << failure.description();
        }
    }
}

TEST(SoundFont, AFontThatDoesNotLoadFallsBackToTheNext)
{
    testing::TempFolder folder;
    junk(folder, "default-GM.sf2");
    fs::create_symlink(realFont, folder.file("real.sf2"));
    EXPECT_EQ(SynthHost::load(folder.path(), 48000)->soundFont(), folder.file("real.sf2"));
}

}  // namespace
}  // namespace tamro::audio
