// Writes the starting corpus of the wave-format fuzzer into the directory
// given: a plain, an impossible, an extensible and a compressed format, and
// a chunk walk to the format.
#include <cstdio>
#include <string>

#include "native/support/mp3_writer.h"
#include "native/support/wav_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const Bytes seeds[] = {
        MakeWav({1, 2, 44100, 176400, 4, 16}), MakeWav({1, 0, 44100, 176400, 4, 16}),
        MakeWav({0xFFFE, 2, 48000, 288000, 6, 24, 22, 1}), MakeWav({0x11, 1, 22050, 11100, 512, 4, 2}),
        RiffWave({Chunk("LIST", Bytes(5, 'x')), Chunk("data", {}), Chunk("fmt ", FormatBody({1, 1, 8000, 8000, 1, 8}))}),
    };
    int written = 0;
    for (const Bytes& seed : seeds) written += SaveFile(std::string(argv[1]) + "/seed" + std::to_string(written) + ".wav", seed);
    printf("%d seeds written\n", written);
    return written == 5 ? 0 : 1;
}
