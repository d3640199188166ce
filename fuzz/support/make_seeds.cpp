// Writes the seed corpora of the fuzz targets: small valid files of every
// layout each parser reads, and a few damaged ones; and the sound target's
// chained Ogg Vorbis reproducers. Run from the source root after changing
// it; the output is committed.
//
//   fuzz_make_seeds [FUZZ_FOLDER]   (default: fuzz)
#include <ogg/ogg.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/file/archive.h"
#include "library/sound/sound_decoder.h"
#include "tests/file/archive_fixture.h"
#include "tests/graphics/image_fixtures.h"  // brings libjpeg
#include "tests/sound/sound_media.h"  // WAVE images, and lame and oggenc
#include "tests/sound/vorbis_writer.h"  // Ogg Vorbis links of any format
#include "tools/archive/lz_encoder.h"
#include "tools/theoraclip/theora_clip.h"

namespace {

std::string gRoot = "fuzz";

void WriteInput(const std::string& target, const char* kind, const std::string& name, const Bytes& bytes) {
  const std::filesystem::path folder = std::filesystem::path(gRoot) / target / kind;
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  WriteInput(target, "seeds", name, bytes);
}

// An input that showed a fault, kept in the target's reproducers.
void Repro(const std::string& target, const std::string& name, const Bytes& bytes) {
  WriteInput(target, "repro", name, bytes);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) Append(out, p);
  return out;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Samples(size_t n, uint32_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(Hash(static_cast<int>(i), 3, seed));
  return out;
}

void LzSeeds() {
  const Bytes text = TextBytes(700);
  const Bytes block = LzEncode(text.data(), text.size());
  Seed("lz", "text", Join({{0, 0}, block}));
  Seed("lz", "text_short_destination", Join({{0, 0xFF}, block}));
  const Bytes runs(300, 'a');
  Seed("lz", "runs", Join({{0, 0}, LzEncode(runs.data(), runs.size())}));
  const Bytes noise = PatternBytes(200, 4);
  LzEncodeOptions escape;
  escape.escape = noise[0];
  Seed("lz", "escapes", Join({{0, 0}, LzEncode(noise.data(), noise.size(), escape)}));
  Bytes cut = block;
  cut.resize(cut.size() - 3);
  Seed("lz", "cut", Join({{0, 0}, cut}));
  Seed("lz", "round_trip", Join({{1, 0, 1, 0, 0, 0xFF, 0x1F, 0, 8}, text}));
  Seed("lz", "round_trip_near", Join({{1, 0x40, 0, 0, 0, 4, 0, 0x81, 2}, TextBytes(300)}));
}

ArchiveNode SeedTree() {
  return FolderNode("", {
      FolderNode("x", {FileNode("y.png", PatternBytes(90, 1)), FileNode("Text.txt", TextBytes(400))}),
      FolderNode("表示", {FileNode("画像.bmp", TextBytes(120)), FolderNode("深い", {FileNode("z.dat", {0x5A})})}),
      FileNode("a.bin", {}),
      FileNode("odd.bin", PatternBytes(31, 2)),
  });
}

void ArchiveSeeds() {
  for (uint16_t version = 0; version <= 4; ++version) {
    for (ArchivePacking packing : {ArchivePacking::Store, ArchivePacking::Always}) {
      if (version < 2 && packing != ArchivePacking::Store) continue;
      ArchiveWriteOptions options;
      options.version = version;
      options.packing = packing;
      Bytes image = BuildImage(SeedTree(), options);
      uint8_t key[ArchiveKeySize];
      MakeArchiveKey(nullptr, key);
      ScrambleArchiveBytes(static_cast<uint32_t>(image.size()), image.data(), 0, key);  // back to plain
      const std::string name = "v" + std::to_string(version) + (packing == ArchivePacking::Store ? "_stored" : "_packed");
      for (uint8_t mode = 0; mode < 3; ++mode)
        Seed("archive", name + "_mode" + std::to_string(mode), Join({{mode, static_cast<uint8_t>(mode * 40)}, image}));
    }
  }
  ArchiveWriteOptions second;
  second.key = ArchiveKeyKind::Second;
  Seed("archive", "second_key", Join({{8, 3}, BuildImage(SeedTree(), second)}));
  ArchiveWriteOptions keyed;
  keyed.key = ArchiveKeyKind::String;
  keyed.keyString = "fuzz key";
  Bytes image = BuildImage(SeedTree(), keyed);
  uint8_t key[ArchiveKeySize];
  MakeArchiveKey("fuzz key", key);
  ScrambleArchiveBytes(static_cast<uint32_t>(image.size()), image.data(), 0, key);
  Seed("archive", "key_string", Join({{4, 7}, image}));
}

Bytes Pixels8(int width, int height) {
  return PackRows(width, height, 8, false, [](int x, int y) { return static_cast<uint32_t>((x * 7 + y * 3) & 255); });
}

std::vector<uint32_t> Palette(int n) {
  std::vector<uint32_t> colors;
  for (int i = 0; i < n; ++i) colors.push_back(Hash(i, 0, 5) & 0xFFFFFF);
  return colors;
}

std::vector<std::pair<std::string, Bytes>> BmpFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  auto bmp = [&](const std::string& name, int width, int height, uint16_t bits, uint32_t compression,
                 std::vector<uint32_t> colors, std::vector<uint32_t> masks, Bytes pixels) {
    BmpLayout l;
    l.width = width;
    l.height = height;
    l.bits = bits;
    l.compression = compression;
    l.colors = std::move(colors);
    l.masks = std::move(masks);
    l.pixels = std::move(pixels);
    files.push_back({name, MakeBmp(l)});
  };
  auto rows = [](int width, int height, int bits, bool topDown) {
    return PackRows(width, height, bits, topDown, [bits](int x, int y) { return Hash(x, y, 7) & ((bits >= 32) ? 0xFFFFFFFFu : (1u << bits) - 1); });
  };
  bmp("1bit", 13, 5, 1, 0, Palette(2), {}, rows(13, 5, 1, false));
  bmp("4bit", 7, 6, 4, 0, Palette(16), {}, rows(7, 6, 4, false));
  bmp("8bit", 9, 4, 8, 0, Palette(256), {}, Pixels8(9, 4));
  bmp("8bit_topdown", 5, -3, 8, 0, Palette(20), {}, rows(5, 3, 8, true));
  bmp("16bit", 6, 5, 16, 0, {}, {}, rows(6, 5, 16, false));
  bmp("16bit_565", 6, 5, 16, 3, {}, {0xF800, 0x7E0, 0x1F}, rows(6, 5, 16, false));
  bmp("24bit", 5, 5, 24, 0, {}, {}, rows(5, 5, 24, false));
  bmp("32bit", 4, 3, 32, 0, {}, {}, rows(4, 3, 32, false));
  bmp("32bit_fields", 4, 3, 32, 3, {}, {0xFF00, 0xFF0000, 0xFF000000}, rows(4, 3, 32, false));
  bmp("rle8", 8, 4, 8, 1, Palette(256), {}, {3, 1, 0, 3, 5, 6, 7, 0, 0, 0, 2, 1, 1, 8, 9, 0, 0, 0, 1});
  bmp("rle4", 8, 4, 4, 2, Palette(16), {}, {4, 0x12, 0, 4, 0x34, 0x56, 0, 0, 5, 0x78, 0, 1});
  return files;
}

