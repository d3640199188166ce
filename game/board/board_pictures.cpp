// Loading the board map's pictures.
#include "game/board/board_pictures.h"

#include "game/board/board_map.h"
#include "game/board/party_scene.h"
#include "game/shell/game_main.h"
#include "library/zrlib.h"
#include "platform/win32/win32_window.h"

int32_t BoardPictures[9] = {};
int32_t BambooBoardPictures[6] = {};

namespace {

[[noreturn]] void FailBoardPicture(const char* file) {
  WriteErrorLogFormat("%s の読み込みに失敗しました", file);
  MessageBoxA(nullptr, "読み込み失敗", "error", 0);
  ExitGame(1, file);
}

int32_t LoadBoardPicture(const char* file) {
  int32_t handle = LoadGraphFile(file, 0);
  if (handle == -1) FailBoardPicture(file);
  return handle;
}

int32_t LoadBoardMask(const char* file) {
  int32_t handle = LoadMaskFile(file);
  if (handle == -1) FailBoardPicture(file);
  return handle;
}

void FreeBoardPictures() {
  for (int32_t& handle : BoardPictures) {
    if (handle > 0) FreeGraph(handle);
    handle = 0;
  }
  for (int i = 0; i < 6; ++i) {
    int32_t& handle = BambooBoardPictures[i];
    if (handle > 0) {
      if (i == kBambooMaskEntries[0] || i == kBambooMaskEntries[1]) {
        DeleteMaskData(handle);
      } else {
        FreeGraph(handle);
      }
    }
    handle = 0;
  }
}

}  // namespace

void LoadBoardImages() {
  LoadBoardSquares(CurrentMapId);
  FreeBoardPictures();
  switch (CurrentMapId) {
    case 0:
      BoardPictures[0] = LoadBoardPicture("media\\sugoroku\\thornyle\\thornyle_bg.png");
      break;
    case 1:
      BoardPictures[1] = LoadBoardPicture("media\\sugoroku\\thornyle\\thornyle_bg.png");
      break;
    case 2:
      BoardPictures[1] = LoadBoardPicture("media\\sugoroku\\zarvie\\ザルヴィエ_MAP_1.png");
      BoardPictures[2] = LoadBoardPicture("media\\sugoroku\\zarvie\\ザルヴィエ_MAP_2.png");
      BoardPictures[3] = LoadBoardPicture("media\\sugoroku\\zarvie\\ザルヴィエ_MAP_all1.png");
      BoardPictures[4] = LoadBoardPicture("media\\sugoroku\\zarvie\\ザルヴィエ_MAP_all2.png");
      break;
    case 3:
      BoardPictures[1] = LoadBoardPicture("media\\sugoroku\\cadris\\セリュナ下.png");
      BoardPictures[2] = LoadBoardPicture("media\\sugoroku\\cadris\\セリュナ上.png");
      BoardPictures[3] = LoadBoardPicture("media\\sugoroku\\cadris\\セリュナ全部.png");
      BoardPictures[4] = LoadBoardPicture("media\\sugoroku\\cadris\\セリュナ全部.png");
      BoardPictures[5] = LoadBoardPicture("media\\sugoroku\\cadris\\さくら封鎖.png");
      BoardPictures[6] = LoadBoardPicture("media\\sugoroku\\cadris\\ボフィネ_mini.png");
      BoardPictures[7] = LoadBoardPicture("media\\sugoroku\\cadris\\アンセリ_mini.png");
      BoardPictures[8] = LoadBoardPicture("media\\sugoroku\\cadris\\ユクスタ_mini.png");
      break;
    case 4:
      BambooBoardPictures[0] = LoadBoardPicture("media\\sugoroku\\brimwold\\brimwold_bg1.png");
      BambooBoardPictures[1] = LoadBoardPicture("media\\sugoroku\\brimwold\\takeyabu_ver1.png");
      BambooBoardPictures[2] = LoadBoardPicture("media\\sugoroku\\brimwold\\brimwold_bg_bamboo12.png");
      BambooBoardPictures[3] = LoadBoardMask("media\\sugoroku\\brimwold\\brimwold_bg_mask2.png");
      BambooBoardPictures[4] = LoadBoardPicture("media\\sugoroku\\brimwold\\brimwold_bg_bamboo_under.png");
      BambooBoardPictures[5] = LoadBoardMask("media\\sugoroku\\brimwold\\brimwold_bg_mask.png");
      break;
    case 5:
    case 6:
    case 7: {
      char key[16] = "";
      GetBoardFolderName(CurrentMapId, key);
      FailBoardPicture(key);
    }
    default:
      break;
  }
}
