#include "tools/mediagen/generate.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace mediagen {

std::vector<uint8_t> MakeFile(const MediaFile& f) {
  if (f.kind != FileKind::Picture) return f.make();
  Canvas c(f.width, f.height);
  f.paint(c);
  return EncodePng(c, f.alpha);
}

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  // Unchanged files keep their time stamps, so packing or copying the tree
  // again does no needless work.
  std::ifstream old(path, std::ios::binary);
  if (old) {
    std::vector<uint8_t> now((std::istreambuf_iterator<char>(old)), {});
    if (now == bytes) return true;
  }
  old.close();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool GenerateMedia(const std::string& dir, int jobs, std::string* error,
                   const std::function<bool(const MediaFile&)>& filter) {
  std::string fontError;
  if (!FontAvailable(&fontError)) {
    *error = fontError;
    return false;
  }
  const std::vector<MediaFile>& files = Manifest();
  // The largest pictures first, so the threads finish together.
  std::vector<size_t> order;
  for (size_t i = 0; i < files.size(); ++i)
    if (!filter || filter(files[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return static_cast<int64_t>(files[a].width) * files[a].height > static_cast<int64_t>(files[b].width) * files[b].height;
  });
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::string failure;
  auto work = [&]() {
    for (size_t k = next++; k < order.size(); k = next++) {
      const MediaFile& f = files[order[k]];
      std::vector<uint8_t> bytes = MakeFile(f);
      if (bytes.empty() || !WriteBytes(dir + "/" + f.path, bytes)) {
        std::lock_guard<std::mutex> lock(mutex);
        if (failure.empty()) failure = "cannot make " + dir + "/" + f.path;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 1; t < std::max(1, jobs); ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  if (!failure.empty()) {
    *error = failure;
    return false;
  }
  return true;
}

bool WriteContactSheet(const std::string& mediaDir, const std::string& outPng, std::string* error) {
  std::vector<const MediaFile*> samples;
  for (const MediaFile& f : Manifest())
    if (f.kind == FileKind::Picture && f.sample) samples.push_back(&f);
  const int tileW = 200, tileH = 170, thumbH = 140, columns = 8;
  int rows = static_cast<int>((samples.size() + columns - 1) / columns);
  Canvas sheet(columns * tileW, rows * tileH + 40, {60, 60, 68, 255});
  sheet.Text(10, 8, "Stand-in media: " + std::to_string(samples.size()) + " of " + std::to_string(Manifest().size()) +
                        " files (mediagen sheet)",
             20, kWhite);
  for (size_t i = 0; i < samples.size(); ++i) {
    int x = static_cast<int>(i % columns) * tileW, y = 40 + static_cast<int>(i / columns) * tileH;
    Canvas picture;
    if (!ReadPng(mediaDir + "/" + samples[i]->path, &picture)) {
      *error = "cannot read " + samples[i]->path;
      return false;
    }
    // A checkerboard shows where the picture is transparent.
    for (int cy = 0; cy < thumbH; cy += 8)
      for (int cx = 0; cx < tileW - 8; cx += 8)
        sheet.FillRect(x + 4 + cx, y + 4 + cy, x + 4 + std::min(cx + 8, tileW - 8), y + 4 + std::min(cy + 8, thumbH),
                       ((cx + cy) / 8) % 2 ? Rgba{150, 150, 160, 255} : Rgba{190, 190, 200, 255});
    double scale = std::min({1.0, (tileW - 8.0) / picture.width(), static_cast<double>(thumbH) / picture.height()});
    int w = std::max(1, static_cast<int>(picture.width() * scale)), h = std::max(1, static_cast<int>(picture.height() * scale));
    // Small pictures are enlarged by whole steps so their pixels stay visible.
    if (scale == 1.0) {
      int k = std::max(1, std::min((tileW - 8) / picture.width(), thumbH / picture.height()));
      k = std::min(k, 4);
      w = picture.width() * k, h = picture.height() * k;
    }
    int left = x + 4 + (tileW - 8 - w) / 2, top = y + 4 + (thumbH - h) / 2;
    sheet.DrawScaled(picture, left, top, w, h);
    // The pictures carry no writing of their own: the sheet numbers the
    // cells of a divided picture (from 1, row by row) over their outlines.
    const MediaFile& f = *samples[i];
    if (f.loader == Loader::Divided && f.cut.count > 1) {
      double sx = static_cast<double>(w) / picture.width(), sy = static_cast<double>(h) / picture.height();
      for (int k = 0; k < f.cut.count; ++k) {
        double cx = left + (k % f.cut.across) * f.cut.w * sx, cy = top + (k / f.cut.across) * f.cut.h * sy;
        sheet.StrokeRect(cx, cy, cx + f.cut.w * sx, cy + f.cut.h * sy, 1, {255, 255, 0, 160});
        sheet.Text(cx + 2, cy + 1, std::to_string(k + 1), 9, kWhite, Align::Left, 1, kBlack);
      }
    }
    std::string name = samples[i]->path;
    sheet.TextCentred(x + tileW / 2.0, y + thumbH + 14, name, 11, kWhite, tileW - 6);
  }
  std::vector<uint8_t> bytes = EncodePng(sheet);
  std::ofstream out(outPng, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    *error = "cannot write " + outPng;
    return false;
  }
  return true;
}

}  // namespace mediagen
