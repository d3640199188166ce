#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/kernel_object.h"
#include "platform/win32/sjis.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_misc.h"
#include "platform/win32/win32_wide.h"

namespace {

struct FileObject final : KernelObject {
  int fd = -1;
  ~FileObject() override {
    if (fd >= 0) close(fd);
  }
};

FileObject* AsFile(HANDLE handle) {
  return dynamic_cast<FileObject*>(KernelObjectFromHandle(handle));
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

bool Seek(FileObject* file, int64_t distance, DWORD method, int64_t* position) {
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  off_t current = lseek(file->fd, 0, SEEK_CUR);
  off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? current : lseek(file->fd, 0, SEEK_END);
  if (base + distance < 0) {
    lseek(file->fd, current, SEEK_SET);
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  off_t result = lseek(file->fd, static_cast<off_t>(base + distance), SEEK_SET);
  if (result < 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  *position = result;
  return true;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD creation, DWORD,
                   HANDLE) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool missing = false;
  std::string host = MapPathToHost(path, &missing);
  int flags = O_CLOEXEC;
  bool read = (access & GENERIC_READ) != 0, write = (access & GENERIC_WRITE) != 0;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (creation) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  // A file to be opened that the directories' listings do not hold is not
  // asked for again (the archive look-ups of every picture try several).
  if (missing && (flags & O_CREAT) == 0) {
    SetLastError(ErrorFromErrno(ENOENT));
    return INVALID_HANDLE_VALUE;
  }
  struct stat before;
  const bool existed = (flags & O_CREAT) == 0 || lstat(host.c_str(), &before) == 0;
  int fd = open(host.c_str(), flags, 0644);
  if (!existed) ForgetDirectoryListings();
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new FileObject();
  file->fd = fd;
  SetLastError(0);
  return HandleFromKernelObject(file);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
  if (bytesRead != nullptr) *bytesRead = 0;
  FileObject* file = AsFile(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD done = 0;
  while (done < bytesToRead) {
    ssize_t n = read(file->fd, static_cast<char*>(buffer) + done, bytesToRead - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      if (bytesRead != nullptr) *bytesRead = done;
      return FALSE;
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (bytesRead != nullptr) *bytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  FileObject* file = AsFile(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD done = 0;
  while (done < bytesToWrite) {
    ssize_t n = write(file->fd, static_cast<const char*>(buffer) + done, bytesToWrite - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorFromErrno(errno));
      if (bytesWritten != nullptr) *bytesWritten = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (bytesWritten != nullptr) *bytesWritten = done;
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
  FileObject* file = AsFile(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t move = distanceHigh != nullptr
                     ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                            static_cast<uint32_t>(distance))
                     : distance;
  int64_t position = 0;
  if (!Seek(file, move, method, &position)) return INVALID_SET_FILE_POINTER;
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(position >> 32);
  SetLastError(0);
  return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                      DWORD method) {
  FileObject* file = AsFile(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int64_t position = 0;
  if (!Seek(file, distance.QuadPart, method, &position)) return FALSE;
  if (newPosition != nullptr) newPosition->QuadPart = position;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  FileObject* file = AsFile(handle);
  struct stat st;
  if (file == nullptr || size == nullptr || fstat(file->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  size->QuadPart = st.st_size;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size.QuadPart) >> 32);
  return static_cast<DWORD>(size.QuadPart);
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
  const char* dir = getenv("TMPDIR");
  std::string host = dir != nullptr && dir[0] == '/' ? dir : "/tmp";
  if (host.back() != '/') host += '/';
  std::string windows = HostPathToWindows(host);
  if (windows.size() + 1 > bufferLength || buffer == nullptr) return static_cast<DWORD>(windows.size() + 1);
  memcpy(buffer, windows.c_str(), windows.size() + 1);
  return static_cast<DWORD>(windows.size());
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
  if (pathName == nullptr || tempFileName == nullptr || unique != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string host = MapPathToHost(pathName);
  if (!host.empty() && host.back() != '/') host += '/';
  host += std::string(prefix != nullptr ? prefix : "").substr(0, 3) + "XXXXXX.tmp";
  int fd = mkstemps(host.data(), 4);
  ForgetDirectoryListings();
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return 0;
  }
  close(fd);
  std::string windows = HostPathToWindows(host);
  if (windows.size() >= MAX_PATH) {
    unlink(host.c_str());
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  memcpy(tempFileName, windows.c_str(), windows.size() + 1);
  // The number in the name: any nonzero value.
  uint32_t number = 0;
  for (char c : host) number = number * 31 + static_cast<uint8_t>(c);
  return number == 0 ? 1 : number;
}

namespace {

BOOL DeleteHostFile(const std::string& host) {
  const bool removed = unlink(host.c_str()) == 0;
  ForgetDirectoryListings();
  if (!removed) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL DeleteFileA(LPCSTR path) {
  if (path == nullptr) return FALSE;
  return DeleteHostFile(MapPathToHost(path));
}

BOOL DeleteFileW(LPCWSTR path) {
  if (path == nullptr) return FALSE;
  return DeleteHostFile(MapUtf8PathToHost(WideToUtf8(path)));
}
