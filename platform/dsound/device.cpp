// The output device behind the mixer: SDL2's audio device, the null device
// that only keeps time, or the manual device that tests drive.
#include <SDL.h>

#include <atomic>
#include <cstring>

#include "platform/dsound/dsound.h"
#include "platform/dsound/mixer.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_time.h"

namespace {

std::atomic<bool> manualRequested{false};
// Guards the device's opening and closing (never held inside the callback).
std::mutex deviceMutex;
int openCount = 0;
SDL_AudioDeviceID sdlDevice = 0;
bool sdlAudioStarted = false;

void SdlCallback(void*, Uint8* stream, int length) {
  SoundMixer& mixer = Mixer();
  std::lock_guard<std::mutex> lock(mixer.mutex);
  const uint32_t frameBytes = mixer.output.nBlockAlign;
  mixer.Mix(stream, static_cast<uint32_t>(length) / frameBytes);
}

// Opens SDL's device at the mixer's output format; false when there is none.
bool OpenSdl() {
  if (!sdlAudioStarted) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    sdlAudioStarted = true;
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  // SDL's dummy driver plays nowhere: the null device keeps the time instead.
  if (driver == nullptr || strcmp(driver, "dummy") == 0) return false;
  WAVEFORMATEX format;
  {
    std::lock_guard<std::mutex> lock(Mixer().mutex);
    format = Mixer().output;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = static_cast<int>(format.nSamplesPerSec);
  want.format = format.wBitsPerSample == 16 ? AUDIO_S16LSB : AUDIO_U8;
  want.channels = static_cast<Uint8>(format.nChannels);
  want.samples = 256;  // about 6 ms at 44.1 kHz
  want.callback = SdlCallback;
  sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (sdlDevice == 0) return false;
  // The device's name is UTF-8; the enumeration hands out Shift-JIS.
  const char* name = SDL_GetAudioDeviceName(0, 0);
  std::string description;
  if (name == nullptr || !Utf8ToSjis(name, description)) description = "SDL audio device";
  {
    std::lock_guard<std::mutex> lock(Mixer().mutex);
    Mixer().device = SoundDeviceKind::Sdl;
    Mixer().deviceName = driver;
    Mixer().deviceDescription = description;
  }
  SDL_PauseAudioDevice(sdlDevice, 0);  // the callback starts from here
  return true;
}

void CloseSdl() {
  if (sdlDevice != 0) {
    SDL_CloseAudioDevice(sdlDevice);  // waits for a running callback
    sdlDevice = 0;
  }
}

void StopSdlAudio() {
  CloseSdl();
  if (sdlAudioStarted) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlAudioStarted = false;
  }
}

void UseQuietDevice(SoundDeviceKind kind) {
  SoundMixer& mixer = Mixer();
  std::lock_guard<std::mutex> lock(mixer.mutex);
  mixer.device = kind;
  if (kind == SoundDeviceKind::Manual) {
    mixer.deviceName = "manual";
    mixer.deviceDescription = "Manual device: the mixer advances when a test renders";
  } else {
    mixer.deviceName = "null";
    mixer.deviceDescription = "Null device: no output, time kept";
  }
  mixer.nullBaseMicroseconds = PlatformCounterMicroseconds();
  mixer.nullFrames = 0;
}

}  // namespace

bool SoundManualClockRequested() { return manualRequested.load(); }

void OpenSoundDevice() {
  std::lock_guard<std::mutex> guard(deviceMutex);
  if (openCount++ > 0) return;
  if (manualRequested.load()) {
    UseQuietDevice(SoundDeviceKind::Manual);
  } else if (!OpenSdl()) {
    StopSdlAudio();
    UseQuietDevice(SoundDeviceKind::Null);
  }
}

void CloseSoundDevice() {
  std::lock_guard<std::mutex> guard(deviceMutex);
  if (openCount == 0 || --openCount > 0) return;
  StopSdlAudio();
  SoundMixer& mixer = Mixer();
  std::lock_guard<std::mutex> lock(mixer.mutex);
  mixer.device = SoundDeviceKind::None;
  mixer.deviceName.clear();
  mixer.deviceDescription.clear();
}

void ReopenSoundDevice() {
  std::lock_guard<std::mutex> guard(deviceMutex);
  if (openCount == 0 || sdlDevice == 0) return;
  CloseSdl();
  if (!OpenSdl()) {
    StopSdlAudio();
    UseQuietDevice(SoundDeviceKind::Null);
  }
}

void PlatformSoundUseManualClock(bool on) { manualRequested.store(on); }

int PlatformSoundRender(void* out, uint32_t frames) {
  SoundMixer& mixer = Mixer();
  std::lock_guard<std::mutex> lock(mixer.mutex);
  if (mixer.device != SoundDeviceKind::Manual) return -1;
  mixer.Mix(static_cast<uint8_t*>(out), frames);
  return 0;
}

const char* PlatformSoundDeviceName() {
  static thread_local std::string name;
  std::lock_guard<std::mutex> lock(Mixer().mutex);
  name = Mixer().deviceName;
  return name.c_str();
}

WAVEFORMATEX PlatformSoundOutputFormat() {
  std::lock_guard<std::mutex> lock(Mixer().mutex);
  return Mixer().output;
}

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context) {
  if (callback == nullptr) return DSERR_INVALIDPARAM;
  std::string module, description;
  {
    std::lock_guard<std::mutex> lock(Mixer().mutex);
    module = Mixer().deviceName;
    description = Mixer().deviceDescription;
  }
  std::string text = "Primary Sound Driver";
  if (!description.empty()) text += " (" + description + ")";
  callback(nullptr, text.c_str(), module.c_str(), context);
  return DS_OK;
}
