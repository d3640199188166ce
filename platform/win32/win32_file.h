// Files over POSIX descriptors. Paths are Windows-form Shift-JIS, mapped to
// host paths by MapPathToHost.
#pragma once

#include "platform/win32/win32_types.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

// Sharing modes are accepted and not enforced. Returns INVALID_HANDLE_VALUE
// on failure (GetLastError tells why).
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped);
// The new position's low 32 bits; the high half in and out through distanceHigh.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL DeleteFileA(LPCSTR path);

// The host's temporary folder (TMPDIR, else /tmp) in Windows form with a
// trailing backslash. The length without the terminator, or the size needed
// (terminator included) when the buffer is too small.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
// Creates a new empty file with a unique name in the folder: the first
// three letters of the prefix, six characters chosen by mkstemp and ".tmp".
// Its Windows-form path (at most MAX_PATH bytes) goes to tempFileName. unique
// must be 0. A nonzero number, or 0 on failure.
UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName);

// Directory searches. The pattern is a path whose last component may hold
// the wildcards '*' (any run of characters) and '?' (one character), matched
// without regard to ASCII case; "*.*" matches every name. Entries come in
// name order, "." and ".." first outside the root; names are Shift-JIS, and
// host names that have no Shift-JIS form are left out. A directory's size
// is 0; the creation time is the birth time where the file system keeps one,
// else the last write time.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

// INVALID_HANDLE_VALUE when nothing matches (ERROR_FILE_NOT_FOUND).
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// File times count 100-nanosecond steps since 1601-01-01 UTC. The local
// form adds the time zone's offset at that moment.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
// FALSE for times of 2^63 steps or more.
BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* out);
