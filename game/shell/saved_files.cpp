// Reading and writing the working folder's settings and autosave files.
#include "game/shell/saved_files.h"

#include <cstdio>

#include "library/zrlib.h"

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

int WriteSavedFile(const char* name, const unsigned char* bytes, size_t size) {
  FILE* f = fopen(name, "wb");
  if (f == nullptr) {
    WriteErrorLogFormat("%s を書き込み用に開けません", name);
    printf("ファイルオープンエラー\n");
    fflush(stdout);
    WaitAnyInputPress();
    return -1;
  }
  size_t written = fwrite(bytes, 1, size, f);
  bool closed = fclose(f) == 0;
  if (written != size || !closed) {
    WriteErrorLogFormat("%s の書き込みに失敗しました", name);
    return -1;
  }
  return 0;
}