std::vector<std::pair<std::string, Bytes>> PngFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  auto png = [&](const std::string& name, uint32_t w, uint32_t h, uint8_t depth, uint8_t type, Bytes palette,
                 Bytes trns) {
    static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    PngLayout l;
    l.width = w;
    l.height = h;
    l.bitDepth = depth;
    l.colorType = type;
    l.rows = Samples((w * kChannels[type] * depth + 7) / 8 * h, 11);
    if (type == 3)
      for (auto& b : l.rows) b = static_cast<uint8_t>(b % (palette.size() / 3));
    l.palette = std::move(palette);
    l.trns = std::move(trns);
    files.push_back({name, MakePng(l)});
  };
  png("rgb", 5, 4, 8, 2, {}, {});
  png("rgb16", 3, 3, 16, 2, {}, {});
  png("rgba", 4, 4, 8, 6, {}, {});
  png("grey2", 9, 3, 2, 0, {}, {});
  png("grey_alpha", 3, 5, 8, 4, {}, {});
  png("palette", 6, 3, 8, 3, Samples(3 * 7, 2), {});
  png("palette_trns", 6, 3, 8, 3, Samples(3 * 7, 2), {0, 128, 255});
  return files;
}

std::vector<std::pair<std::string, Bytes>> JpegFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  files.push_back({"grey", MakeJpeg(9, 7, 1, Samples(9 * 7, 1), 75)});
  files.push_back({"rgb", MakeJpeg(16, 8, 3, Samples(16 * 8 * 3, 2), 75)});
  files.push_back({"cmyk", MakeJpeg(8, 8, 4, Samples(8 * 8 * 4, 3), 75)});
  files.push_back({"progressive", MakeJpeg(24, 16, 3, Samples(24 * 16 * 3, 9), 75, true)});
  Bytes cut = MakeJpeg(32, 32, 3, Samples(32 * 32 * 3, 4), 90);
  cut.resize(cut.size() * 2 / 3);
  files.push_back({"cut", cut});
  return files;
}

