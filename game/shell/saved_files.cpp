// Reading and writing the working folder's settings and autosave files.
#include "game/shell/saved_files.h"

#include <cstdio>
#include <string>

#include "library/zrlib.h"

namespace {

const char kSaveFailureText[] = "ファイルオープンエラー";

// The failure text on a cleared screen at full brightness (the screen may
// be faded out), so that the wait for input that follows never looks like a
// hang; the brightness is put back afterwards.
void ShowSaveFailure() {
  DrawBrightBytes bright = DrawBright;
  SetDrawBrightness(255, 255, 255);
  ClearDrawTarget(nullptr);
  DrawTextWithDefaultFont(220, 232, kSaveFailureText, MakeScreenColor(255, 255, 255), 0);
  PresentScreen();
  SetDrawBrightness(bright.red, bright.green, bright.blue);
}

}  // namespace

int ReadSavedFile(const char* name, unsigned char* out, size_t size) {
  FILE* f = fopen(name, "rb");
  if (f == nullptr) return 0;
  size_t got = fread(out, 1, size, f);
  bool longer = fgetc(f) != EOF;
  bool failed = ferror(f) != 0;
  fclose(f);
  if (got == size && !longer && !failed) return 1;
  WriteErrorLogFormat("%s が壊れています (%u バイトではありません)", name, static_cast<unsigned>(size));
  return -1;
}

int WriteFileReplacing(const char* name, const unsigned char* bytes, size_t size) {
  std::string temporary = std::string(name) + ".tmp";
  FILE* f = fopen(temporary.c_str(), "wb");
  if (f == nullptr) {
    WriteErrorLogFormat("%s を書き込み用に開けません", temporary.c_str());
    return -1;
  }
  size_t written = fwrite(bytes, 1, size, f);
  bool flushed = fflush(f) == 0;
  bool closed = fclose(f) == 0;
  if (written != size || !flushed || !closed) {
    WriteErrorLogFormat("%s の書き込みに失敗しました", temporary.c_str());
    remove(temporary.c_str());
    return -1;
  }
  if (rename(temporary.c_str(), name) != 0) {
    WriteErrorLogFormat("%s を %s に置き換えられません", temporary.c_str(), name);
    remove(temporary.c_str());
    return -1;
  }
  return 0;
}

int WriteSavedFile(const char* name, const unsigned char* bytes, size_t size) {
  if (WriteFileReplacing(name, bytes, size) == 0) return 0;
  printf("%s\n", kSaveFailureText);
  fflush(stdout);
  ShowSaveFailure();
  WaitAnyInputPress();
  return -1;
}
