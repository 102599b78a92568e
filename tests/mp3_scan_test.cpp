// ScanMp3Stream on real files in a temporary directory: generated streams,
// files that cannot be opened, the size limit, and agreement with a walk
// that goes to the file for every header.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "native/support/mp3_writer.h"
#include "playback/mp3_frame_walk.h"
#include "playback/mp3_scan.h"
#include "support/mp3_file_reader.h"

namespace {

constexpr double kFrameMs = 1152.0 / 44100.0 * 1000.0;

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

class Mp3Scan : public testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        dir = std::wstring(temp) + L"pebbletune-scan-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        buffer.resize(MP3_SEARCH_BYTES);
    }

    void TearDown() override {
        for (const std::wstring& path : written) DeleteFileW(path.c_str());
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        std::wstring path = dir + name;
        EXPECT_TRUE(SaveFile(Utf8(path), bytes));
        written.push_back(path);
        return path;
    }

    std::wstring dir;
    std::vector<std::wstring> written;
    std::vector<uint8_t> buffer;
};

Mp3ScanResult Junk() {
    Mp3ScanResult junk;
    junk.valid = 7;
    junk.frameCount = 7;
    junk.minBitrate = 7;
    junk.maxBitrate = 7;
    junk.durationMs = 7.0;
    return junk;
}

void ExpectZero(const Mp3ScanResult& r) {
    EXPECT_EQ(0, r.valid);
    EXPECT_EQ(0u, r.frameCount);
    EXPECT_EQ(0u, r.minBitrate);
    EXPECT_EQ(0u, r.maxBitrate);
    EXPECT_EQ(0.0, r.durationMs);
}

struct FileCase {
    const wchar_t* name;
    std::vector<uint8_t> bytes;
    bool withBuffer;
    bool ok;
    uint32_t frames;
    uint32_t minKbps;
    uint32_t maxKbps;
    double durationMs;
};

TEST_F(Mp3Scan, GeneratedFiles) {
    Mp3FrameFormat mpeg2;
    mpeg2.kbps = 64;
    mpeg2.sampleRate = 22050;
    mpeg2.version = MpegVersion::Mpeg2;
    // Frame counts: ceil(seconds * 44100 / 1152).
    const FileCase cases[] = {
        {L"silent 10 s.mp3", MakeSilentMp3(10.0), true, true, 383, 128, 128, 383 * kFrameMs},
        {L"silent 10 s, 320.mp3", MakeSilentMp3(10.0, 320), false, true, 383, 320, 320, 383 * kFrameMs},
        {L"vbr 30 s.mp3", MakeVbrMp3(30.0, 4), true, true, 1149, 56, 128, 1149 * kFrameMs},
        {L"t\u00f6n \u2603.mp3", MakeSilentMp3(1.0), false, true, 39, 128, 128, 39 * kFrameMs},
        {L"tags.mp3", Mp3Writer().Id3v2(5000, true).Id3v2(300).Raw(MakeSilentMp3(2.0)).Id3v1().Bytes(),
         false, true, 77, 128, 128, 77 * kFrameMs},
        {L"garbage first.mp3", Mp3Writer().Garbage(3000, 1).Raw(MakeSilentMp3(2.0)).Bytes(), true,
         true, 77, 128, 128, 77 * kFrameMs},
        {L"garbage first, no buffer.mp3", Mp3Writer().Garbage(3000, 1).Raw(MakeSilentMp3(2.0)).Bytes(),
         false, false, 0, 0, 0, 0.0},
        {L"half rate.mp3", Mp3Writer().Frames(100, mpeg2).Bytes(), true, false, 0, 0, 0, 0.0},
        {L"empty.mp3", {}, true, false, 0, 0, 0, 0.0},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        std::wstring path = Write(c.name, c.bytes);
        Mp3ScanResult r = Junk();
        bool ok = ScanMp3Stream(path.c_str(), &r, c.withBuffer ? buffer.data() : nullptr);
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.ok ? 1 : 0, r.valid);
        EXPECT_EQ(c.frames, r.frameCount);
        if (c.ok) {
            EXPECT_EQ(c.minKbps, r.minBitrate);
            EXPECT_EQ(c.maxKbps, r.maxBitrate);
            EXPECT_NEAR(c.durationMs, r.durationMs, 1e-6);
        }
    }
}

