// Synthesised sounds: short effects as 16-bit PCM WAVE files and music loops
// encoded as Ogg Vorbis, both deterministic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediagen {

// One voice of an effect: a tone sliding from f0 to f1 Hz over its length,
// with a wave shape, a start time and a decay.
enum class Wave { Sine, Square, Triangle, Saw, Noise };
struct Voice {
  Wave wave = Wave::Sine;
  double start = 0.0;   // seconds
  double length = 0.1;  // seconds
  double f0 = 440.0, f1 = 440.0;
  double volume = 0.5;
  double decay = 4.0;  // exponential decay rate per second (0: flat)
};

constexpr int kEffectRate = 22050;
constexpr int kMusicRate = 22050;

// Mono samples of the voices mixed (-1..1), at the rate given.
std::vector<float> Synthesise(const std::vector<Voice>& voices, int rate);
// A mono 16-bit PCM WAVE file of the samples.
std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int rate);

// A music loop: a melody over a bass and a drum on a tempo, repeated a few
// bars. The seed picks the scale, the tune and the instrument colours.
std::vector<float> ComposeLoop(uint32_t seed, double seconds, int rate);
// An Ogg Vorbis file of mono samples (quality 0.1); the stream serial is
// fixed so the bytes never change.
std::vector<uint8_t> EncodeVorbis(const std::vector<float>& samples, int rate, uint32_t serial);

// Checks of the two formats: the reason is empty when the file is fine.
std::string CheckWave(const std::vector<uint8_t>& bytes);
std::string CheckVorbis(const std::vector<uint8_t>& bytes);

}  // namespace mediagen
