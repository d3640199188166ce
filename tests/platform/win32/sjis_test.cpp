#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/win32/sjis.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_wide.h"
#include "tests/support/test_support.h"

namespace {

// Source texts are compiled to Shift-JIS; u8 literals stay UTF-8.
std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(ShiftJis, RoundTripKeepsTrailByte5C) {
  const std::string sjis = "表示ソ能ABC\\";  // 表 = 95 5C, ソ = 83 5C, 能 = 94 5C
  ASSERT_EQ(static_cast<unsigned char>(sjis[0]), 0x95);
  ASSERT_EQ(sjis[1], '\x5C');
  std::string utf8, back;
  EXPECT_TRUE(SjisToUtf8(sjis, utf8));
  EXPECT_EQ(utf8, U8(u8"表示ソ能ABC\\"));
  EXPECT_TRUE(Utf8ToSjis(utf8, back));
  EXPECT_EQ(back, sjis);
  // Half-width katakana and the full-width colon.
  std::string mixed = "ｱｲ：";
  EXPECT_TRUE(SjisToUtf8(mixed, utf8));
  EXPECT_EQ(utf8, U8(u8"ｱｲ："));
  // A cut-off lead byte does not convert, and is kept rather than dropped.
  EXPECT_FALSE(SjisToUtf8("a\x95", utf8));
  EXPECT_EQ(utf8.size(), 2u);
}

// Conversions still work in a thread's last moments, after its converters
// are gone: the main thread's exit handlers (the library's shut-down among
// them) run after its thread-local objects were destroyed.
TEST(ShiftJis, ConversionsWorkAfterTheThreadsConvertersAreGone) {
  struct Results {
    std::string utf8, sjis, wide;
  } results;
  std::thread([&results] {
    // Destroyed after the converters, which are made after it.
    struct Last {
      Results* results;
      ~Last() {
        SjisToUtf8("表示", results->utf8);
        Utf8ToSjis(U8(u8"表示"), results->sjis);
        WCHAR wide[4] = {};
        MultiByteToWideChar(932, 0, "表示", -1, wide, 4);
        results->wide = WideToUtf8(wide);
      }
    };
    thread_local Last last{nullptr};
    last.results = &results;
    std::string unused;
    SjisToUtf8("表", unused);
  }).join();
  EXPECT_EQ(results.utf8, U8(u8"表示"));
  EXPECT_EQ(results.sjis, "表示");
  EXPECT_EQ(results.wide, U8(u8"表示"));
}

TEST(Paths, MappingBackslashesDrivesJapaneseNamesAndCase) {
  TempDir dir;
  WriteFileText(dir.Make(U8(u8"Media/表示/Image.PNG")), "x");
  std::string root = HostPathToWindows(dir.path());  // C:\...\tmpXXXX in Shift-JIS
  ASSERT_EQ(root.compare(0, 3, "C:\\"), 0);

  struct Case {
    std::string asked;
    std::string host;
  } cases[] = {
      {root + "\\Media\\表示\\Image.PNG", dir.path() + U8(u8"/Media/表示/Image.PNG")},
      {root + "\\media\\表示\\image.png", dir.path() + U8(u8"/Media/表示/Image.PNG")},
      {root + "/MEDIA/表示/IMAGE.png", dir.path() + U8(u8"/Media/表示/Image.PNG")},
      // A missing name keeps what was asked for from the first miss on.
      {root + "\\media\\New\\a.txt", dir.path() + "/Media/New/a.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(MapPathToHost(c.asked), c.host) << c.asked;

  // Relative paths resolve against the current directory, also by case.
  char saved[1024];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA((root + "\\MEDIA").c_str()));
  EXPECT_EQ(MapPathToHost("表示\\image.png"), U8(u8"Media/表示/Image.PNG").substr(6));
  char cwd[1024];
  DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
  EXPECT_EQ(std::string(cwd, n), root + "\\Media");
  EXPECT_EQ(GetCurrentDirectoryA(3, cwd), n + 1);  // too small: the size needed
  ASSERT_EQ(chdir(saved), 0);
}

// Sets a directory's last change an hour back, as media that lie unchanged.
void AgeDirectory(const std::string& path) {
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  timespec times[2] = {st.st_atim, st.st_mtim};
  times[0].tv_sec -= 3600;
  times[1].tv_sec -= 3600;
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(Paths, CaseBlindLookUpsReadEachUnchangedDirectoryOnce) {
  TempDir dir;
  WriteFileText(dir.Make("Media/Image.PNG"), "x");
  AgeDirectory(dir.path() + "/Media");
  AgeDirectory(dir.path());
  const std::string root = HostPathToWindows(dir.path());

  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE.PNG"), dir.path() + "/Media/Image.PNG");
  const int64_t reads = PlatformDirectoryReadCount();
  // Names that are there, and names that are not (an alpha image, an
  // archive beside its folder), come from the kept listings.
  EXPECT_EQ(MapPathToHost(root + "\\media\\image.png"), dir.path() + "/Media/Image.PNG");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE_a.PNG"), dir.path() + "/Media/IMAGE_a.PNG");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA.dat"), dir.path() + "/MEDIA.dat");
  EXPECT_EQ(PlatformDirectoryReadCount(), reads);

  // A file made beside the program is found at once.
  WriteFileText(dir.path() + "/Media/Image_a.png", "a");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE_A.PNG"), dir.path() + "/Media/Image_a.png");
  EXPECT_GT(PlatformDirectoryReadCount(), reads);

  // And so are the files the program makes and removes itself.
  AgeDirectory(dir.path() + "/Media");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\NEW.TXT"), dir.path() + "/Media/NEW.TXT");
  HANDLE file = CreateFileA((root + "\\Media\\New.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\NEW.TXT"), dir.path() + "/Media/New.txt");
  AgeDirectory(dir.path() + "/Media");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\NEW.TXT"), dir.path() + "/Media/New.txt");
  ASSERT_TRUE(DeleteFileA((root + "\\MEDIA\\NEW.TXT").c_str()));
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\NEW.TXT"), dir.path() + "/Media/NEW.TXT");

  // Directories passed through by names as written are not read, so
  // another program's changes in them (a shared /tmp) cost no reads.
  const std::string through = root + "\\Media\\IMAGE.PNG";
  EXPECT_EQ(MapPathToHost(through), dir.path() + "/Media/Image.PNG");
  const int64_t passed = PlatformDirectoryReadCount();
  WriteFileText(dir.path() + "/Elsewhere.txt", "e");
  EXPECT_EQ(MapPathToHost(through), dir.path() + "/Media/Image.PNG");
  EXPECT_EQ(PlatformDirectoryReadCount(), passed);
}

// A directory the program has just made (its last change in the current
// tick of the file-system clock) is read once as well: the kernel reports
// its changes. Those of another program are seen at the next look-up, under
// every path the directory was looked up by, relative or absolute.
TEST(Paths, ListingsOfNewDirectoriesAreKeptAndChangesSeenUnderEveryPath) {
  TempDir dir;
  WriteFileText(dir.Make("Media/Image.PNG"), "x");
  const std::string root = HostPathToWindows(dir.path());
  char saved[1024];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);

  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE.PNG"), dir.path() + "/Media/Image.PNG");
  EXPECT_EQ(MapPathToHost("MEDIA\\IMAGE.PNG"), "Media/Image.PNG");
  const int64_t reads = PlatformDirectoryReadCount();
  bool missing = false;
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE_A.PNG", &missing), dir.path() + "/Media/IMAGE_A.PNG");
  EXPECT_TRUE(missing);
  EXPECT_EQ(MapPathToHost("MEDIA\\IMAGE_A.PNG", &missing), "Media/IMAGE_A.PNG");
  EXPECT_TRUE(missing);
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\image.png", &missing), dir.path() + "/Media/Image.PNG");
  EXPECT_FALSE(missing);
  EXPECT_EQ(PlatformDirectoryReadCount(), reads);