std::vector<std::pair<std::string, Bytes>> TgaFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  auto tga = [&](const std::string& name, uint8_t type, uint8_t bits, uint8_t descriptor, Bytes colorMap,
                 uint8_t mapBits, Bytes data) {
    TgaLayout l;
    l.type = type;
    l.pixelBits = bits;
    l.descriptor = descriptor;
    l.width = 3;
    l.height = 2;
    l.colorMap = std::move(colorMap);
    l.mapEntryBits = mapBits;
    l.data = std::move(data);
    files.push_back({name, MakeTga(l)});
  };
  tga("rgb24", 2, 24, 0x20, {}, 0, Samples(3 * 2 * 3, 1));
  tga("rgb32_bottom_up", 2, 32, 0x08, {}, 0, Samples(3 * 2 * 4, 2));
  tga("rgb16", 2, 16, 0x20, {}, 0, Samples(3 * 2 * 2, 3));
  tga("grey", 3, 8, 0x20, {}, 0, Samples(3 * 2, 4));
  tga("mapped", 1, 8, 0x20, Samples(4 * 3, 5), 24, {0, 1, 2, 3, 2, 1});
  tga("rle_rgb", 10, 24, 0x20, {}, 0, {0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  tga("rle_grey", 11, 8, 0x20, {}, 0, {0x85, 9});
  tga("rle_mapped", 9, 8, 0x20, Samples(4 * 3, 6), 24, {0x85, 2});
  return files;
}

std::vector<std::pair<std::string, Bytes>> DdsFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  DdsLayout dxt1;
  dxt1.data = Samples(8, 1);
  files.push_back({"dxt1", MakeDds(dxt1)});
  DdsLayout dxt3 = dxt1;
  dxt3.fourCC = "DXT3";
  dxt3.data = Samples(16, 2);
  files.push_back({"dxt3", MakeDds(dxt3)});
  DdsLayout dxt5 = dxt3;
  dxt5.fourCC = "DXT5";
  dxt5.width = dxt5.height = 8;
  dxt5.mipCount = 4;
  dxt5.flags |= 0x20000;
  dxt5.caps |= 0x400008;
  dxt5.data = Samples(16 * 4 + 16 + 16 + 16, 3);
  files.push_back({"dxt5_mips", MakeDds(dxt5)});
  DdsLayout argb;
  argb.fourCC = "\0\0\0\0";
  argb.pixelFlags = 0x41;
  argb.rgbBits = 32;
  argb.masks[0] = 0xFF0000;
  argb.masks[1] = 0xFF00;
  argb.masks[2] = 0xFF;
  argb.masks[3] = 0xFF000000;
  argb.width = 3;
  argb.height = 2;
  argb.data = Samples(3 * 2 * 4, 4);
  files.push_back({"argb32", MakeDds(argb)});
  DdsLayout rgb16 = argb;
  rgb16.pixelFlags = 0x40;
  rgb16.rgbBits = 16;
  rgb16.masks[0] = 0xF800;
  rgb16.masks[1] = 0x7E0;
  rgb16.masks[2] = 0x1F;
  rgb16.masks[3] = 0;
  rgb16.data = Samples(3 * 2 * 2, 5);
  files.push_back({"rgb565", MakeDds(rgb16)});
  return files;
}

