// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: files kept byte for byte and made absolute, the two options, and misuse.
#include "desktop/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamro::desktop {
namespace {

struct Case {
    const char* name;
    std::vector<const char*> arguments;
    std::vector<std::string> files;
    int status;         // -1: runs, no answer
    const char* out;    // a part of what is printed on stdout
    const char* err;    // a part of what is printed on stderr
};

TEST(CommandLine, FilesOptionsAndMisuse)
{
    const std::vector<Case> cases = {
        {"no arguments starts empty", {}, {}, -1, "", ""},
        {"absolute files are kept as given, in order", {"/m/b.mp3", "/m/a.wav"}, {"/m/b.mp3", "/m/a.wav"}, -1, "", ""},
        {"a relative file is taken in the working folder", {"a b.mp3"}, {"/home/u/a b.mp3"}, -1, "", ""},
        {"a leading ./ is dropped", {"././x.mid"}, {"/home/u/x.mid"}, -1, "", ""},
        {"other dots are kept as they are", {"../x.mid", "/m/./y.au"}, {"/home/u/../x.mid", "/m/./y.au"}, -1, "", ""},
        {"bytes that are no UTF-8 are kept", {"/m/\xE9t\xE9.mp3"}, {"/m/\xE9t\xE9.mp3"}, -1, "", ""},
        {"a lone dash is a file", {"-"}, {"/home/u/-"}, -1, "", ""},
        {"after -- an option's name is a file", {"--", "--help", "-x"}, {"/home/u/--help", "/home/u/-x"}, -1, "", ""},
        {"an empty argument stays empty", {""}, {""}, -1, "", ""},
        {"--help prints the usage", {"--help"}, {}, 0, "Usage: TamroPlayer30 [--help] [--version] [FILE...]\n", ""},
        {"-h is --help", {"-h"}, {}, 0, "Usage: TamroPlayer30", ""},
        {"--version prints the version", {"--version"}, {}, 0, "Tamro?Player v3.0 3.00\n", ""},
        {"an option after files still answers", {"/a.mp3", "--version"}, {}, 0, "3.00", ""},
        {"an unknown option is misuse", {"--shuffle"}, {}, 2, "", "TamroPlayer30: unknown option '--shuffle'\nUsage:"},
        {"an unknown short option is misuse", {"-x", "/a.mp3"}, {}, 2, "", "unknown option '-x'"},
        {"Qt's own options are not taken", {"-platform", "offscreen"}, {}, 2, "", "unknown option '-platform'"},
        {"--help= is no --help", {"--help=all"}, {}, 2, "", "unknown option '--help=all'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = parseCommandLine(c.arguments, "3.00", "/home/u");
        EXPECT_EQ(line.answered, c.status >= 0);
        if (c.status >= 0) {
            EXPECT_EQ(line.exitStatus, c.status);
            EXPECT_TRUE(line.files.empty());
        } else {
            EXPECT_EQ(line.files, c.files);
        }
        EXPECT_NE(line.out.find(c.out), std::string::npos) << line.out;
        EXPECT_NE(line.err.find(c.err), std::string::npos) << line.err;
        if (c.status == 2) {
            EXPECT_TRUE(line.out.empty());
        }
        if (c.status == 0) {
            EXPECT_TRUE(line.err.empty());
        }
    }
}

}  // namespace
}  // namespace tamro::desktop
