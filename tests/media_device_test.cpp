// Media device commands and their state rules, through the scripted device,
// and the output volume.
#include <gtest/gtest.h>

#include <climits>

#include "playback/media_device.h"
#include "support/playback_support.h"

namespace {

constexpr uint32_t kUntouched = 999;  // deviceLastError before a case
constexpr MCIDEVICEID kOpenId = 42;
const HWND kMainWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));

enum class Op { Close, Play, Pause, Resume, Stop };

const char* OpName(Op op) {
    switch (op) {
    case Op::Close: return "close";
    case Op::Play: return "play";
    case Op::Pause: return "pause";
    case Op::Resume: return "resume";
    case Op::Stop: return "stop";
    }
    return "?";
}

// A device answers only the thread that opened it, through its keeper: each
// case closes the last case's device and opens its own on this thread.
AppState* FreshApp(int32_t state, bool open = true) {
    AppState* app = ResetAppState();
    app->mainWindow = kMainWindow;
    InstallScriptedMci(app);
    EditScript([](MciScript& s) { s.openId = kOpenId; });
    Store(app->device.deviceState, DEV_STOPPED);
    CloseMediaDevice(app);
    if (open) OpenMediaDevice(app, L"Z:\\fresh.wav");
    ClearCalls();
    Store(app->device.deviceState, state);
    Store(app->device.deviceId, kOpenId);
    Store(app->device.deviceLastError, kUntouched);
    return app;
}

TEST(MediaDevice, TransitionsFollowTheStateRules) {
    struct Case {
        int32_t before;
        Op op;
        MCIERROR answer;
        bool sent;
        UINT command;
        DWORD flags;
        int32_t target;  // state the window sees while the command runs
        int32_t after;
        int closeResult;
    };
    const Case cases[] = {
        {DEV_STOPPED, Op::Stop, 0, false, 0, 0, 0, DEV_STOPPED, 0},
        {DEV_CLOSED, Op::Stop, 0, false, 0, 0, 0, DEV_CLOSED, 0},
        {DEV_PLAYING, Op::Stop, 0, true, 0x0808, 0x2, DEV_STOPPED, DEV_STOPPED, 0},
        {DEV_PAUSED, Op::Stop, 263, true, 0x0808, 0x2, DEV_STOPPED, DEV_PAUSED, 0},
        {DEV_PAUSED, Op::Pause, 0, false, 0, 0, 0, DEV_PAUSED, 0},
        {DEV_CLOSED, Op::Pause, 0, false, 0, 0, 0, DEV_CLOSED, 0},
        {DEV_PLAYING, Op::Pause, 0, true, 0x0809, 0x2, DEV_PAUSED, DEV_PAUSED, 0},
        {DEV_STOPPED, Op::Pause, 274, true, 0x0809, 0x2, DEV_PAUSED, DEV_STOPPED, 0},
        {DEV_PLAYING, Op::Resume, 0, false, 0, 0, 0, DEV_PLAYING, 0},
        {DEV_CLOSED, Op::Resume, 0, false, 0, 0, 0, DEV_CLOSED, 0},
        {DEV_PAUSED, Op::Resume, 0, true, 0x0855, 0x2, DEV_PLAYING, DEV_PLAYING, 0},
        {DEV_PAUSED, Op::Resume, 274, true, 0x0855, 0x2, DEV_PLAYING, DEV_PAUSED, 0},
        {DEV_CLOSED, Op::Play, 0, false, 0, 0, 0, DEV_CLOSED, 0},
        {DEV_STOPPED, Op::Play, 0, true, 0x0806, 0x5, DEV_PLAYING, DEV_PLAYING, 0},
        {DEV_PAUSED, Op::Play, 263, true, 0x0806, 0x5, DEV_PLAYING, DEV_PAUSED, 0},
        {DEV_CLOSED, Op::Close, 0, false, 0, 0, 0, DEV_CLOSED, 0},
        {DEV_PLAYING, Op::Close, 0, true, 0x0804, 0x2, DEV_CLOSED, DEV_CLOSED, 1},
        {DEV_STOPPED, Op::Close, 263, true, 0x0804, 0x2, DEV_CLOSED, DEV_STOPPED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << OpName(c.op) << " from state " << c.before
                                        << " answered " << c.answer);
        AppState* app = FreshApp(c.before);
        EditScript([&](MciScript& s) {
            s.other = c.answer;
            s.close = c.answer;
            s.resume = c.answer;
        });
        int closeResult = 0;
        switch (c.op) {
        case Op::Close: closeResult = CloseMediaDevice(app); break;
        case Op::Play: PlayFrom(app, 31337); break;
        case Op::Pause: PauseDevice(app); break;
        case Op::Resume: ResumeDevice(app); break;
        case Op::Stop: StopDevice(app); break;
        }
        const std::vector<MciCall> calls = RecordedCalls();
        EXPECT_EQ(Load(app->device.deviceState), c.after);
        EXPECT_EQ(closeResult, c.closeResult);
        // Every play or resume sent marks the time before which an end of play is an earlier play's.
        EXPECT_EQ(Load(app->openedAt) != 0, c.sent && c.target == DEV_PLAYING);
        if (!c.sent) {
            EXPECT_TRUE(calls.empty());
            EXPECT_EQ(Load(app->device.deviceLastError), kUntouched);
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].id, kOpenId);
        EXPECT_EQ(calls[0].command, c.command);
        EXPECT_EQ(calls[0].flags, c.flags);
        EXPECT_EQ(calls[0].stateAtSend, c.target);
        EXPECT_EQ(Load(app->device.deviceLastError), c.answer);
        if (c.op == Op::Play) {
            EXPECT_EQ(calls[0].callback, reinterpret_cast<DWORD_PTR>(kMainWindow));
            EXPECT_EQ(calls[0].from, 31337u);
        }
    }
}

