// Writes the starting corpus of the frame-walk fuzzer into the directory
// given: streams of every layer and rate, tags, searches and broken ends.
#include <cstdio>
#include <string>
#include <vector>

#include "native/support/mp3_writer.h"

namespace {

Mp3FrameFormat Format(uint32_t kbps, uint32_t rate, uint8_t layer, MpegVersion version = MpegVersion::Mpeg1) {
    Mp3FrameFormat format;
    format.kbps = kbps;
    format.sampleRate = rate;
    format.layer = layer;
    format.version = version;
    return format;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    // Kept small: the fuzzer mutates best what it can read quickly.
    std::vector<std::vector<uint8_t>> seeds = {
        MakeSilentMp3(0.2),
        MakeVbrMp3(0.3, 1),
        Mp3Writer().Frames(6, Format(32, 48000, 1)).Bytes(),
        Mp3Writer().Frames(3, Format(384, 32000, 2)).Bytes(),
        Mp3Writer().Id3v2(40, true).Id3v2(8).Frames(5, Format(320, 48000, 3)).Id3v1().Bytes(),
        Mp3Writer().Id3v2Header(417, 5).Frame(Format(128, 44100, 3)).Frames(3, Format(128, 44100, 3)).Bytes(),
        Mp3Writer().Garbage(700, 3).Frames(4, Format(64, 32000, 3)).Bytes(),
        Mp3Writer().Frame(Format(0, 44100, 3)).Frames(2, Format(96, 44100, 3)).Bytes(),
        Mp3Writer().Header(0xFFFB9C00).Frames(2, Format(96, 44100, 3)).Bytes(),
        Mp3Writer().Frames(3, Format(64, 22050, 3, MpegVersion::Mpeg2)).Bytes(),
        Mp3Writer().Frames(2, Format(128, 44100, 3)).Frames(1, Format(32, 8000, 3, MpegVersion::Mpeg25)).Bytes(),
        Mp3Writer().Frames(2, Format(128, 44100, 3)).Raw({0xFF, 0xFB}).Bytes(),
        {0xFF, 0xFB, 0x90, 0x00},
    };
    int written = 0;
    for (size_t i = 0; i < seeds.size(); ++i) {
        std::string path = std::string(argv[1]) + "/seed" + std::to_string(i) + ".mp3";
        if (SaveFile(path, seeds[i])) ++written;
    }
    printf("%d seeds written\n", written);
    return written == static_cast<int>(seeds.size()) ? 0 : 1;
}
