#include "platform/dsound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/win32_time.h"

namespace {

constexpr float kFractionScale = 1.0f / 4294967296.0f;
constexpr uint64_t kOne = uint64_t{1} << 32;

// Sample readers: one frame's channels as floats on the 16-bit scale.
struct U8Mono {
  static constexpr int channels = 1;
  static float At(const uint8_t* s, uint32_t i, int) {
    return static_cast<float>((static_cast<int>(s[i]) - 128) * 256);
  }
};
struct U8Stereo {
  static constexpr int channels = 2;
  static float At(const uint8_t* s, uint32_t i, int c) {
    return static_cast<float>((static_cast<int>(s[i * 2 + c]) - 128) * 256);
  }
};
struct S16Mono {
  static constexpr int channels = 1;
  static float At(const uint8_t* s, uint32_t i, int) {
    int16_t v;
    memcpy(&v, s + i * 2, 2);
    return static_cast<float>(v);
  }
};
struct S16Stereo {
  static constexpr int channels = 2;
  static float At(const uint8_t* s, uint32_t i, int c) {
    int16_t v;
    memcpy(&v, s + i * 4 + c * 2, 2);
    return static_cast<float>(v);
  }
};

// Adds one interpolated frame (frame i towards frame j by fraction f) to acc.
template <class Src, int OutChannels>
inline void AddFrame(const uint8_t* s, uint32_t i, uint32_t j, float f, float gl, float gr, float* acc) {
  if constexpr (Src::channels == 1) {
    float a = Src::At(s, i, 0);
    float x = a + (Src::At(s, j, 0) - a) * f;
    if constexpr (OutChannels == 2) {
      acc[0] += x * gl;
      acc[1] += x * gr;
    } else {
      acc[0] += x * gl;
    }
  } else {
    float a = Src::At(s, i, 0);
    float l = a + (Src::At(s, j, 0) - a) * f;
    float b = Src::At(s, i, 1);
    float r = b + (Src::At(s, j, 1) - b) * f;
    if constexpr (OutChannels == 2) {
      acc[0] += l * gl;
      acc[1] += r * gr;
    } else {
      acc[0] += (l + r) * 0.5f * gl;
    }
  }
}

// Mixes up to `count` output frames of one voice into acc and advances it;
// ends early when a one-shot voice reaches its end (it stops at 0).
template <class Src, int OutChannels>
void MixVoice(SoundVoice& v, float* acc, uint32_t count) {
  const uint8_t* s = v.data->bytes.data();
  const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
  const uint64_t lastSafe = static_cast<uint64_t>(v.frames - 1) << 32;  // below it frame i + 1 exists
  const uint64_t step = v.step;
  const float gl = v.gainLeft, gr = v.gainRight;
  uint64_t pos = v.position;
  uint32_t done = 0;
  while (done < count) {
    uint32_t left = count - done;
    float* a = acc + static_cast<size_t>(done) * OutChannels;
    uint32_t run;
    if (pos < lastSafe) {
      uint64_t reach = (lastSafe - pos + step - 1) / step;
      run = reach < left ? static_cast<uint32_t>(reach) : left;
      if (step == kOne && (pos & 0xFFFFFFFFu) == 0) {
        uint32_t i = static_cast<uint32_t>(pos >> 32);
        for (uint32_t k = 0; k < run; ++k, a += OutChannels)
          AddFrame<Src, OutChannels>(s, i + k, i + k, 0.0f, gl, gr, a);
        pos += static_cast<uint64_t>(run) << 32;
      } else {
        for (uint32_t k = 0; k < run; ++k, a += OutChannels) {
          uint32_t i = static_cast<uint32_t>(pos >> 32);
          float f = static_cast<float>(static_cast<uint32_t>(pos)) * kFractionScale;
          AddFrame<Src, OutChannels>(s, i, i + 1, f, gl, gr, a);
          pos += step;
        }
      }
    } else {
      // The last frame: towards the first when looping, held otherwise.
      uint32_t i = static_cast<uint32_t>(pos >> 32);
      float f = static_cast<float>(static_cast<uint32_t>(pos)) * kFractionScale;
      AddFrame<Src, OutChannels>(s, i, v.looping ? 0 : i, f, gl, gr, a);
      pos += step;
      run = 1;
    }
    done += run;
    if (pos >= end) {
      if (!v.looping) {
        v.playing = false;
        pos = 0;
        break;
      }
      pos %= end;
    }
  }
  v.position = pos;
}

// The same advance without reading the data.
void AdvanceVoice(SoundVoice& v, uint32_t count) {
  const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
  if (v.looping) {
    // pos + count x step, modulo the length, without overflowing 64 bits.
    uint64_t advance = (static_cast<unsigned __int128>(v.step) * count) % end;
    v.position = (v.position + advance) % end;
    return;
  }
  uint64_t remaining = end - v.position;  // the first frame at or past the end stops it
  uint64_t need = (remaining + v.step - 1) / v.step;
  if (need <= count) {
    v.playing = false;
    v.position = 0;
  } else {
    v.position += v.step * count;
  }
}

using VoiceMixer = void (*)(SoundVoice&, float*, uint32_t);

VoiceMixer ChooseMixer(const WAVEFORMATEX& source, int outChannels) {
  bool sixteen = source.wBitsPerSample == 16;
  bool stereo = source.nChannels == 2;
  if (outChannels == 2) {
    if (sixteen) return stereo ? MixVoice<S16Stereo, 2> : MixVoice<S16Mono, 2>;
    return stereo ? MixVoice<U8Stereo, 2> : MixVoice<U8Mono, 2>;
  }
  if (sixteen) return stereo ? MixVoice<S16Stereo, 1> : MixVoice<S16Mono, 1>;
  return stereo ? MixVoice<U8Stereo, 1> : MixVoice<U8Mono, 1>;
}

float DecibelGain(int32_t hundredths) {
  if (hundredths <= -10000) return 0.0f;
  return static_cast<float>(std::pow(10.0, hundredths / 2000.0));
}

}  // namespace