TEST(MediaDevice, OpenTriesTheMpegDeviceThenTheSystemsChoice) {
    struct Case {
        MCIERROR typed;
        MCIERROR untyped;
        size_t sends;
        bool opened;
        int32_t after;
        uint32_t lastError;
    };
    const Case cases[] = {
        {0, 0, 1, true, DEV_STOPPED, 0},
        {277, 0, 2, true, DEV_STOPPED, 0},
        {277, 266, 2, false, DEV_CLOSED, 266},
    };
    const wchar_t* path = L"Z:\\music\\song.wav";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "typed " << c.typed << ", untyped " << c.untyped);
        AppState* app = FreshApp(DEV_CLOSED, false);
        Store(app->device.deviceId, 0);
        EditScript([&](MciScript& s) {
            s.typedOpen = c.typed;
            s.untypedOpen = c.untyped;
            s.openId = kOpenId;
        });
        EXPECT_EQ(OpenMediaDevice(app, path), c.opened);
        EXPECT_EQ(Load(app->device.deviceState), c.after);
        EXPECT_EQ(Load(app->device.deviceLastError), c.lastError);
        EXPECT_EQ(Load(app->device.deviceId), c.opened ? kOpenId : 0u);
        const std::vector<MciCall> calls = RecordedCalls();
        ASSERT_EQ(calls.size(), c.sends);
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].id, 0u);
            EXPECT_EQ(calls[i].command, 0x0803u);
            EXPECT_EQ(calls[i].flags, i == 0 ? 0x2202u : 0x0202u);
            EXPECT_EQ(calls[i].hasType, i == 0);
            EXPECT_EQ(calls[i].deviceType, i == 0 ? L"MPEGVideo" : L"");
            EXPECT_EQ(calls[i].element, path);
            EXPECT_EQ(calls[i].stateAtSend, DEV_STOPPED);
        }
    }
}