std::vector<std::pair<std::string, Bytes>> BgraFiles() {
  return {{"depth32", MakeBgra(0x08080808, 3, 2, Samples(3 * 2 * 4, 1))},
          {"depth16", MakeBgra(0x04040404, 2, 2, Samples(2 * 2 * 2, 2))},
          {"depth24", MakeBgra(0x00080808, 2, 3, Samples(2 * 3 * 3, 3))}};
}

void ImageSeeds() {
  const struct {
    const char* target;
    std::vector<std::pair<std::string, Bytes>> files;
  } sets[] = {{"bmp", BmpFiles()}, {"png", PngFiles()}, {"jpeg", JpegFiles()},
              {"tga", TgaFiles()}, {"dds", DdsFiles()}, {"bgra", BgraFiles()}};
  // The pictures decoded into surfaces: every PNG of the decoder's, and a
  // picture of several bands of rows (80-byte rows, 819 a band).
  for (const auto& [name, bytes] : PngFiles()) Seed("png_surface", name, bytes);
  PngLayout bands;
  bands.width = 80;
  bands.height = 2000;
  bands.colorType = 0;
  for (uint32_t y = 0; y < 2000; ++y)
    for (uint32_t x = 0; x < 80; ++x) bands.rows.push_back(static_cast<uint8_t>(x * 3 + y));
  Seed("png_surface", "bands", MakePng(bands));
  for (const auto& set : sets) {
    for (const auto& [name, bytes] : set.files) Seed(set.target, name, bytes);
    // The loader: one picture of each kind, as it is, mirrored, with an alpha
    // image and in each section layout.
    const Bytes& first = set.files.front().second;
    const Bytes& alpha = set.files.back().second;
    for (uint8_t flags : {0, 1, 2, 4, 6, 9}) {
      Seed("image_load", std::string(set.target) + "_" + std::to_string(flags),
           Join({{flags, 0xFF, 0xFF}, first}));
    }
    const auto alphaLength = static_cast<uint16_t>(alpha.size());
    Seed("image_load", std::string(set.target) + "_alpha",
         Join({{0, static_cast<uint8_t>(alphaLength), static_cast<uint8_t>(alphaLength >> 8)}, first, alpha}));
  }
}

void KeyInputSeeds() {
  auto script = [](uint8_t maxLength, uint8_t kind, std::initializer_list<std::pair<bool, std::string>> batches) {
    Bytes out = {maxLength, kind};
    for (const auto& [shift, bytes] : batches) {
      out.push_back(static_cast<uint8_t>(bytes.size() | (shift ? 0x80 : 0)));
      Append(out, Str(bytes));
    }
    return out;
  };
  Seed("key_input", "typing", script(10, 0, {{false, "abc\x1D\x1DX"}, {false, "\x1A" "Y\x19Z"}}));
  Seed("key_input", "double_byte", script(8, 0, {{false, "aあい\x1D\x08x"}, {false, "\x1C\x10"}}));
  Seed("key_input", "selection", script(10, 0, {{false, "abcd"}, {true, "\x1D\x1D"}, {false, "\x08"}, {true, "\x1A"}, {false, "z"}}));
  Seed("key_input", "full_field", script(5, 0, {{false, "abcdef"}, {false, "\x1Dあ"}}));
  Seed("key_input", "numbers", script(10, 1, {{false, "-12.5.3a"}}));
  Seed("key_input", "single_byte", script(10, 2, {{false, "aあb"}}));
  Seed("key_input", "enter_escape", script(10, 4, {{false, "ab\r"}, {false, "c\x1B"}}));
  Seed("key_input", "copy_cut_paste", script(20, 0, {{false, "hello"}, {true, "\x1A"}, {false, "\x03\x19\x16\x16"}, {true, "\x1D"}, {false, "\x18\x16"}}));
}

