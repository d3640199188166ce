// The small files the game keeps in its working folder ("option.dat",
// "keyconfig.dat", "backup.dat"): plain files of an exact size, opened with
// the standard file functions and never through the archive layer, holding
// little-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the whole file when it is exactly `size` bytes: 1 read, 0 the file
// does not open, -1 damaged (another size or a read error; logged).
int ReadSavedFile(const char* name, unsigned char* out, size_t size);
// Writes the bytes into "<name>.tmp", checking the write and the close, and
// renames it over the file, so that a failed write leaves the old file whole.
// 0, or -1 (logged; the old file unchanged).
int WriteFileReplacing(const char* name, const unsigned char* bytes, size_t size);
// The settings files' write: WriteFileReplacing, and when it fails
// "ファイルオープンエラー\n" goes to the standard output, the same text is
// shown on the screen and the game waits for any input (WaitAnyInputPress)
// before going on. 0, or -1.
int WriteSavedFile(const char* name, const unsigned char* bytes, size_t size);

inline uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteLe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}
