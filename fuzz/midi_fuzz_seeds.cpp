// SPDX-License-Identifier: GPL-3.0-or-later
// Writes small valid MIDI and RMI files as starting points for the MIDI fuzzers: one folder per fuzzer.
#include "support/smf_writer.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tamro::testing;
    if (argc != 2)
        return 2;
    TrackWriter conductor, melody, single;
    conductor.tempo(0, 500000).text(0, "seed").tempo(96, 750000).end();
    melody.program(0, 0, 79).raw(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).raw(0, {0xB0, 0x07, 100});
    melody.noteOn(0, 0, 69).raw(24, {0xE0, 0x00, 0x50}).noteOff(24, 0, 69).noteOn(0, 9, 36).raw(12, {0x24, 0x00}).end(4);
    single.noteOn(0, 0, 60).noteOn(0, 0, 64).noteOff(48, 0, 60).noteOff(0, 0, 64).end();
    const std::vector<Bytes> seeds = {
        smfFile(1, 96, {conductor, melody}),
        smfFile(0, 96, {single}),
        smfFile(0, smpteDivision(25, 40), {single}),
        rmiFile(smfFile(1, 96, {conductor, melody})),
    };
    for (const char* fuzzer : {"midi_parser_fuzz", "midi_decoder_fuzz"}) {
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / fuzzer;
        std::filesystem::create_directories(folder);
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(folder / ("seed" + std::to_string(i)), std::ios::binary);
            out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
        }
    }
    return 0;
}
