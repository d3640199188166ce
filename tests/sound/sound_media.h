// Sound files made by the tests and the benchmark: RIFF WAVE images written
// here, MP3 and Ogg Vorbis files made from them by Debian's encoders (lame,
// oggenc), and the codec libraries' own decodes to compare with.
#pragma once

#include <fcntl.h>
#include <mpg123.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace sound_media {

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
inline void PutId(std::vector<uint8_t>& v, const char* id) { v.insert(v.end(), id, id + 4); }

// A chunk: id, size, body, a pad byte when the size is odd.
inline std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> v;
  PutId(v, id);
  Put32(v, static_cast<uint32_t>(body.size()));
  v.insert(v.end(), body.begin(), body.end());
  if (body.size() & 1) v.push_back(0);
  return v;
}

// A format chunk body: the 16 bytes of PCM (18 with the extra size, more
// with extra bytes).
inline std::vector<uint8_t> FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                       uint16_t blockAlign, size_t size = 16) {
  std::vector<uint8_t> v;
  Put16(v, tag);
  Put16(v, channels);
  Put32(v, rate);
  Put32(v, rate * blockAlign);
  Put16(v, blockAlign);
  Put16(v, bits);
  if (size >= 18) Put16(v, static_cast<uint32_t>(size - 18));
  v.resize(size, 0);
  return v;
}

// RIFF WAVE from chunks (each made by Chunk).
inline std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> body;
  PutId(body, "WAVE");
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  std::vector<uint8_t> v;
  PutId(v, "RIFF");
  Put32(v, static_cast<uint32_t>(body.size()));
  v.insert(v.end(), body.begin(), body.end());
  return v;
}

// A plain PCM WAVE file.
inline std::vector<uint8_t> MakeWave(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& pcm,
                                     size_t fmtSize = 16) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return Riff({Chunk("fmt ", FormatBody(1, channels, rate, bits, align, fmtSize)), Chunk("data", pcm)});
}

// frames x channels samples of a few sines and a little noise: something an
// encoder has to work on.
inline std::vector<int16_t> Tone(uint32_t frames, int channels, uint32_t rate, uint32_t seed = 1) {
  std::vector<int16_t> v(static_cast<size_t>(frames) * channels);
  uint32_t x = seed;
  for (uint32_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      x = x * 1103515245u + 12345u;
      double s = 9000 * std::sin(2 * M_PI * (220 + 110 * c) * t) + 5000 * std::sin(2 * M_PI * 1375 * t + c) +
                 static_cast<double>(static_cast<int>(x >> 20) - 2048);
      v[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(s);
    }
  }
  return v;
}

inline std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> v(samples.size() * 2);
  memcpy(v.data(), samples.data(), v.size());
  return v;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs a program found on the PATH with its output discarded; true when it
// ran and succeeded.
inline bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline std::string WorkPath(const std::string& name) {
  static const std::string dir = [] {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/zrsoundXXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp");
  }();
  return dir + "/" + name;
}

// The WAVE encoded by a program (`tool` then its arguments, with the input
// and output paths appended); empty when the encoder is missing or fails.
inline std::vector<uint8_t> Encode(const std::vector<uint8_t>& wave, std::vector<std::string> command,
                                   const std::string& suffix) {
  static int serial = 0;
  std::string base = WorkPath("enc" + std::to_string(serial++));
  WriteAll(base + ".wav", wave);
  std::string out = base + suffix;
  if (command[0] == "oggenc") {
    command.push_back("-o");
    command.push_back(out);
    command.push_back(base + ".wav");
  } else {
    command.push_back(base + ".wav");
    command.push_back(out);
  }
  std::vector<uint8_t> bytes = Run(command) ? ReadAll(out) : std::vector<uint8_t>();
  std::remove((base + ".wav").c_str());
  std::remove(out.c_str());
  return bytes;
}

inline std::vector<uint8_t> EncodeMp3(const std::vector<uint8_t>& wave, std::vector<std::string> options = {}) {
  options.insert(options.begin(), {"lame", "--quiet"});
  return Encode(wave, options, ".mp3");
}
inline std::vector<uint8_t> EncodeOgg(const std::vector<uint8_t>& wave, std::vector<std::string> options = {}) {
  options.insert(options.begin(), {"oggenc", "-Q"});
  return Encode(wave, options, ".ogg");
}

