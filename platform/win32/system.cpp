#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif
#include <malloc.h>
#include <sched.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/d3d9/d3d9_control.h"
#include "platform/dsound/dsound.h"
#include "platform/win32/win32_system.h"

void PlatformKeepFreedHeapMemory() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_ARENA_MAX, 1);
}

void PlatformReturnFreedHeapMemory() { malloc_trim(0); }

void PlatformPrefaultMemory(void* block, size_t bytes) {
#if defined(__linux__)
#ifndef MADV_POPULATE_WRITE
  constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older kernels refuse it
#endif
  constexpr size_t kSmallest = 64 << 10;
  if (block == nullptr || bytes < kSmallest) return;
  // The pages the block touches (population keeps what they hold).
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t start = reinterpret_cast<uintptr_t>(block) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes + page - 1) & ~(page - 1);
  madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}

int32_t PlatformUsableProcessorCount() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int32_t>(online) : 1;
}

size_t PlatformPageSize() {
  static const size_t page = [] {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : size_t{4096};
  }();
  return page;
}

void* PlatformMapBlock(size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void PlatformUnmapBlock(void* block, size_t bytes) { munmap(block, bytes); }

void* PlatformReserveHugePageSpan(size_t bytes) {
  constexpr size_t kHugePage = 2 << 20;
  void* span = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                    -1, 0);
  if (span == MAP_FAILED) return nullptr;
  auto* first = static_cast<uint8_t*>(span);
  auto* start = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(span) + kHugePage - 1) & ~(kHugePage - 1));
  // The reservation's ends beyond the aligned span go back.
  if (start > first) munmap(first, static_cast<size_t>(start - first));
  if (start + bytes < first + bytes + kHugePage) munmap(start + bytes, static_cast<size_t>(first + kHugePage - start));
#if defined(MADV_HUGEPAGE)
  madvise(start, bytes, MADV_HUGEPAGE);
#endif
  return start;
}

void PlatformDiscardPages(void* block, size_t bytes) {
  const uintptr_t page = PlatformPageSize();
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(page - 1);
  if (block != nullptr && end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}

namespace {
std::atomic<PlatformWaitWork> displayWaitWork{nullptr};
}  // namespace

void PlatformSetDisplayWaitWork(PlatformWaitWork work) { displayWaitWork = work; }

PlatformWaitWork PlatformDisplayWaitWork() { return displayWaitWork; }

void GetSystemInfo(SYSTEM_INFO* info) {
  memset(info, 0, sizeof *info);
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  long page = sysconf(_SC_PAGESIZE);
  info->wProcessorArchitecture = 9;  // x64
  info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
  info->dwNumberOfProcessors = count > 0 ? static_cast<DWORD>(count) : 1;
  info->dwActiveProcessorMask =
      info->dwNumberOfProcessors >= 64 ? ~uintptr_t{0} : (uintptr_t{1} << info->dwNumberOfProcessors) - 1;
  info->dwAllocationGranularity = 65536;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 7601;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "Service Pack 1");
  return TRUE;
}

