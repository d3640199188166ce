#include "library/graphics/core_stand_ins.h"

#include <cstdlib>

#include "library/core/log.h"

void WaitWhileInactive() {}

void FatalErrorExit(const char* text) {
  WriteErrorLog(text);
  WriteErrorLog("\n");
  std::exit(-1);
}
