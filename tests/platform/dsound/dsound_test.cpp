#include "platform/dsound/dsound.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "tests/support/test_support.h"

namespace {

WAVEFORMATEX Pcm(uint32_t rate, int channels, int bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(channels);
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = static_cast<WORD>(bits);
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

// A sound object on the device SDL's settings choose, its output 16-bit
// stereo at 44.1 kHz, with one secondary buffer of the given format and size.
struct DeviceSound {
  IDirectSound* sound = nullptr;
  IDirectSoundBuffer* primary = nullptr;
  IDirectSoundBuffer* buffer = nullptr;

  DeviceSound(const WAVEFORMATEX& format, DWORD bytes) {
    CoInitialize(nullptr);
    EXPECT_EQ(
        CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&sound)),
        S_OK);
    EXPECT_EQ(sound->Initialize(nullptr), DS_OK);
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER;
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &primary, nullptr), DS_OK);
    WAVEFORMATEX out = Pcm(44100, 2, 16);
    EXPECT_EQ(primary->SetFormat(&out), DS_OK);
    WAVEFORMATEX f = format;
    d.dwFlags = DSBCAPS_GLOBALFOCUS;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = &f;
    EXPECT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DS_OK);
  }
  ~DeviceSound() {
    buffer->Release();
    primary->Release();
    sound->Release();  // closes the device
    CoUninitialize();
  }
};

constexpr DWORD kAllControls = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GLOBALFOCUS;

// A sound object on the manual device, its output 16-bit stereo at 44.1 kHz
// unless a test sets another.
class DirectSoundTest : public testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    PlatformSoundUseManualClock(true);
    ASSERT_EQ(
        CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&sound_)),
        S_OK);
    ASSERT_EQ(sound_->Initialize(nullptr), DS_OK);
    ASSERT_EQ(sound_->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(sound_->CreateSoundBuffer(&d, &primary_, nullptr), DS_OK);
    SetOutput(Pcm(44100, 2, 16));
  }
  void TearDown() override {
    for (IDirectSoundBuffer* b : buffers_) b->Release();
    if (primary_ != nullptr) primary_->Release();
    if (sound_ != nullptr) sound_->Release();
    EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);
    PlatformSoundUseManualClock(false);
    PlatformSetDirectSoundFaults(0);
    CoUninitialize();
  }

  void SetOutput(const WAVEFORMATEX& f) { ASSERT_EQ(primary_->SetFormat(&f), DS_OK); }

  IDirectSoundBuffer* Make(const WAVEFORMATEX& f, DWORD bytes, DWORD flags = kAllControls) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    WAVEFORMATEX copy = f;
    d.lpwfxFormat = &copy;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(sound_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b != nullptr) buffers_.push_back(b);
    return b;
  }

  IDirectSoundBuffer* Duplicate(IDirectSoundBuffer* source) {
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(sound_->DuplicateSoundBuffer(source, &b), DS_OK);
    if (b != nullptr) buffers_.push_back(b);
    return b;
  }

  static void Fill(IDirectSoundBuffer* b, const void* data, DWORD bytes, DWORD offset = 0) {
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(offset, bytes, &p1, &n1, &p2, &n2, 0), DS_OK);
    memcpy(p1, data, n1);
    if (n2 != 0) memcpy(p2, static_cast<const uint8_t*>(data) + n1, n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  }

  IDirectSoundBuffer* Make16(const std::vector<int16_t>& samples, uint32_t rate, int channels,
                             DWORD flags = kAllControls) {
    IDirectSoundBuffer* b = Make(Pcm(rate, channels, 16), static_cast<DWORD>(samples.size() * 2), flags);
    if (b != nullptr) Fill(b, samples.data(), static_cast<DWORD>(samples.size() * 2));
    return b;
  }

  // The next frames of 16-bit output, interleaved.
  static std::vector<int16_t> Render(uint32_t frames, int channels = 2) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    EXPECT_EQ(PlatformSoundRender(out.data(), frames), 0);
    return out;
  }

  static DWORD PlayCursor(IDirectSoundBuffer* b) {
    DWORD play = 0, write = 0;
    EXPECT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    return play;
  }
  static DWORD Status(IDirectSoundBuffer* b) {
    DWORD status = 0;
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
    return status;
  }

  // Voices of every kind, set up the same way each time.
  std::vector<IDirectSoundBuffer*> StartMix() {
    std::vector<int16_t> noise(30011);
    uint32_t x = 12345;
    for (int16_t& s : noise) {
      x = x * 1103515245u + 12345u;
      s = static_cast<int16_t>(x >> 16);
    }
    IDirectSoundBuffer* a = Make16(noise, 22050, 1);
    IDirectSoundBuffer* b = Make16(noise, 11025, 2);
    IDirectSoundBuffer* c = Make16(noise, 44100, 1);
    IDirectSoundBuffer* d = Make16(noise, 48000, 2);
    a->SetVolume(-300);
    b->SetPan(-1200);
    d->SetFrequency(31337);
    a->Play(0, 0, DSBPLAY_LOOPING);
    b->Play(0, 0, DSBPLAY_LOOPING);
    c->Play(0, 0, 0);
    d->Play(0, 0, DSBPLAY_LOOPING);
    return {a, b, c, d};
  }

  IDirectSound* sound_ = nullptr;
  IDirectSoundBuffer* primary_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