  WriteFileText(dir.path() + "/Media/Image_a.png", "a");
  EXPECT_EQ(MapPathToHost(root + "\\MEDIA\\IMAGE_A.PNG", &missing), dir.path() + "/Media/Image_a.png");
  EXPECT_FALSE(missing);
  EXPECT_EQ(MapPathToHost("MEDIA\\IMAGE_A.PNG"), "Media/Image_a.png");
  ASSERT_EQ(unlink((dir.path() + "/Media/Image_a.png").c_str()), 0);
  ASSERT_EQ(rename((dir.path() + "/Media").c_str(), (dir.path() + "/Other").c_str()), 0);
  EXPECT_EQ(MapPathToHost("MEDIA\\IMAGE_A.PNG", &missing), "MEDIA/IMAGE_A.PNG");
  EXPECT_TRUE(missing);
  EXPECT_EQ(MapPathToHost(root + "\\OTHER\\IMAGE.PNG"), dir.path() + "/Other/Image.PNG");

  // Relative names in another current directory are looked up there.
  TempDir second;
  WriteFileText(second.Make("Other/Second.PNG"), "y");
  ASSERT_EQ(chdir(second.path().c_str()), 0);
  EXPECT_EQ(MapPathToHost("OTHER\\IMAGE.PNG", &missing), "Other/IMAGE.PNG");
  EXPECT_TRUE(missing);
  EXPECT_EQ(MapPathToHost("OTHER\\SECOND.PNG"), "Other/Second.PNG");
  ASSERT_EQ(chdir(saved), 0);