void NetworkSeeds() {
  auto framed = [](std::initializer_list<std::string> bodies) {
    Bytes out;
    for (const std::string& b : bodies) {
      Put32(out, static_cast<uint32_t>(b.size()));
      Append(out, Str(b));
    }
    return out;
  };
  Seed("network", "raw_messages", Join({{0, 3, 0, 0}, framed({"hello", "", "world!", std::string(300, 'x')})}));
  Seed("network", "raw_cut_off", Join({{4, 1, 0, 0}, framed({"first", "second"}), {9, 0, 0, 0, 'a'}}));
  Seed("network", "raw_too_long", Join({{0, 16, 0, 0}, framed({"ok"}), {0xFF, 0xFF, 0xFF, 0x7F, 1, 2}}));
  // A message, then a length the ring cannot hold beside it while it waits.
  Seed("network", "raw_near_limit", Join({{4, 1, 0, 0}, framed({"afr"}), {0xFF, 0xFF, 0xFF, 0, 1, 2}}));
  Seed("network", "framed", {7, 5, 0, 1, 3, 'a', 'b', 'c', 0x81, 0, 5, 'h', 'e', 'l', 'l', 'o'});
  Seed("network", "framed_large_cut", {255, 0xFF, 0xFF, 3, 0x90, 2, 'x', 'y', 0x84});
}

void TextSeeds() {
  Seed("text", "path", Join({{1, 200}, Str("..\\a\\.\\b\\..\\c.png"), {0}, Str("C:\\game\\media")}));
  Seed("text", "unc", Join({{1, 40}, Str("\\\\server\\share\\x"), {0}, Str("D:\\")}));
  Seed("text", "drive", Join({{0, 10}, Str("E:dir/sub/../file.bmp")}));
  Seed("text", "sjis", Join({{1, 7}, Str("表示\\画像.bmp"), {0}, Str("C:\\ゲーム\\")}));
  Seed("text", "number", Join({{1, 5}, Str("  -2147483649.75e3")}));
  Seed("text", "big5", Join({{3, 9}, {0xA4, 0x5C, 0x5C, 'a', 0x81, 0}, Str("C:\\x")}));
  Seed("text", "long", Join({{2, 255}, Bytes(300, 'n'), Str("/.."), {0}, Str("C:\\b")}));
}

// A compressed WAVE file's format chunk and data behind the compression
// manager target's control bytes: source step, room, the chunk's length.
void AcmSeed(const std::string& name, const Bytes& wave) {
  Bytes fmt, data;
  for (size_t at = 12; at + 8 <= wave.size();) {
    const uint32_t size = wave[at + 4] | wave[at + 5] << 8 | wave[at + 6] << 16 | static_cast<uint32_t>(wave[at + 7]) << 24;
    if (at + 8 + size > wave.size()) break;
    const Bytes body(wave.begin() + static_cast<std::ptrdiff_t>(at + 8),
                     wave.begin() + static_cast<std::ptrdiff_t>(at + 8 + size));
    if (std::memcmp(&wave[at], "fmt ", 4) == 0) fmt = body;
    if (std::memcmp(&wave[at], "data", 4) == 0) data = body;
    at += 8 + size + (size & 1);
  }
  if (fmt.empty() || data.empty()) return;
  Seed("acm", name, Join({{3, 2, static_cast<uint8_t>(fmt.size()), static_cast<uint8_t>(fmt.size() >> 8)}, fmt, data}));
}

// Chained Ogg Vorbis files whose links differ in rate, written with
// libvorbisenc (rates no encoder is made for are encoded at 8 kHz and the
// header's rate renamed): a seed at the widest ratio converted, and the
// chains that showed the decoder's faults.
void OggChainInputs() {
  using vorbis_writer::EncodeLink;
  using vorbis_writer::Sine;
  auto renamed = [](Bytes link, uint32_t rate) {
    vorbis_writer::SetHeaderRate(link, rate);
    return link;
  };
  // Piece index 5 (4096 bytes), seek sample as given.
  auto input = [](uint16_t seek, const Bytes& file) {
    return Join({{0, 5, static_cast<uint8_t>(seek), static_cast<uint8_t>(seek >> 8)}, file});
  };
  const Bytes stereo200k = renamed(EncodeLink(Sine(2000, 2, 8000, 300), 2, 8000, 1), 200000);
  Seed("sound", "vorbis_chained_100_hz_into_200_khz.ogg",
       input(3000, Join({stereo200k, renamed(EncodeLink(Sine(100, 1, 8000, 200), 1, 8000, 2), 100)})));

  // A link of another rate whose last page claims 2^48 frames: the frames
  // times the output rate passed 64 bits.
  const Bytes stereo = EncodeLink(Sine(22050, 2, 44100, 440), 2, 44100, 1);
  Bytes huge = EncodeLink(Sine(11025, 1, 22050, 330), 1, 22050, 2);
  vorbis_writer::SetLastGranule(huge, int64_t(1) << 48);
  Repro("sound", "ogg_chain_link_claiming_2_48_frames", input(100, Join({stereo, huge})));
  // A link whose header says 8 Hz after one at 44.1 kHz: output frames were
  // skipped, and the length announced was not the length delivered.
  Repro("sound", "ogg_chain_link_at_8_hz", input(100, Join({stereo, renamed(EncodeLink(Sine(300, 1, 8000, 300), 1, 8000, 2), 8)})));
  // 100 Hz into 200 kHz, within the rates converted: the same fault.
  Repro("sound", "ogg_chain_100_hz_link_into_200_khz",
        input(60000, Join({stereo200k, renamed(EncodeLink(Sine(400, 1, 8000, 200), 1, 8000, 2), 100)})));
  // A seek into the converted second link, which vorbisfile lands past the
  // frame sought.
  Repro("sound", "ogg_chain_seek_into_converted_link",
        input(22310, Join({EncodeLink(Sine(22050, 1, 22050, 440), 1, 22050, 1),
                           EncodeLink(Sine(57330, 2, 44100, 330), 2, 44100, 2)})));
}