TEST(MediaDevice, QueriesAnswerTheDeviceOrZero) {
    struct Case {
        int32_t state;
        DWORD item;
        DWORD track;  // 0: the whole medium
        MCIERROR answer;
        bool sent;
        uint32_t expected;
    };
    // Script: length 60000, 12 tracks, mode pause, position 4321, tracks of
    // 5000 ms from 150 ms.
    const Case cases[] = {
        {DEV_STOPPED, MCI_STATUS_LENGTH, 0, 0, true, 60000},
        {DEV_PLAYING, MCI_STATUS_POSITION, 0, 0, true, 4321},
        {DEV_PAUSED, MCI_STATUS_MODE, 0, 0, true, 529},
        {DEV_STOPPED, MCI_STATUS_NUMBER_OF_TRACKS, 0, 0, true, 12},
        {DEV_STOPPED, MCI_STATUS_POSITION, 3, 0, true, 10150},
        {DEV_STOPPED, MCI_STATUS_LENGTH, 0, 263, true, 0},
        {DEV_CLOSED, MCI_STATUS_LENGTH, 0, 0, false, 0},
        {DEV_CLOSED, MCI_STATUS_POSITION, 3, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << " track " << c.track << " state "
                                        << c.state << " answer " << c.answer);
        AppState* app = FreshApp(c.state);
        EditScript([&](MciScript& s) {
            s.other = c.answer;
            s.length = 60000;
            s.tracks = 12;
            s.mode = MCI_MODE_PAUSE;
            s.position = 4321;
            s.firstTrackMs = 150;
            s.trackMs = 5000;
        });
        const uint32_t value =
            c.track ? QueryTrackStatus(app, c.item, c.track) : QueryDeviceStatus(app, c.item);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(Load(app->device.deviceState), c.state);
        const std::vector<MciCall> calls = RecordedCalls();
        if (!c.sent) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].command, 0x0814u);
        EXPECT_EQ(calls[0].flags, c.track ? 0x0112u : 0x0102u);
        EXPECT_EQ(calls[0].item, c.item);
        EXPECT_EQ(calls[0].track, c.track);
        EXPECT_EQ(Load(app->device.deviceLastError), c.answer);
    }
}

TEST(MediaDevice, TimeFormatAndDisplayWindowLeaveTheStateAlone) {
    const HWND video = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5678));
    struct Case {
        bool window;  // else the time format
        int32_t state;
        MCIERROR answer;
        bool sent;
    };
    const Case cases[] = {
        {false, DEV_STOPPED, 0, true}, {false, DEV_PLAYING, 263, true}, {false, DEV_CLOSED, 0, false},
        {true, DEV_STOPPED, 0, true},  {true, DEV_PAUSED, 263, true},   {true, DEV_CLOSED, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.window ? "window" : "time format") << " state "
                                        << c.state << " answer " << c.answer);
        AppState* app = FreshApp(c.state);
        EditScript([&](MciScript& s) { s.other = c.answer; });
        if (c.window) {
            SetDisplayWindow(app, video);
        } else {
            SetTimeFormatMs(app);
        }
        EXPECT_EQ(Load(app->device.deviceState), c.state);
        const std::vector<MciCall> calls = RecordedCalls();
        if (!c.sent) {
            EXPECT_TRUE(calls.empty());
            EXPECT_EQ(Load(app->device.deviceLastError), kUntouched);
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].id, kOpenId);
        EXPECT_EQ(Load(app->device.deviceLastError), c.answer);
        if (c.window) {
            EXPECT_EQ(calls[0].command, 0x0841u);
            EXPECT_EQ(calls[0].flags, 0x10000u);
            EXPECT_EQ(calls[0].window, video);
        } else {
            EXPECT_EQ(calls[0].command, 0x080Du);
            EXPECT_EQ(calls[0].flags, 0x0402u);
            EXPECT_EQ(calls[0].timeFormat, 0u);
        }
    }
}

void ExpectVolumeNotice(const AppState* app) {
    EXPECT_EQ(app->statusKind, 2);
    EXPECT_EQ(app->statusTicks, 40);
    EXPECT_EQ(Load(app->redraw), 1);
}

TEST(Volume, SetVolumeClampsAndEndsAMute) {
    struct Case {
        uint32_t volume;
        uint32_t muted;
        int32_t level;
        uint32_t expected;
    };
    const Case cases[] = {
        {20000, 0, 30000, 30000}, {20000, 0, 0, 0},         {20000, 0, -5, 0},
        {20000, 0, INT_MIN, 0},   {20000, 0, 1, 1},         {0, 0, 65534, 65534},
        {0, 0, 65535, 65535},     {0, 0, 65536, 65535},     {0, 0, INT_MAX, 65535},
        {0, 30000, 12000, 12000}, {0, 30000, -1, 0},        {0, 30000, 70000, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " muted " << c.muted
                                        << " level " << c.level);
        AppState* app = ResetAppState();
        app->volume = c.volume;
        app->mutedVolume = c.muted;
        Store(app->redraw, 0);
        SetVolume(app, c.level);
        EXPECT_EQ(app->volume, c.expected);
        EXPECT_EQ(app->mutedVolume, 0u);
        ExpectVolumeNotice(app);
    }
}