namespace {

// Total and available physical memory from /proc/meminfo (bytes).
void ReadPhysicalMemory(uint64_t* total, uint64_t* available) {
  *total = 0;
  *available = 0;
  FILE* f = fopen("/proc/meminfo", "r");
  if (f == nullptr) return;
  char line[256];
  uint64_t freeKb = 0;
  bool haveAvailable = false;
  while (fgets(line, sizeof line, f) != nullptr) {
    unsigned long long kb = 0;
    if (sscanf(line, "MemTotal: %llu kB", &kb) == 1) *total = kb * 1024;
    if (sscanf(line, "MemFree: %llu kB", &kb) == 1) freeKb = kb;
    if (sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
      *available = kb * 1024;
      haveAvailable = true;
    }
  }
  fclose(f);
  if (!haveAvailable) *available = freeKb * 1024;
}

BOOL GlobalMemoryStatusExImpl(MEMORYSTATUSEX* status) {
  if (status == nullptr || status->dwLength != sizeof(MEMORYSTATUSEX)) return FALSE;
  uint64_t total, available;
  ReadPhysicalMemory(&total, &available);
  status->dwMemoryLoad = total == 0 ? 0 : static_cast<DWORD>(100 - available * 100 / total);
  status->ullTotalPhys = total;
  status->ullAvailPhys = available;
  status->ullTotalPageFile = total;
  status->ullAvailPageFile = available;
  status->ullTotalVirtual = 1ull << 47;
  status->ullAvailVirtual = 1ull << 47;
  status->ullAvailExtendedVirtual = 0;
  return TRUE;
}

LONG DwmEnableCompositionImpl(UINT) { return S_OK; }

struct Export {
  const char* name;
  FARPROC function;
};

struct Module {
  const char* name;
  const Export* exports;
  bool (*available)() = nullptr;  // null: always
};

const Export kKernelExports[] = {
    {"GlobalMemoryStatusEx", reinterpret_cast<FARPROC>(&GlobalMemoryStatusExImpl)},
    {nullptr, nullptr}};
const Export kUserExports[] = {{nullptr, nullptr}};
const Export kDwmExports[] = {
    {"DwmEnableComposition", reinterpret_cast<FARPROC>(&DwmEnableCompositionImpl)},
    {nullptr, nullptr}};
const Export kD3D9Exports[] = {
    {"Direct3DCreate9", reinterpret_cast<FARPROC>(&Direct3DCreate9)},
    {"Direct3DCreate9Ex", reinterpret_cast<FARPROC>(&Direct3DCreate9Ex)},
    {nullptr, nullptr}};
const Export kDirectSoundExports[] = {
    {"DirectSoundEnumerateA", reinterpret_cast<FARPROC>(&DirectSoundEnumerateA)},
    {nullptr, nullptr}};

Module kModules[] = {
    {"", kUserExports},  // the program itself
    {"kernel32", kKernelExports},
    {"user32", kUserExports},
    {"dwmapi", kDwmExports},
    {"d3d9", kD3D9Exports, D3D9ModuleAvailable},
    {"dsound", kDirectSoundExports},
};

Module* FindModule(LPCSTR name) {
  if (name == nullptr) return nullptr;
  std::string key;
  for (const char* p = name; *p != '\0'; ++p)
    key += static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
  if (key.empty()) return nullptr;
  for (Module& m : kModules)
    if (key == m.name) return m.available == nullptr || m.available() ? &m : nullptr;
  return nullptr;
}

}  // namespace

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (status == nullptr) return;
  MEMORYSTATUSEX ex{};
  ex.dwLength = sizeof ex;
  GlobalMemoryStatusExImpl(&ex);
  status->dwLength = sizeof *status;
  status->dwMemoryLoad = ex.dwMemoryLoad;
  status->dwTotalPhys = static_cast<size_t>(ex.ullTotalPhys);
  status->dwAvailPhys = static_cast<size_t>(ex.ullAvailPhys);
  status->dwTotalPageFile = static_cast<size_t>(ex.ullTotalPageFile);
  status->dwAvailPageFile = static_cast<size_t>(ex.ullAvailPageFile);
  status->dwTotalVirtual = static_cast<size_t>(ex.ullTotalVirtual);
  status->dwAvailVirtual = static_cast<size_t>(ex.ullAvailVirtual);
}

UINT GetOEMCP() { return 932; }

HINSTANCE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) return reinterpret_cast<HINSTANCE>(&kModules[0]);
  return reinterpret_cast<HINSTANCE>(FindModule(name));
}

HMODULE LoadLibraryA(LPCSTR name) { return reinterpret_cast<HMODULE>(FindModule(name)); }

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) return nullptr;
  const Module* m = reinterpret_cast<const Module*>(module);
  for (const Export* e = m->exports; e->name != nullptr; ++e)
    if (strcmp(e->name, name) == 0) return e->function;
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return module != nullptr ? TRUE : FALSE; }

bool ReadCpuId(uint32_t function, uint32_t registers[4]) {
#if defined(__x86_64__) || defined(__i386__)
  unsigned int a, b, c, d;
  if (!__get_cpuid(function, &a, &b, &c, &d)) return false;
  registers[0] = a;
  registers[1] = b;
  registers[2] = c;
  registers[3] = d;
  return true;
#else
  (void)function;
  (void)registers;
  return false;
#endif
}

namespace {
std::atomic<PlatformExitHook> exitHook{nullptr};
}  // namespace

void PlatformSetExitHook(PlatformExitHook hook) { exitHook.store(hook); }

void ExitProcess(UINT exitCode) {
  if (PlatformExitHook hook = exitHook.load()) hook(exitCode);
  exit(static_cast<int>(exitCode));
}