// The WAVE converted by sox to the given encoding ("ima-adpcm", "ms-adpcm",
// "a-law", "u-law", "gsm-full-rate"; GSM is mono at 8 kHz), or, with
// "signed-integer", sox's own decode of a file to 16-bit PCM. Empty when sox
// is missing or fails.
inline std::vector<uint8_t> SoxConvert(const std::vector<uint8_t>& wave, const std::string& encoding) {
  static int serial = 0;
  const std::string in = WorkPath("sox" + std::to_string(serial) + "-in.wav");
  const std::string out = WorkPath("sox" + std::to_string(serial++) + "-out.wav");
  WriteAll(in, wave);
  std::vector<std::string> command = {"sox", in, "-e", encoding};
  if (encoding == "signed-integer") command.insert(command.end(), {"-b", "16"});
  if (encoding == "gsm-full-rate") command.insert(command.end(), {"-r", "8000", "-c", "1"});
  command.push_back(out);
  std::vector<uint8_t> bytes = Run(command) ? ReadAll(out) : std::vector<uint8_t>();
  std::remove(in.c_str());
  std::remove(out.c_str());
  return bytes;
}

// libmpg123's own decode of an MP3 file to 16-bit PCM in its own format,
// with every sample kept (gapless off, the information frame decoded as the
// frame it is).
inline std::vector<uint8_t> Mpg123Decode(const std::vector<uint8_t>& mp3, long* rate = nullptr,
                                         int* channels = nullptr) {
  mpg123_init();
  std::string path = WorkPath("reference.mp3");
  WriteAll(path, mp3);
  std::vector<uint8_t> pcm;
  int error = 0;
  mpg123_handle* h = mpg123_new(nullptr, &error);
  mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
  if (mpg123_open(h, path.c_str()) == MPG123_OK) {
    long r = 0;
    int c = 0, encoding = 0;
    mpg123_getformat(h, &r, &c, &encoding);
    mpg123_format_none(h);
    mpg123_format(h, r, c, MPG123_ENC_SIGNED_16);
    if (rate != nullptr) *rate = r;
    if (channels != nullptr) *channels = c;
    unsigned char block[16384];
    for (;;) {
      size_t done = 0;
      int result = mpg123_read(h, block, sizeof block, &done);
      pcm.insert(pcm.end(), block, block + done);
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(h);
  }
  mpg123_delete(h);
  std::remove(path.c_str());
  return pcm;
}

struct MemoryFile {
  const std::vector<uint8_t>* bytes;
  size_t position;
};

// libvorbisfile's own decode of an Ogg Vorbis file to 16-bit little-endian PCM.
inline std::vector<uint8_t> VorbisDecode(const std::vector<uint8_t>& ogg, long* samples = nullptr) {
  ov_callbacks callbacks;
  callbacks.read_func = [](void* out, size_t size, size_t count, void* source) -> size_t {
    auto* f = static_cast<MemoryFile*>(source);
    size_t n = std::min(size * count, f->bytes->size() - f->position);
    memcpy(out, f->bytes->data() + f->position, n);
    f->position += n;
    return size == 0 ? 0 : n / size;
  };
  callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
    auto* f = static_cast<MemoryFile*>(source);
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<int64_t>(f->position)
                                        : static_cast<int64_t>(f->bytes->size());
    int64_t p = base + offset;
    if (p < 0 || p > static_cast<int64_t>(f->bytes->size())) return -1;
    f->position = static_cast<size_t>(p);
    return 0;
  };
  callbacks.close_func = nullptr;
  callbacks.tell_func = [](void* source) -> long {
    return static_cast<long>(static_cast<MemoryFile*>(source)->position);
  };
  MemoryFile file{&ogg, 0};
  OggVorbis_File vf;
  std::vector<uint8_t> pcm;
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return pcm;
  if (samples != nullptr) *samples = static_cast<long>(ov_pcm_total(&vf, -1));
  char block[4096];
  for (;;) {
    int link = 0;
    long got = ov_read(&vf, block, sizeof block, 0, 2, 1, &link);
    if (got == OV_HOLE) continue;
    if (got <= 0) break;
    pcm.insert(pcm.end(), block, block + got);
  }
  ov_clear(&vf);
  return pcm;
}

}  // namespace sound_media