SoundMixer::SoundMixer() {
  output.wFormatTag = WAVE_FORMAT_PCM;
  output.nChannels = 2;
  output.nSamplesPerSec = 22050;
  output.wBitsPerSample = 8;
  output.nBlockAlign = 2;
  output.nAvgBytesPerSec = 44100;
}

// Never destroyed: when the program exits without closing the device (an X
// connection that breaks ends the process from inside Xlib), SDL's audio
// thread may still be mixing while the exit handlers run.
SoundMixer& Mixer() {
  static SoundMixer& mixer = *new SoundMixer;
  return mixer;
}

uint32_t SoundMixer::StepFrames() const {
  uint32_t frames = output.nSamplesPerSec / 100;
  return std::clamp<uint32_t>(frames, 1, MixerMaxStepFrames);
}

void SoundMixer::UpdateStep(SoundVoice& voice) const {
  voice.step = (static_cast<uint64_t>(voice.frequency) << 32) / output.nSamplesPerSec;
  if (voice.step == 0) voice.step = 1;
}

void SoundMixer::UpdateGains(SoundVoice& voice) {
  float base = DecibelGain(voice.volume);
  voice.gainLeft = voice.pan > 0 ? base * DecibelGain(-voice.pan) : base;
  voice.gainRight = voice.pan < 0 ? base * DecibelGain(voice.pan) : base;
}

void SoundMixer::SetOutputFormat(const WAVEFORMATEX& format) {
  output = format;
  output.cbSize = 0;
  for (SoundVoice* v : voices) UpdateStep(*v);
  nullBaseMicroseconds = PlatformCounterMicroseconds();
  nullFrames = 0;
}

bool SoundMixer::DataAudible(const SoundData* data) const {
  for (const SoundVoice* v : voices)
    if (v->playing && v->data.get() == data) return true;
  return false;
}

void SoundMixer::CatchUp() {
  if (device != SoundDeviceKind::Null) return;
  int64_t elapsed = PlatformCounterMicroseconds() - nullBaseMicroseconds;
  if (elapsed <= 0) return;
  uint64_t target = static_cast<uint64_t>(elapsed) * output.nSamplesPerSec / 1000000;
  if (target > nullFrames) {
    uint64_t frames = target - nullFrames;
    nullFrames = target;
    while (frames > 0) {
      uint32_t n = frames > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(frames);
      Mix(nullptr, n);
      frames -= n;
    }
  }
}

void SoundMixer::Mix(uint8_t* out, uint32_t frames) {
  const uint32_t step = StepFrames();
  const uint32_t frameBytes = output.nBlockAlign;
  while (frames > 0) {
    uint32_t n = frames < step ? frames : step;
    MixStep(out, n);
    if (out != nullptr) out += static_cast<size_t>(n) * frameBytes;
    frames -= n;
  }
}

void SoundMixer::MixStep(uint8_t* out, uint32_t frames) {
  const int outChannels = output.nChannels;
  if (out == nullptr) {
    for (SoundVoice* v : voices)
      if (v->playing) AdvanceVoice(*v, frames);
    return;
  }
  const size_t samples = static_cast<size_t>(frames) * outChannels;
  std::fill(accumulator_, accumulator_ + samples, 0.0f);
  for (SoundVoice* v : voices)
    if (v->playing) ChooseMixer(v->format, outChannels)(*v, accumulator_, frames);
  if (output.wBitsPerSample == 16) {
    for (size_t i = 0; i < samples; ++i) {
      float x = std::clamp(accumulator_[i], -32768.0f, 32767.0f);
      int16_t value = static_cast<int16_t>(static_cast<int32_t>(x + 32768.5f) - 32768);
      memcpy(out + i * 2, &value, 2);
    }
  } else {
    for (size_t i = 0; i < samples; ++i) {
      float x = std::clamp(accumulator_[i], -32768.0f, 32767.0f);
      out[i] = static_cast<uint8_t>(static_cast<int32_t>(x + 32768.5f) >> 8);
    }
  }
}
