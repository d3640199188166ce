// Temporary files: the movie player copies a movie into one before it hands
// the file name on.
#include <cstring>

#include "library/core/text_helpers.h"
#include "library/sound/sound_handle.h"
#include "platform/win32/win32.h"

HANDLE CreateTempFile(char* pathOut) {
  char folder[256];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  // A folder whose name does not leave room for a file name is no use.
  if (length == 0 || length + 16 >= sizeof folder) return nullptr;
  if (folder[length - 1] != '\\') {
    folder[length] = '\\';
    folder[length + 1] = '\0';
  }
  char name[MAX_PATH];
  if (GetTempFileNameA(folder, "tmp", 0, name) == 0) return nullptr;
  char path[MAX_PATH];
  if (MakeFullPath(name, path, nullptr) != 0) {
    DeleteFileA(name);
    return nullptr;
  }
  DeleteFileA(path);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (pathOut != nullptr) StrCopy(pathOut, MAX_PATH, path);
  return file;
}