TEST(Volume, ToggleMuteSavesAndRestores) {
    struct Case {
        uint32_t volume;
        uint32_t muted;
        uint32_t firstVolume, firstMuted;
        uint32_t secondVolume, secondMuted;
    };
    const Case cases[] = {
        {30000, 0, 0, 30000, 30000, 0},
        {0, 0, 0, 0, 0, 0},
        {65535, 0, 0, 65535, 65535, 0},
        {0, 4000, 4000, 0, 0, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " muted " << c.muted);
        AppState* app = ResetAppState();
        app->volume = c.volume;
        app->mutedVolume = c.muted;
        Store(app->redraw, 0);
        ToggleMute(app);
        EXPECT_EQ(app->volume, c.firstVolume);
        EXPECT_EQ(app->mutedVolume, c.firstMuted);
        ExpectVolumeNotice(app);
        app->statusKind = 0;
        app->statusTicks = 0;
        Store(app->redraw, 0);
        ToggleMute(app);
        EXPECT_EQ(app->volume, c.secondVolume);
        EXPECT_EQ(app->mutedVolume, c.secondMuted);
        ExpectVolumeNotice(app);
    }
}


// What the volume output gave the system, one entry per call, in order.
struct VolumeCall {
    bool midi;
    uintptr_t device;
    DWORD value;
};
std::vector<VolumeCall> g_volumeCalls;

// Both answer failure, as the null sound device does: the level must not
// depend on the result.
MMRESULT WINAPI RecordWaveVolume(HWAVEOUT device, DWORD value) {
    g_volumeCalls.push_back({false, reinterpret_cast<uintptr_t>(device), value});
    return MMSYSERR_NODRIVER;
}

MMRESULT WINAPI RecordMidiVolume(HMIDIOUT device, DWORD value) {
    g_volumeCalls.push_back({true, reinterpret_cast<uintptr_t>(device), value});
    return MMSYSERR_NODRIVER;
}

TEST(Volume, WaveAndMidiGetTheLevelOnBothChannels) {
    struct Case {
        bool mute;  // ToggleMute, else SetVolume(level)
        uint32_t volume;
        uint32_t muted;
        int32_t level;
        uint32_t expected;
    };
    // Levels with different high and low bytes, so a shifted or swapped
    // channel word shows.
    const Case cases[] = {
        {false, 0, 0, 0x1234, 0x1234}, {false, 0, 0, 0x8001, 0x8001},  {false, 0, 0, 1, 1},
        {false, 500, 0, -5, 0},        {false, 0, 0, 70000, 0xFFFF},   {true, 0x5A3C, 0, 0, 0},
        {true, 0, 0xABCD, 0, 0xABCD},
    };
    g_waveOutSetVolume = RecordWaveVolume;
    g_midiOutSetVolume = RecordMidiVolume;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.mute ? "mute toggle" : "set volume") << " at "
                                        << c.volume << " saved " << c.muted << " level " << c.level);
        AppState* app = ResetAppState();
        app->volume = c.volume;
        app->mutedVolume = c.muted;
        g_volumeCalls.clear();
        if (c.mute) {
            ToggleMute(app);
        } else {
            SetVolume(app, c.level);
        }
        ASSERT_EQ(g_volumeCalls.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            const VolumeCall& call = g_volumeCalls[i];
            SCOPED_TRACE(call.midi ? "midi out" : "wave out");
            EXPECT_EQ(call.midi, i == 1);
            EXPECT_EQ(call.device, 0u);
            EXPECT_EQ(LOWORD(call.value), c.expected);  // left
            EXPECT_EQ(HIWORD(call.value), c.expected);  // right
        }
    }
    g_waveOutSetVolume = waveOutSetVolume;
    g_midiOutSetVolume = midiOutSetVolume;
}

}  // namespace