TEST_F(Mp3Scan, FilesThatCannotBeScannedLeaveAZeroResult) {
    std::wstring missing = dir + L"missing.mp3";
    const struct {
        const char* name;
        const wchar_t* path;
    } cases[] = {
        {"missing file", missing.c_str()},
        {"directory", dir.c_str()},
        {"null path", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mp3ScanResult r = Junk();
        EXPECT_FALSE(ScanMp3Stream(c.path, &r, buffer.data()));
        ExpectZero(r);
    }
}

TEST_F(Mp3Scan, FileOpenedWithoutSharingCannotBeScanned) {
    std::wstring path = Write(L"locked.mp3", MakeSilentMp3(1.0));
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    Mp3ScanResult r = Junk();
    EXPECT_FALSE(ScanMp3Stream(path.c_str(), &r, buffer.data()));
    ExpectZero(r);
    CloseHandle(lock);
    EXPECT_TRUE(ScanMp3Stream(path.c_str(), &r, buffer.data()));
    EXPECT_EQ(39u, r.frameCount);
}

bool ExtendTo(const std::wstring& path, uint64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    bool ok = SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

TEST_F(Mp3Scan, SizeLimitIs256MiB) {
    // Extending the file leaves a hole: the frames at the start, then zeros,
    // which end the walk like any other non-frame bytes.
    const struct {
        uint64_t size;
        bool ok;
    } cases[] = {{MP3_SCAN_FILE_LIMIT - 1, true}, {MP3_SCAN_FILE_LIMIT, false}, {MP3_SCAN_FILE_LIMIT + 4096, false}};
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::wstring path = Write(L"large" + std::to_wstring(index++) + L".mp3", MakeSilentMp3(1.0));
        ASSERT_TRUE(ExtendTo(path, c.size));
        Mp3ScanResult r = Junk();
        EXPECT_EQ(c.ok, ScanMp3Stream(path.c_str(), &r, buffer.data()));
        EXPECT_EQ(c.ok ? 39u : 0u, r.frameCount);
        DeleteFileW(path.c_str());
    }
}

uint32_t NextRandom(uint32_t* state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 8;
}

TEST_F(Mp3Scan, AgreesWithAWalkThatReadsEveryHeaderFromTheFile) {
    std::vector<std::vector<uint8_t>> inputs = {
        MakeVbrMp3(20.0, 2),
        Mp3Writer().Id3v2(70000).Raw(MakeVbrMp3(3.0, 8)).Id3v1().Bytes(),
        Mp3Writer().Garbage(65000, 4).Raw(MakeSilentMp3(3.0)).Bytes(),
    };
    uint32_t state = 99;
    for (size_t i = 0, n = inputs.size(); i < n; ++i) {
        for (int m = 0; m < 8; ++m) {
            std::vector<uint8_t> copy = inputs[i];
            for (int e = 0; e < 4; ++e) copy[NextRandom(&state) % copy.size()] = static_cast<uint8_t>(NextRandom(&state));
            if (m % 2) copy.resize(NextRandom(&state) % copy.size());
            inputs.push_back(copy);
        }
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        std::wstring path = Write(L"agree" + std::to_wstring(i) + L".mp3", inputs[i]);
        for (bool withBuffer : {false, true}) {
            uint8_t* search = withBuffer ? buffer.data() : nullptr;
            Mp3ScanResult scanned = {};
            bool scannedOk = ScanMp3Stream(path.c_str(), &scanned, search);
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, file);
            ByteReader direct = FileByteReader(file);
            Mp3ScanResult walked = {};
            bool walkedOk = WalkMp3Frames(&direct, search, &walked);
            CloseHandle(file);
            EXPECT_EQ(walkedOk, scannedOk);
            EXPECT_EQ(walked.valid, scanned.valid);
            EXPECT_EQ(walked.frameCount, scanned.frameCount);
            EXPECT_EQ(walked.minBitrate, scanned.minBitrate);
            EXPECT_EQ(walked.maxBitrate, scanned.maxBitrate);
            EXPECT_EQ(walked.durationMs, scanned.durationMs);
        }
    }
}

}  // namespace
