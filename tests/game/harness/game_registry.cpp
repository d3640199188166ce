#include "tests/game/harness/game_registry.h"

#include <algorithm>

namespace {

std::vector<void (*)()>& Registrars() {
  static std::vector<void (*)()> registrars;
  return registrars;
}

GameRegistry& Registry() {
  static GameRegistry registry;
  return registry;
}

}  // namespace

void AddGameRegistrar(void (*registrar)()) { Registrars().push_back(registrar); }

void RegisterGameMachine(const char* machine, const char* variable, std::function<int64_t()> read, int64_t idle) {
  Registry().machines.push_back({machine, variable, std::move(read), idle});
}

void RegisterGameEntry(const char* name, std::function<std::string()> text) {
  Registry().entries.push_back({name, std::move(text)});
}

const GameRegistry& GetGameRegistry() {
  static bool filled = false;
  if (!filled) {
    filled = true;
    for (void (*registrar)() : Registrars()) registrar();
    // A fixed order, whatever order the modules were linked in.
    GameRegistry& r = Registry();
    std::sort(r.machines.begin(), r.machines.end(), [](const GameMachineEntry& a, const GameMachineEntry& b) {
      return a.machine != b.machine ? a.machine < b.machine : a.variable < b.variable;
    });
    std::sort(r.entries.begin(), r.entries.end(),
              [](const GameDumpEntry& a, const GameDumpEntry& b) { return a.name < b.name; });
  }
  return Registry();
}

std::string HexBytes(const void* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}