  // A file to be opened that no listing holds is not found.
  HANDLE file = CreateFileA((root + "\\OTHER\\NONE.PNG").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Kept listings answer without a look at the disk only while their
// directory's watch reports nothing; but a parent folder renamed or
// exchanged for another, or a link on the path repointed, tells that watch
// nothing, and the path then leads to another directory. Neither the misses
// nor the names of a kept listing may then stand.
TEST(Paths, KeptListingsGiveWayWhenTheirPathLeadsElsewhere) {
  // ln -sfn target at
  const auto Repoint = [](const std::string& at, const char* target) {
    ASSERT_EQ(symlink(target, (at + ".new").c_str()), 0);
    ASSERT_EQ(rename((at + ".new").c_str(), at.c_str()), 0);
  };
  struct Case {
    const char* what;
    std::function<void(const TempDir&)> change;
    const char* asked;
    const char* host;  // below the case's folder
    bool missing = false;
  } cases[] = {
      {"a new file beside the kept names",
       [](const TempDir& d) { WriteFileText(d.path() + "/game/Data/New.txt", "n"); }, "game\\Data\\NEW.TXT",
       "game/Data/New.txt"},
      {"the parent renamed, a new one made in its place",
       [](const TempDir& d) {
         ASSERT_EQ(rename((d.path() + "/game").c_str(), (d.path() + "/game.bak").c_str()), 0);
         WriteFileText(d.Make("game/Data/New.txt"), "n");
       },
       "game\\Data\\NEW.TXT", "game/Data/New.txt"},
      {"the parent exchanged for another folder",
       [](const TempDir& d) {
         WriteFileText(d.Make("game.new/Data/New.txt"), "n");
         ASSERT_EQ(renameat2(AT_FDCWD, (d.path() + "/game.new").c_str(), AT_FDCWD, (d.path() + "/game").c_str(),
                             RENAME_EXCHANGE),
                   0)
             << strerror(errno);
       },
       "game\\Data\\NEW.TXT", "game/Data/New.txt"},
      {"a link on the path repointed",
       [&Repoint](const TempDir& d) {
         WriteFileText(d.Make("v2/Data/New.txt"), "n");
         Repoint(d.path() + "/current", "v2");
       },
       "current\\Data\\NEW.TXT", "current/Data/New.txt"},
      // Names the kept listings hold that are no longer there.
      {"a kept name gone with its renamed parent, another spelling in its place",
       [](const TempDir& d) {
         ASSERT_EQ(rename((d.path() + "/game").c_str(), (d.path() + "/game.bak").c_str()), 0);
         WriteFileText(d.Make("game/Data/old.TXT"), "o");
       },
       "game\\Data\\OLD.TXT", "game/Data/old.TXT"},
      {"a kept name gone with its renamed parent",
       [](const TempDir& d) {
         ASSERT_EQ(rename((d.path() + "/game").c_str(), (d.path() + "/game.bak").c_str()), 0);
         ASSERT_EQ(mkdir((d.path() + "/game").c_str(), 0755), 0);
         ASSERT_EQ(mkdir((d.path() + "/game/Data").c_str(), 0755), 0);
       },
       "game\\Data\\OLD.TXT", "game/Data/OLD.TXT", true},
      {"a kept folder name that the repointed link spells otherwise",
       [&Repoint](const TempDir& d) {
         WriteFileText(d.Make("v2/data/New.txt"), "n");
         Repoint(d.path() + "/current", "v2");
       },
       "current\\DATA\\NEW.TXT", "current/data/New.txt"},
      {"a kept folder name that the repointed link spells otherwise, the folder never listed",
       [&Repoint](const TempDir& d) {
         WriteFileText(d.Make("v2/save/New.txt"), "n");
         Repoint(d.path() + "/current", "v2");
       },
       "current\\SAVE\\NEW.TXT", "current/save/New.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileText(dir.Make("game/Data/Old.txt"), "o");
    WriteFileText(dir.Make("v1/Data/Old.txt"), "o");
    WriteFileText(dir.Make("v1/Save/Old.txt"), "o");
    ASSERT_EQ(symlink("v1", (dir.path() + "/current").c_str()), 0);
    const std::string root = HostPathToWindows(dir.path()) + "\\";
    const char* primed[] = {"game\\Data\\NEW.TXT", "game\\Data\\OLD.TXT", "current\\DATA\\NEW.TXT",
                            "current\\DATA\\OLD.TXT"};
    for (const char* name : primed) MapPathToHost(root + name);
    // The listings are kept: asked again, they read nothing.
    const int64_t reads = PlatformDirectoryReadCount();
    for (const char* name : primed) MapPathToHost(root + name);
    ASSERT_EQ(PlatformDirectoryReadCount(), reads);

    c.change(dir);
    bool missing = false;
    const std::string host = MapPathToHost(root + c.asked, &missing);
    EXPECT_EQ(host, dir.path() + "/" + c.host);
    EXPECT_EQ(missing, c.missing);
  }
}

}  // namespace
