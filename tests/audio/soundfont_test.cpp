#include "base/failure.h"
#include "platform/audio/soundfont.h"
#include "platform/audio/synth_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tamro::audio {
namespace {

namespace fs = std::filesystem;

// A fresh, empty folder for one test, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tamro-sf2-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    fs::path file(const std::string& name, const std::string& content = "not a SoundFont") const
    {
        std::ofstream(path_ / name) << content;
        return path_ / name;
    }

private:
    fs::path path_;
};

const fs::path realFont = fs::canonical(defaultSoundFontFolder / "default-GM.sf2");

TEST(SoundFont, DefaultGmComesFirstThenTheOthersByName)
{
    TempFolder folder;
    folder.file("b.sf3");
    folder.file("a.sf2");
    folder.file("readme.txt");
    folder.file("default-GM.sf2");
    fs::create_directory(folder.path() / "c.sf2");
    const std::vector<fs::path> expected = {folder.path() / "default-GM.sf2", folder.path() / "a.sf2",
                                            folder.path() / "b.sf3"};
    EXPECT_EQ(soundFontCandidates(folder.path()), expected);
}

TEST(SoundFont, BrokenDefaultLinkAndSecondNamesAreSkipped)
{
    TempFolder folder;
    fs::create_symlink(folder.path() / "gone.sf2", folder.path() / "default-GM.sf2");
    const fs::path font = folder.file("TimGM6mb.sf2");
    fs::create_symlink(font, folder.path() / "default-GS.sf2");
    EXPECT_EQ(soundFontCandidates(folder.path()), std::vector<fs::path>{font});
}

TEST(SoundFont, NoneLoadableNamesThePackageToInstall)
{
    TempFolder empty;
    TempFolder junkOnly;
    junkOnly.file("default-GM.sf2");
    for (const fs::path& folder : {empty.path(), junkOnly.path(), empty.path() / "missing"}) {
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
    TempFolder folder;
    folder.file("default-GM.sf2");
    fs::create_symlink(realFont, folder.path() / "real.sf2");
    EXPECT_EQ(SynthHost::load(folder.path(), 48000)->soundFont(), folder.path() / "real.sf2");
}

}  // namespace
}  // namespace tamro::audio