// Sound files behind the sound target's four control bytes: formats to pass
// over, piece size, a sample to seek to.
void SoundSeeds() {
  using sound_media::Chunk;
  using sound_media::FormatBody;
  using sound_media::MakeWave;
  using sound_media::Riff;
  using sound_media::Tone;
  auto seed = [](const std::string& name, uint8_t skip, const Bytes& file) {
    Seed("sound", name, Join({{skip, 3, 0x40, 0x01}, file}));
  };
  const Bytes tone16 = sound_media::Bytes(Tone(600, 2, 8000));
  const Bytes wave16 = MakeWave(2, 8000, 16, tone16);
  seed("pcm16_stereo.wav", 0, wave16);
  seed("pcm8_mono.wav", 0, MakeWave(1, 11025, 8, Bytes(300, 0x70), 18));
  Bytes cut = wave16;
  cut.resize(cut.size() - 333);
  seed("pcm_cut.wav", 0, cut);
  const Bytes wave = MakeWave(1, 16000, 16, sound_media::Bytes(Tone(4800, 1, 16000)));
  const Bytes mp3 = sound_media::EncodeMp3(wave, {"-t", "-b", "8"});
  if (!mp3.empty()) {
    seed("frames.mp3", 0, mp3);
    seed("frames_directshow.mp3", SoundSkipAcmMp3, mp3);
    Bytes fmt = FormatBody(0x55, 1, 16000, 0, 1, 30);
    fmt[18] = 1;  // MPEG
    fmt[24] = 36;  // block size: one 8 kbit/s frame at 16 kHz
    fmt[26] = 1;
    seed("mpeg_in.wav", 0, Riff({Chunk("fmt ", fmt), Chunk("fact", {1, 2, 3, 4}), Chunk("data", mp3)}));
    Bytes half = mp3;
    half.resize(half.size() / 2);
    seed("frames_cut.mp3", 0, half);
  }
  // MPEG-2 frames (the 8 kbit/s file above is MPEG-2.5, which only
  // DirectShow takes): through the compression manager.
  const Bytes mpeg2 = sound_media::EncodeMp3(MakeWave(1, 22050, 16, sound_media::Bytes(Tone(3000, 1, 22050))),
                                             {"-t", "-b", "32"});
  if (!mpeg2.empty()) seed("mpeg2_frames.mp3", SoundSkipDirectShowMp3, mpeg2);
  const Bytes ogg = sound_media::EncodeOgg(wave, {"-q", "-1"});
  if (!ogg.empty()) {
    seed("vorbis.ogg", 0, ogg);
    Bytes half = ogg;
    half.resize(half.size() * 3 / 4);
    seed("vorbis_cut.ogg", 0, half);
  }
  // A chain of three links: the second of another channel count, the third
  // of another rate.
  const Bytes link1 = sound_media::EncodeOgg(MakeWave(2, 16000, 16, sound_media::Bytes(Tone(1600, 2, 16000, 1))),
                                             {"-q", "-1", "-s", "1"});
  const Bytes link2 = sound_media::EncodeOgg(MakeWave(1, 16000, 16, sound_media::Bytes(Tone(1200, 1, 16000, 2))),
                                             {"-q", "-1", "-s", "2"});
  const Bytes link3 = sound_media::EncodeOgg(MakeWave(2, 8000, 16, sound_media::Bytes(Tone(800, 2, 8000, 3))),
                                             {"-q", "-1", "-s", "3"});
  if (!link1.empty() && !link2.empty() && !link3.empty()) seed("vorbis_chained.ogg", 0, Join({link1, link2, link3}));
  // Compressed WAVE files, written by sox, and one without samples.
  const Bytes source = MakeWave(2, 11025, 16, sound_media::Bytes(Tone(1500, 2, 11025)));
  for (const char* encoding : {"ima-adpcm", "ms-adpcm", "a-law", "u-law", "gsm-full-rate"}) {
    const Bytes file = sound_media::SoxConvert(source, encoding);
    if (file.empty()) continue;
    seed(std::string(encoding) + ".wav", 0, file);
    AcmSeed(encoding, file);
  }
  seed("pcm_empty.wav", 0, MakeWave(2, 8000, 16, {}));
  OggChainInputs();
}

