// Shift-JIS (code page 932) text and Windows-form paths on the host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Conversions between code page 932 and UTF-8. Return false (and leave a
// best-effort result) when the input holds bytes that do not convert.
bool SjisToUtf8(std::string_view sjis, std::string& utf8);
bool Utf8ToSjis(std::string_view utf8, std::string& sjis);

// Maps a Shift-JIS path as the library writes it ('\' or '/', an optional
// drive such as "C:" standing for the host root, relative to the current
// directory otherwise) to a UTF-8 host path. When the path does not exist as
// written, each component is matched against the directory's entries without
// regard to ASCII case; components that match nothing are kept as written.
std::string MapPathToHost(std::string_view sjisPath);
// The same for a path already converted to UTF-8.
std::string MapUtf8PathToHost(std::string_view utf8Path);
// Both, telling whether a component was found in no way (the path then
// names nothing, as far as the directories' listings tell).
std::string MapPathToHost(std::string_view sjisPath, bool* missing);
std::string MapUtf8PathToHost(std::string_view utf8Path, bool* missing);

// Case-blind look-ups keep the listings of the directories they read and use
// them again while the kernel reports no change in a directory (or, where it
// cannot watch one, while the directory's change times stay as they were).
// What a kept listing answers stands once the disk bears it out: the path
// found exists, or the directory a name was missed in is still the one
// listed (a parent renamed or replaced, or a link repointed, leads the path
// elsewhere without a report). Files the program creates or deletes forget
// every listing.
void ForgetDirectoryListings();
// Directories read by case-blind look-ups since the process started.
int64_t PlatformDirectoryReadCount();

// The Windows form of a host path (see GetCurrentDirectoryA).
std::string HostPathToWindows(std::string_view hostPath);