std::vector<int16_t> Ramp(int count, int start, int stride) {
  std::vector<int16_t> v(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) v[static_cast<size_t>(i)] = static_cast<int16_t>(start + i * stride);
  return v;
}

TEST_F(DirectSoundTest, ObjectBuffersAndTheirChecks) {
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(sound_->GetCaps(&caps), DS_OK);
  EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARYSTEREO);
  EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARY16BIT);
  EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
  EXPECT_EQ(sound_->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
  EXPECT_STREQ(PlatformSoundDeviceName(), "manual");

  // A new object knows nothing before Initialize.
  IDirectSound* other = nullptr;
  ASSERT_EQ(
      CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&other)),
      S_OK);
  EXPECT_EQ(other->GetCaps(&caps), DSERR_UNINITIALIZED);
  other->Release();

  // Formats and sizes the secondary buffers refuse.
  struct Case {
    WAVEFORMATEX format;
    DWORD bytes;
    HRESULT result;
  };
  WAVEFORMATEX adpcm = Pcm(22050, 1, 16);
  adpcm.wFormatTag = WAVE_FORMAT_ADPCM;
  WAVEFORMATEX badAlign = Pcm(22050, 2, 16);
  badAlign.nBlockAlign = 2;
  const Case cases[] = {
      {Pcm(22050, 1, 16), 4, DS_OK},
      {Pcm(22050, 3, 16), 600, DSERR_BADFORMAT},
      {Pcm(22050, 1, 24), 600, DSERR_BADFORMAT},
      {Pcm(50, 1, 16), 600, DSERR_BADFORMAT},
      {Pcm(200001, 1, 8), 600, DSERR_BADFORMAT},
      {adpcm, 600, DSERR_BADFORMAT},
      {badAlign, 600, DSERR_BADFORMAT},
      {Pcm(22050, 1, 16), 3, DSERR_INVALIDPARAM},
      {Pcm(22050, 2, 16), 0x10000000, DSERR_INVALIDPARAM},
  };
  for (const Case& c : cases) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwBufferBytes = c.bytes;
    WAVEFORMATEX f = c.format;
    d.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(sound_->CreateSoundBuffer(&d, &b, nullptr), c.result) << c.bytes;
    if (b != nullptr) b->Release();
  }
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 0);

  // The primary buffer: no size, no format; no duplicate; no lock.
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  d.dwBufferBytes = 100;
  IDirectSoundBuffer* b = nullptr;
  EXPECT_EQ(sound_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound_->DuplicateSoundBuffer(primary_, &b), DSERR_INVALIDCALL);
  void* p;
  DWORD n;
  EXPECT_EQ(primary_->Lock(0, 4, &p, &n, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
  WAVEFORMATEX bad = Pcm(44100, 2, 12);
  EXPECT_EQ(primary_->SetFormat(&bad), DSERR_BADFORMAT);

  // Controls the description did not ask for are unavailable.
  IDirectSoundBuffer* plain = Make(Pcm(22050, 1, 16), 400, DSBCAPS_STATIC);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
  IDirectSoundBuffer* full = Make(Pcm(22050, 1, 16), 400);
  EXPECT_EQ(full->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(full->SetVolume(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(full->SetFrequency(99), DSERR_INVALIDPARAM);
  EXPECT_EQ(full->SetPan(10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(PlatformLiveSoundBufferCount(), 2);

  // The enumeration names the device in use.
  std::string module;
  auto callback = [](GUID* guid, LPCSTR, LPCSTR name, LPVOID context) -> BOOL {
    EXPECT_EQ(guid, nullptr);
    *static_cast<std::string*>(context) = name;
    return TRUE;
  };
  EXPECT_EQ(DirectSoundEnumerateA(callback, &module), DS_OK);
  EXPECT_EQ(module, "manual");
}

TEST_F(DirectSoundTest, CursorsMoveWithTheMixerAndStopAtTheEnd) {
  IDirectSoundBuffer* b = Make(Pcm(44100, 1, 16), 44100 * 2);
  DWORD play = 1, write = 1;
  ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(write, 0u);  // stopped: the write cursor is the play cursor
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING);
  Render(441);
  ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
  EXPECT_EQ(play, 882u);
  EXPECT_EQ(write, 882u + 882u);  // 10 ms ahead while playing
  Render(1);
  EXPECT_EQ(PlayCursor(b), 884u);
  ASSERT_EQ(b->Stop(), DS_OK);
  Render(1000);
  EXPECT_EQ(PlayCursor(b), 884u);  // a stopped buffer keeps its place
  EXPECT_EQ(b->SetCurrentPosition(1001), DS_OK);
  EXPECT_EQ(PlayCursor(b), 1000u);  // whole frames
  EXPECT_EQ(b->SetCurrentPosition(88200), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->SetCurrentPosition(88200 - 20), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  Render(9);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING);
  Render(1);
  EXPECT_EQ(Status(b), 0u);  // the last frame played: stopped, back at 0
  EXPECT_EQ(PlayCursor(b), 0u);

  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  Render(44100 + 5);
  EXPECT_EQ(PlayCursor(b), 10u);
  EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, OneShotAndLoopedPlayAndTheirData) {
  const std::vector<int16_t> ramp = Ramp(100, -500, 10);
  IDirectSoundBuffer* once = Make16(ramp, 44100, 1);
  ASSERT_EQ(once->Play(0, 0, 0), DS_OK);
  std::vector<int16_t> out = Render(150);
  for (int i = 0; i < 150; ++i) {
    int16_t want = i < 100 ? ramp[static_cast<size_t>(i)] : 0;
    ASSERT_EQ(out[static_cast<size_t>(i) * 2], want) << i;
    ASSERT_EQ(out[static_cast<size_t>(i) * 2 + 1], want) << i;  // mono feeds both channels
  }

  ASSERT_EQ(once->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  out = Render(350);
  for (int i = 0; i < 350; ++i) ASSERT_EQ(out[static_cast<size_t>(i) * 2], ramp[static_cast<size_t>(i % 100)]) << i;
  EXPECT_EQ(PlayCursor(once), 100u);
}

TEST_F(DirectSoundTest, LocksComeInTwoPartsAcrossTheEnd) {
  IDirectSoundBuffer* b = Make(Pcm(44100, 1, 16), 200);  // 100 frames of silence
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(180, 40, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 20u);
  EXPECT_EQ(n2, 20u);
  ASSERT_NE(p2, nullptr);
  EXPECT_EQ(b->Lock(0, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);  // one lock at a time
  EXPECT_EQ(b->Unlock(p2, n1, p1, n2), DSERR_INVALIDPARAM);
  for (int i = 0; i < 10; ++i) {
    static_cast<int16_t*>(p1)[i] = static_cast<int16_t>(1000 + i);
    static_cast<int16_t*>(p2)[i] = static_cast<int16_t>(2000 + i);
  }
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DSERR_INVALIDCALL);
  EXPECT_EQ(b->Lock(200, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 202, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 200u);
  EXPECT_EQ(n2, 0u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(static_cast<int16_t*>(p1)[90], 1000);
  ASSERT_EQ(b->Unlock(p1, 0, nullptr, 0), DS_OK);

  // A buffer that plays hands out a copy: the mixer goes on with the old
  // bytes until the unlock writes the new ones back.
  ASSERT_EQ(b->SetCurrentPosition(180), DS_OK);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(b->Lock(0, 20, &p1, &n1, &p2, &n2, 0), DS_OK);
  for (int i = 0; i < 10; ++i) static_cast<int16_t*>(p1)[i] = static_cast<int16_t>(-7);
  std::vector<int16_t> out = Render(20);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(out[static_cast<size_t>(i) * 2], 1000 + i);
    EXPECT_EQ(out[static_cast<size_t>(i + 10) * 2], 2000 + i);
  }
  ASSERT_EQ(b->Unlock(p1, 10, nullptr, 0), DS_OK);  // five frames written back
  ASSERT_EQ(b->SetCurrentPosition(0), DS_OK);
  out = Render(6);
  EXPECT_EQ(out[0], -7);
  EXPECT_EQ(out[4 * 2], -7);
  EXPECT_EQ(out[5 * 2], 2000 + 5);  // the rest of the locked range kept its bytes
}

TEST_F(DirectSoundTest, DuplicatesShareTheDataAndPlayOnTheirOwn) {
  const std::vector<int16_t> ramp = Ramp(200, 0, 7);
  IDirectSoundBuffer* source = Make16(ramp, 44100, 1);
  ASSERT_EQ(source->SetVolume(-600), DS_OK);
  IDirectSoundBuffer* copy = Duplicate(source);
  ASSERT_EQ(copy->SetVolume(0), DS_OK);
  EXPECT_EQ(PlayCursor(copy), 0u);
  ASSERT_EQ(source->Play(0, 0, 0), DS_OK);
  Render(50);
  ASSERT_EQ(copy->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(source->Stop(), DS_OK);
  std::vector<int16_t> out = Render(150);
  for (int i = 0; i < 150; ++i) ASSERT_EQ(out[static_cast<size_t>(i) * 2], ramp[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(Status(source), 0u);
  EXPECT_EQ(PlayCursor(source), 100u);

  // Writing through either one changes what both play.
  const int16_t marks[2] = {12345, -12345};
  Fill(source, marks, 4, 150 * 2);
  out = Render(10);
  EXPECT_EQ(out[0], 12345);
  EXPECT_EQ(out[2], -12345);
  // The source goes; the duplicate keeps the data.
  buffers_.erase(buffers_.begin());
  source->Release();
  out = Render(40);
  EXPECT_EQ(out[0], ramp[160]);
  EXPECT_EQ(Status(copy), 0u);
}

TEST_F(DirectSoundTest, VolumeAndPanAreHundredthsOfADecibel) {
  const std::vector<int16_t> level(64, 20000);
  IDirectSoundBuffer* b = Make16(level, 44100, 1);
  struct Case {
    LONG volume, pan;
    int left, right;
  };
  const double d6 = std::pow(10.0, -600 / 2000.0);
  const Case cases[] = {
      {0, 0, 20000, 20000},
      {-600, 0, static_cast<int>(std::lround(20000 * d6)), static_cast<int>(std::lround(20000 * d6))},
      {-10000, 0, 0, 0},
      {0, -600, 20000, static_cast<int>(std::lround(20000 * d6))},
      {0, 600, static_cast<int>(std::lround(20000 * d6)), 20000},
      {0, DSBPAN_RIGHT, 0, 20000},
      {-600, DSBPAN_LEFT, static_cast<int>(std::lround(20000 * d6)), 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
    ASSERT_EQ(b->SetPan(c.pan), DS_OK);
    ASSERT_EQ(b->SetCurrentPosition(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(4);
    EXPECT_NEAR(out[2], c.left, 1) << c.volume << " " << c.pan;
    EXPECT_NEAR(out[3], c.right, 1) << c.volume << " " << c.pan;
    ASSERT_EQ(b->Stop(), DS_OK);
  }
}

TEST_F(DirectSoundTest, FrequencyResamplesByLinearInterpolation) {
  const std::vector<int16_t> ramp = Ramp(1000, -3000, 6);
  IDirectSoundBuffer* b = Make16(ramp, 22050, 1);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  std::vector<int16_t> out = Render(200);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(out[static_cast<size_t>(i) * 4], ramp[static_cast<size_t>(i)]) << i;
    ASSERT_EQ(out[static_cast<size_t>(i) * 4 + 2], ramp[static_cast<size_t>(i)] + 3) << i;  // half-way
  }
  EXPECT_EQ(PlayCursor(b), 200u);

  ASSERT_EQ(b->SetFrequency(88200), DS_OK);  // twice the output rate: every second frame
  out = Render(100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(out[static_cast<size_t>(i) * 2], ramp[100 + static_cast<size_t>(i) * 2]) << i;
  EXPECT_EQ(PlayCursor(b), 600u);
  ASSERT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  out = Render(2);
  EXPECT_EQ(out[0], ramp[300]);
  EXPECT_EQ(out[2], ramp[300] + 3);

  // A looping buffer interpolates across its end into its start.
  const std::vector<int16_t> two = {100, 300};
  IDirectSoundBuffer* loop = Make16(two, 22050, 1);
  ASSERT_EQ(b->Stop(), DS_OK);
  ASSERT_EQ(loop->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  out = Render(8);
  const int16_t want[8] = {100, 200, 300, 200, 100, 200, 300, 200};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[static_cast<size_t>(i) * 2], want[i]) << i;
}

TEST_F(DirectSoundTest, EightBitUnsignedAndSixteenBitSignedMixAndClip) {
  const uint8_t bytes[4] = {0x80, 0xFF, 0x00, 0xC0};
  IDirectSoundBuffer* eight = Make(Pcm(44100, 1, 8), 4);
  Fill(eight, bytes, 4);
  ASSERT_EQ(eight->Play(0, 0, 0), DS_OK);
  std::vector<int16_t> out = Render(4);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 127 * 256);
  EXPECT_EQ(out[4], -32768);
  EXPECT_EQ(out[6], 64 * 256);

  // Stereo 16-bit keeps its channels; two loud voices clip at both ends.
  const std::vector<int16_t> loud = {30000, -30000, 30000, -30000};
  IDirectSoundBuffer* a = Make16(loud, 44100, 2);
  IDirectSoundBuffer* b = Make16(loud, 44100, 2);
  ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  out = Render(2);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  EXPECT_EQ(out[2], 32767);

  // An 8-bit mono output: a stereo source gives the mean of its channels.
  SetOutput(Pcm(44100, 1, 8));
  const std::vector<int16_t> pair = {16384, 0, -32768, -32768};
  IDirectSoundBuffer* c = Make16(pair, 44100, 2);
  ASSERT_EQ(c->Play(0, 0, 0), DS_OK);
  uint8_t mono[2];
  ASSERT_EQ(PlatformSoundRender(mono, 2), 0);
  EXPECT_EQ(mono[0], 128 + 32);
  EXPECT_EQ(mono[1], 0);
}

TEST_F(DirectSoundTest, TenSecondsInMillisecondStepsEqualOneStep) {
  constexpr uint32_t kFrames = 441000;
  std::vector<IDirectSoundBuffer*> voices = StartMix();
  std::vector<int16_t> whole = Render(kFrames);
  std::vector<DWORD> cursors;
  for (IDirectSoundBuffer* v : voices) cursors.push_back(PlayCursor(v));
  for (IDirectSoundBuffer* v : voices) v->Release();
  buffers_.clear();

  voices = StartMix();
  std::vector<int16_t> stepped;
  for (uint32_t done = 0, i = 0; done < kFrames; ++i) {
    uint32_t n = std::min<uint32_t>(i % 10 == 9 ? 45 : 44, kFrames - done);  // 1 ms: 44.1 frames
    std::vector<int16_t> part = Render(n);
    stepped.insert(stepped.end(), part.begin(), part.end());
    done += n;
  }
  ASSERT_EQ(stepped.size(), whole.size());
  EXPECT_TRUE(stepped == whole);
  for (size_t i = 0; i < voices.size(); ++i) EXPECT_EQ(PlayCursor(voices[i]), cursors[i]) << i;
}

TEST(DirectSoundNullDevice, KeepsTimeWithTheClockWithoutADevice) {
  // SDL's dummy driver (the tests' setting) is no device: the null device
  // takes over and the cursors follow the virtual clock.
  PlatformUseVirtualClock(true, 1000000);
  {
    DeviceSound device(Pcm(22050, 1, 16), 22050);  // half a second
    EXPECT_STREQ(PlatformSoundDeviceName(), "null");
    IDirectSoundBuffer* b = device.buffer;
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    PlatformAdvanceVirtualClock(250000);
    DWORD play = 0, status = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 11024u);  // 11025 output frames of 44.1 kHz: 5512.5 of the buffer's frames
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    PlatformAdvanceVirtualClock(250000);
    ASSERT_EQ(b->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(PlatformSoundRender(nullptr, 10), -1);  // no manual device
  }
  EXPECT_STREQ(PlatformSoundDeviceName(), "");
  PlatformUseVirtualClock(false);
}

TEST(DirectSoundFaults, CreationFailsWhereTold) {
  CoInitialize(nullptr);
  IDirectSound* sound = nullptr;
  PlatformSetDirectSoundFaults(PlatformDsCreateObject);
  EXPECT_EQ(
      CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&sound)),
      E_OUTOFMEMORY);
  PlatformSetDirectSoundFaults(PlatformDsInitialize | PlatformDsSecondaryOnce);
  ASSERT_EQ(
      CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&sound)),
      S_OK);
  EXPECT_NE(sound->Initialize(nullptr), DS_OK);
  PlatformSetDirectSoundFaults(PlatformDsSecondaryOnce);
  ASSERT_EQ(sound->Initialize(nullptr), DS_OK);
  WAVEFORMATEX f = Pcm(22050, 1, 16);
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwBufferBytes = 100;
  d.lpwfxFormat = &f;
  IDirectSoundBuffer* b = nullptr;
  EXPECT_EQ(sound->CreateSoundBuffer(&d, &b, nullptr), DSERR_OUTOFMEMORY);
  ASSERT_EQ(sound->CreateSoundBuffer(&d, &b, nullptr), DS_OK);  // only once
  b->Release();
  sound->Release();
  PlatformSetDirectSoundFaults(0);
  CoUninitialize();
}

TEST(DirectSoundSdlDevice, PlaysThroughSdlsAudioCallback) {
  // SDL's disk driver is a device that writes what it is given to a file.
  const std::string file = TestScratchDir() + "/out.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  {
    DeviceSound device(Pcm(44100, 1, 16), 8820);
    EXPECT_STREQ(PlatformSoundDeviceName(), "disk");
    IDirectSoundBuffer* b = device.buffer;
    const std::vector<int16_t> level(4410, 1234);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 8820, &p1, &n1, &p2, &n2, 0), DS_OK);
    memcpy(p1, level.data(), n1);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD play = 0;
    for (int i = 0; i < 200 && play == 0; ++i) {
      usleep(5000);  // real time: the device's thread calls the mixer
      ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
    }
    EXPECT_NE(play, 0u);
    usleep(100000);
  }  // the device closed: the file is complete
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::vector<uint8_t> bytes = ReadFileBytes(file);
  size_t matching = 0;
  for (size_t i = 0; i + 2 <= bytes.size(); i += 2)
    matching += bytes[i] == (1234 & 0xFF) && bytes[i + 1] == (1234 >> 8);
  EXPECT_GT(matching, 2000u) << bytes.size();  // both channels of the level, many frames of it
}

}  // namespace

// A program that exits with its device still open (an X connection that
// breaks ends it from inside Xlib) must not crash on the way out while the
// device's thread mixes: the exit handlers run beside the audio thread.
TEST(DirectSoundDevice, ExitingWithTheDeviceOpenWhileItMixes) {
  for (int run = 0; run < 8; ++run) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
      setenv("SDL_DISKAUDIODELAY", "0", 1);
      auto* device = new DeviceSound(Pcm(44100, 2, 16), 17640);
      device->buffer->Play(0, 0, DSBPLAY_LOOPING);
      DWORD play = 0;
      for (int i = 0; i < 400 && play == 0; ++i) {
        usleep(1000);
        device->buffer->GetCurrentPosition(&play, nullptr);
      }
      exit(play != 0 ? 0 : 3);
    }
    // A child stuck on the way out counts as a failure, not a hang.
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 2000 && done == 0; ++i) {
      done = waitpid(child, &status, WNOHANG);
      if (done == 0) usleep(5000);
    }
    if (done == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      FAIL() << "the program did not end in 10 s";
    }
    ASSERT_EQ(done, child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << run;
  }
}
