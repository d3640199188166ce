// What the game harness knows of the game's state, registered by each module
// in one line per entry: the step variables of its state machines (for the
// state dump and the stall watchdog), its tables in their saved-file layouts
// and its party globals (for the dump). A module adds a file
// tests/game/harness/registry_<module>.cpp:
//
//   #include "game/board/turn_machine.h"
//   #include "tests/game/harness/game_registry.h"
//
//   GAME_REGISTRY(turn_machine) {
//     GAME_MACHINE(RunTurnMachine, TurnStep);     // a step variable, idle at 0
//     GAME_MACHINE(RollDie, DieState, 1);         // idle at 1 between uses
//     GAME_TABLE(PlayerTable);                    // its bytes, as backup.dat holds them
//     GAME_VALUE(CurrentMapId);                   // an integer or real
//     GAME_TEXT("Standings", [] { return ...; }); // anything else, as text
//   }
//
// A machine is running while its step differs from its idle value; only
// running machines appear in the dump and count for the watchdog.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

struct GameMachineEntry {
  std::string machine;   // the state machine's function
  std::string variable;  // its step variable
  std::function<int64_t()> read;
  int64_t idle;
};

struct GameDumpEntry {
  std::string name;
  std::function<std::string()> text;
};

struct GameRegistry {
  std::vector<GameMachineEntry> machines;
  std::vector<GameDumpEntry> entries;  // tables, values and texts
};

// Every module's entries (filled on first use from the registered functions).
const GameRegistry& GetGameRegistry();

// Registration, for the macros below.
void AddGameRegistrar(void (*registrar)());
void RegisterGameMachine(const char* machine, const char* variable, std::function<int64_t()> read, int64_t idle);
void RegisterGameEntry(const char* name, std::function<std::string()> text);
// Bytes as lowercase hexadecimal.
std::string HexBytes(const void* data, size_t size);
// An integer, or a real with 9 significant digits.
template <class T>
std::string ValueText(const T& value) {
  if constexpr (std::is_floating_point_v<T>) {
    char buffer[48];
    snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
  } else {
    return std::to_string(static_cast<int64_t>(value));
  }
}

#define GAME_REGISTRY(name)                                                        \
  static void GameRegistry_##name();                                               \
  [[maybe_unused]] static const bool gameRegistryAdded_##name =                    \
      (AddGameRegistrar(&GameRegistry_##name), true);                              \
  static void GameRegistry_##name()

#define GAME_MACHINE(function, step, ...)                                                              \
  RegisterGameMachine(#function, #step, [] { return static_cast<int64_t>(step); }, (__VA_ARGS__ + 0))

#define GAME_TABLE(variable)                                                                            \
  RegisterGameEntry(#variable, [] { return "table " + HexBytes(&(variable), sizeof(variable)); })

#define GAME_VALUE(variable) RegisterGameEntry(#variable, [] { return "value " + ValueText(variable); })

#define GAME_TEXT(name, function) RegisterGameEntry(name, [] { return std::string("text ") + (function)(); })
