#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/core/library_state.h"
#include "library/core/memory.h"
#include "library/core/system_report.h"
#include "library/sound/sound_handle.h"
#include "platform/dinput/dinput.h"
#include "tests/core/library_fixture.h"
#include "tests/support/test_support.h"

namespace {

std::string Cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

void ExpectLog(const std::vector<std::string>& expected) {
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  std::string all;
  for (const std::string& line : lines) all += SjisForPrint(line) + "\n";
  ASSERT_EQ(lines.size(), expected.size()) << all;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(MatchesPattern(lines[i], expected[i])) << "line " << i << ": " << SjisForPrint(lines[i]);
}

// The start-up steps of a window-mode start on the virtual clock (times stripped).
const std::vector<std::string> kStartUp = {
    "システムの情報を出力します",
    "\tＺＲライブラリ Ver3.04d",
    "\t論理プロセッサの数 : *",
    "\tＯＳ  Windows7 ( Build 7601 Service Pack 1 )",
    "\tＣＰＵ動作速度：大体1.00GHz",
    "\tＭＭＸ命令を使用します",
    "\tＳＳＥ命令が使用可能です",
    "\tＳＳＥ２命令が使用可能です",
    "\tＣＰＵベンダ：*",
    "\tＣＰＵ名：*",
    "ＣＯＭの初期化... 成功しました",
    "メモリ総量:*MB  空きメモリ領域:*MB ",
    "タイマーの精度を検査します",
    "精度結果 更新回数 マルチメディアタイマー：0  パフォーマンスカウンター：0",
    " パフォーマンスカウンターを使用します タイマー分解能 : 1000000.000000 KHz ",
    " ソフトの二重起動検査... 二重起動はされていませんでした",
    "ウインドウクラスを登録します... 登録に成功しました",
    "ウインドウモード起動用のウインドウを作成します",
    "ウインドウの作成に成功しました",
    "ＩＭＥを無効にしました",
    "ウインドウスタイルをウインドウモード用に変更します... 完了",
    "DirectInput関係初期化処理",
    "\tDirectInput7 の取得中... 成功",
    "\t引き続き初期化処理... 初期化成功",
    "\tジョイパッドの初期化... ",
    "\tジョイパッドの初期化は正常に終了しました",
    "\tマウスデバイスの初期化... 初期化成功",
    "\tキーボードデバイスの初期化... 初期化成功",
    "DirectInput 関連の初期化は正常に終了しました",
    "DirectSound の初期化を行います",
    "DirectSound インターフェースの取得を行います....  成功",
    "引き続きインターフェースの初期化処理...  成功",
    "\tDirectSound デバイスを列挙します",
    // The device taken: SDL's dummy driver is no device, so the null device.
    "\t\tモジュール名:           null  ドライバ記述:Primary Sound Driver (Null device: no output, time kept) "
    "最大サンプリングレート:200.00KHz 最小サンプリングレート:0.10KHz 総サウンドメモリ領域:0.00KB "
    "空きサウンドメモリ領域:0.00KB ",
    "\t利用可能サンプリング精度",
    "\t プライマリ １６bit = OK  ８bit = OK  セカンダリ １６bit = OK  ８bit = OK ",
    "\t利用可能チャンネル",
    "\t プライマリ MONO = OK  STEREO = OK  セカンダリ MONO = OK  STEREO = OK ",
    "DirectSound の初期化は正常に終了しました",
    "DirectDraw オブジェクトの取得を行います.... 成功",
    "引き続き初期化処理... 初期化に成功しました",
    "IDirect3D9Ex オブジェクトを取得します.... 成功",
    "IDirect3DDevice9Ex オブジェクトを取得します.... Direct3DDevice9Ex の作成に失敗しました",
    "フォントの初期化を行います",
    "フォントの初期化は正常に終了しました",
    "文字コードバッファの初期化を行います... 完了しました",
};

const std::vector<std::string> kShutDown = {
    "フォントの初期化を行います",
    "フォントの初期化は正常に終了しました",
    "DirectInput 関連の終了処理... 完了",
    "DirectSound の終了処理は正常に終了しました",
    "ウインドウを閉じようとしています",
    "ウインドウが破棄されようとしています",
    "ソフトを終了する準備が整いました",
    "ＣＯＭを終了... 完了",
    "",
    "Alloc memory dump",
    "\tTotal size:0(0.000kb)  Alloc num:0",
    "",
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(LibraryTest, StartAndEndWriteTheLogInOrder) {
  std::string start = Cwd();
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(LibraryInitialised, 1);
  EXPECT_EQ(LibraryStarting, 0);
  ExpectLog(kStartUp);

  // A second start changes nothing.
  HWND window = MainHwnd;
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_EQ(MainHwnd, window);
  ExpectLog(kStartUp);

  // The directory current at start-up comes back at the end.
  TempDir elsewhere;
  ASSERT_EQ(chdir(elsewhere.path().c_str()), 0);
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_EQ(Cwd(), start);
  EXPECT_EQ(LibraryInitialised, 0);
  EXPECT_EQ(MainHwnd, nullptr);
  ExpectLog(Concat(kStartUp, kShutDown));
  EXPECT_EQ(EndLibrary(), 0);  // a second end does nothing
  ExpectLog(Concat(kStartUp, kShutDown));
}

TEST_F(LibraryTest, EndBeforeStartDoesNothing) {
  DeleteFileA("Log.txt");
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_TRUE(ReadFileBytes("Log.txt").empty());
}

TEST_F(LibraryTest, DefaultWindowNamesAndClientArea) {
  ASSERT_EQ(InitLibrary(), 0);
  char text[64];
  GetWindowTextA(MainHwnd, text, sizeof text);
  EXPECT_STREQ(text, "ZrLib");
  EXPECT_STREQ(MainWindowConfig.className, "Z123987R");
  EXPECT_EQ(FindWindowA("Z123987R", nullptr), MainHwnd);
  RECT client;
  GetClientRect(MainHwnd, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  int area[4];
  GetWindowClientArea(area);
  EXPECT_EQ(area[2] - area[0], 640);
  EXPECT_EQ(area[3] - area[1], 480);
  EXPECT_EQ(AppActive, 1);
}

TEST_F(LibraryTest, TwentyFourBitDesktopRefusedOnlyInWindowMode) {
  PlatformSetDesktopColorBits(24);
  EXPECT_EQ(InitLibrary(), -1);
  EXPECT_EQ(MainHwnd, nullptr);
  EXPECT_EQ(LibraryStarting, 0);
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ＺＲライブラリは２４ビットカラーモードに対応していません");

  // A full-screen request with no display mode of the screen's size (and
  // none scaled) starts in a window after all, where the 24-bit desktop is
  // refused again.
  PlatformOfferScaledDisplayModes(false);
  WindowedMode = 0;
  EXPECT_EQ(InitLibrary(), -1);
  EXPECT_EQ(WindowedMode, 1);

  PlatformSetDesktopColorBits(32);
  EXPECT_EQ(InitLibrary(), 0);
}

TEST_F(LibraryTest, FailureAfterTheWindowReleasesWhatStarted) {
  // The keyboard's events cannot be set up: input's start fails.
  PlatformSetDirectInputFaults(PlatformDiKeyboardEvent);
  std::string start = Cwd();
  EXPECT_EQ(InitLibrary(), -1);
  PlatformSetDirectInputFaults(0);
  EXPECT_EQ(LibraryInitialised, 0);
  EXPECT_EQ(LibraryStarting, 0);
  EXPECT_EQ(MainHwnd, nullptr);
  EXPECT_EQ(FindWindowA("Z123987R", nullptr), nullptr);
  EXPECT_EQ(ComInitialised, 0);
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Alloc memory dump");

  // The library starts normally afterwards.
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_NE(MainHwnd, nullptr);
}

TEST_F(LibraryTest, SecondCopyIsRefused) {
  // The child may not inherit a started SDL, as it would in a run of many tests.
  if (SDL_WasInit(SDL_INIT_VIDEO)) GTEST_SKIP() << "needs a process of its own";
  // Another process holds a window of the class; this one must not start.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char c = InitLibrary() == 0 ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    if (read(done[0], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_EQ(InitLibrary(), -1);
  EXPECT_EQ(MainWindowClosed, 1);
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      " ソフトの二重起動検査... 二重起動されています、ソフトを終了します"),
            lines.end());
  EXPECT_EQ(ProcessWindowMessages(), -1);  // no window, and creation set the closed flag
  ASSERT_EQ(write(done[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // With the first copy gone the start succeeds.
  EXPECT_EQ(InitLibrary(), 0);
}

TEST_F(LibraryTest, FatalErrorExitLogsShutsDownAndExits) {
  ASSERT_EQ(InitLibrary(), 0);
  // The child is a fork of this thread alone: sound runs without its thread
  // (as on one processor), so nothing the child waits for is missing.
  EndSoundSystem();
  ProcessorCount = 1;
  ASSERT_EQ(InitSoundSystem(), 0);
  EXPECT_EXIT(FatalErrorExitFormat("fatal %d", 7), testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = ReadLogLines("Log.txt");
  ASSERT_GE(lines.size(), 13u);
  std::vector<std::string> tail(lines.end() - 13, lines.end());
  EXPECT_EQ(tail[0], "fatal 7");
  EXPECT_EQ(tail[1], "フォントの初期化を行います");
  EXPECT_EQ(tail[3], "DirectInput 関連の終了処理... 完了");
  EXPECT_EQ(tail[4], "DirectSound の終了処理は正常に終了しました");
  EXPECT_EQ(tail[5], "ウインドウを閉じようとしています");
  EXPECT_EQ(tail[10], "Alloc memory dump");
}

}  // namespace