// A clip of one stream laid out again one packet a page, its first frame's
// packet (the one after the three headers) made empty.
Bytes FirstFramePacketEmptied(const Bytes& clip) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(clip.size()));
  std::memcpy(buffer, clip.data(), clip.size());
  ogg_sync_wrote(&sync, static_cast<long>(clip.size()));
  ogg_stream_state in, out;
  bool ready = false;
  int packets = 0;
  Bytes result;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) > 0) {
    if (!ready) {
      ogg_stream_init(&in, ogg_page_serialno(&page));
      ogg_stream_init(&out, ogg_page_serialno(&page));
      ready = true;
    }
    ogg_stream_pagein(&in, &page);
    ogg_packet packet;
    while (ogg_stream_packetout(&in, &packet) > 0) {
      if (packets++ == 3) packet.bytes = 0;
      ogg_stream_packetin(&out, &packet);
      ogg_page written;
      while (ogg_stream_flush(&out, &written) != 0) {
        result.insert(result.end(), written.header, written.header + written.header_len);
        result.insert(result.end(), written.body, written.body + written.body_len);
      }
    }
  }
  if (ready) {
    ogg_stream_clear(&in);
    ogg_stream_clear(&out);
  }
  ogg_sync_clear(&sync);
  return result;
}

// Small clips behind the Theora target's five control bytes: ring size,
// then four steps (seek with the high bit, else advance).
void TheoraSeeds() {
  auto seed = [](const std::string& name, const Bytes& steps, const TheoraClipOptions& o, size_t cut = 0) {
    Bytes clip = MakeTheoraClip(o);
    if (clip.empty()) return;
    if (cut > 0 && cut < clip.size()) clip.resize(cut);
    Seed("theora", name, Join({steps, clip}));
  };
  TheoraClipOptions small;
  small.width = 16;
  small.height = 16;
  small.frames = 6;
  small.keyFrameInterval = 3;
  small.quality = 8;
  seed("small.ogv", {3, 0x84, 1, 0x80, 2}, small);
  TheoraClipOptions offset = small;
  offset.width = 18;
  offset.height = 14;
  offset.pictureX = 2;
  offset.pictureY = 2;
  offset.pageFill = 60;
  seed("picture_offset_split_pages.ogv", {1, 2, 3, 0x85, 4}, offset);
  TheoraClipOptions sound = small;
  sound.audioRate = 8000;
  sound.frames = 4;
  seed("with_vorbis.ogv", {2, 0x83, 0x81, 1, 1}, sound);
  seed("cut.ogv", {5, 0x85, 0, 0x82, 3}, small, 1500);
  // The first frame's packet empty: the decoder has no picture to give for it.
  Bytes clip = MakeTheoraClip(small);
  if (!clip.empty()) Seed("theora", "first_frame_empty.ogv", Join({{2, 0x80, 1, 0x83, 1}, FirstFramePacketEmptied(clip)}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gRoot = argv[1];
  LzSeeds();
  ArchiveSeeds();
  ImageSeeds();
  KeyInputSeeds();
  NetworkSeeds();
  TextSeeds();
  SoundSeeds();
  TheoraSeeds();
  std::printf("seeds written under %s\n", gRoot.c_str());
  return 0;
}
