// Internal to the DirectSound stand-in: the mixer that plays the secondary
// buffers into the output format, and the device that drives it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dsound/wave_format.h"

// The PCM of a buffer, shared by its duplicates.
struct SoundData {
  std::vector<uint8_t> bytes;
};

// One secondary buffer as the mixer sees it. Positions are frames in 32.32
// fixed point; step is the advance per output frame.
struct SoundVoice {
  std::shared_ptr<SoundData> data;
  WAVEFORMATEX format{};
  uint32_t flags = 0;
  uint32_t frames = 0;  // whole frames in the buffer (at least 1)
  uint64_t position = 0;
  uint64_t step = 0;
  bool playing = false;
  bool looping = false;
  int32_t volume = 0;
  int32_t pan = 0;
  uint32_t frequency = 0;
  float gainLeft = 1.0f;  // also the gain of a mono output
  float gainRight = 1.0f;
  // The lock handed out (one at a time).
  bool locked = false;
  bool staged = false;  // the parts point into staging, copied back on Unlock
  uint32_t lockOffset = 0;
  uint32_t lockFirst = 0;
  uint32_t lockSecond = 0;
  void* lockPart1 = nullptr;
  void* lockPart2 = nullptr;
  std::vector<uint8_t> staging;
};

enum class SoundDeviceKind { None, Null, Manual, Sdl };

// Output frames per mixing step: at most 10 ms.
constexpr uint32_t MixerMaxStepFrames = 2000;  // 10 ms at 200 kHz

class SoundMixer {
 public:
  // Guards every field below and every voice. Taken by the buffer calls and
  // by the device's callback, never while another lock of the system is
  // awaited from inside it.
  std::mutex mutex;

  WAVEFORMATEX output{};
  std::vector<SoundVoice*> voices;
  SoundDeviceKind device = SoundDeviceKind::None;
  std::string deviceName;
  std::string deviceDescription;
  // Null device: the counter time its frame count started at, and the frames
  // mixed since.
  int64_t nullBaseMicroseconds = 0;
  uint64_t nullFrames = 0;

  SoundMixer();
  // Mixes frames into out (the output format), or only advances the voices
  // when out is null. Mutex held.
  void Mix(uint8_t* out, uint32_t frames);
  // Null device: mixes (silently) up to the present. Mutex held.
  void CatchUp();
  // Recomputes a voice's step or gains from its settings. Mutex held.
  void UpdateStep(SoundVoice& voice) const;
  static void UpdateGains(SoundVoice& voice);
  // Sets the output format and rebases the clock. Mutex held.
  void SetOutputFormat(const WAVEFORMATEX& format);
  // True when some voice sharing data plays it. Mutex held.
  bool DataAudible(const SoundData* data) const;

 private:
  uint32_t StepFrames() const;
  void MixStep(uint8_t* out, uint32_t frames);
  float accumulator_[MixerMaxStepFrames * 2];
};

SoundMixer& Mixer();

// Device management (device.cpp). Open chooses the device for a newly
// initialised sound object; the last Close shuts it. Reopen follows a change
// of the output format. None of them may be called with the mixer mutex held.
void OpenSoundDevice();
void CloseSoundDevice();
void ReopenSoundDevice();
bool SoundManualClockRequested();
