// DirectSound (the version-1 interfaces), as far as the library uses it: the
// sound object made through COM, its primary buffer and output format, and
// secondary buffers of 8- or 16-bit PCM that a mixer of this system plays.
//
// Mixing. Every playing secondary buffer is resampled to the primary
// buffer's rate by linear interpolation between neighbouring frames (a
// looping buffer interpolates across its end into its start, a one-shot
// buffer holds its last frame), scaled by its volume and pan and summed in
// single-precision floating point, then clipped to the output sample range.
// Volume and pan are hundredths of a decibel: the gain is 10^(volume/2000)
// and -10000 (DSBVOLUME_MIN) is silence; a negative pan lowers the right
// channel by |pan|, a positive pan the left. A mono buffer feeds both output
// channels at its full gain; a stereo buffer feeds a mono output with the
// mean of its channels. Gains are at least 10^-5 and samples whole numbers,
// so no product is ever denormal.
//
// Time. The mixer runs in steps of at most 10 ms of output; play and write
// cursors move once per step. What advances it is the output device, chosen
// when the sound object is initialised:
// - SDL2's audio device, whose callback mixes straight into the device's
//   buffer (it allocates nothing and takes only the mixer's own lock); SDL's
//   "disk" driver, which writes the output to a file, counts as a device;
// - the null device, when SDL has no real device (its "dummy" driver, no
//   audio hardware): nothing is heard, and every call of a buffer catches the
//   mixer up with the performance counter (the virtual clock in tests);
// - the manual device (tests): the mixer advances only in
//   PlatformSoundRender.
// A one-shot buffer that plays to its end stops with its cursor back at 0.
//
// Locks. A buffer that nothing is playing (itself or a duplicate sharing its
// data) is locked in place; a buffer that plays hands out a copy of the
// locked bytes, written back on Unlock, so the mixer never reads bytes that
// another thread is writing.
#pragma once

#include "platform/com/com.h"
#include "platform/dsound/wave_format.h"
#include "platform/win32/win32_window.h"

inline constexpr CLSID CLSID_DirectSound = {
    0x47D4D946, 0x62E8, 0x11CF, {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000A);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001E);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032);
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078);
constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AA);

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

// Buffer description flags.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

// Play flags and status bits.
constexpr DWORD DSBPLAY_LOOPING = 0x1;
constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;

// Lock flags.
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

// Capability flags of the sound object.
constexpr DWORD DSCAPS_PRIMARYMONO = 0x1;
constexpr DWORD DSCAPS_PRIMARYSTEREO = 0x2;
constexpr DWORD DSCAPS_PRIMARY8BIT = 0x4;
constexpr DWORD DSCAPS_PRIMARY16BIT = 0x8;
constexpr DWORD DSCAPS_CONTINUOUSRATE = 0x10;
constexpr DWORD DSCAPS_EMULDRIVER = 0x20;
constexpr DWORD DSCAPS_SECONDARYMONO = 0x100;
constexpr DWORD DSCAPS_SECONDARYSTEREO = 0x200;
constexpr DWORD DSCAPS_SECONDARY8BIT = 0x400;
constexpr DWORD DSCAPS_SECONDARY16BIT = 0x800;

struct DSBUFFERDESC {
  DWORD dwSize;  // sizeof(DSBUFFERDESC)
  DWORD dwFlags;
  DWORD dwBufferBytes;  // 0 for the primary buffer
  DWORD dwReserved;
  WAVEFORMATEX* lpwfxFormat;  // null for the primary buffer
  GUID guid3DAlgorithm;
};

// The capabilities the library reads (software mixing: no hardware memory).
struct DSCAPS {
  DWORD dwSize;  // sizeof(DSCAPS)
  DWORD dwFlags;
  DWORD dwMinSecondarySampleRate;
  DWORD dwMaxSecondarySampleRate;
  DWORD dwTotalHwMemBytes;
  DWORD dwFreeHwMemBytes;
};

struct IDirectSoundBuffer : IUnknown {
  // Byte offsets of the next frame to play and of the first byte that is
  // safe to write (10 ms of the buffer's frequency ahead while it plays, the
  // play cursor while it is stopped). Either pointer may be null.
  virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
  virtual HRESULT GetStatus(DWORD* status) = 0;
  // offset and bytes within the buffer; a range past the end comes back in
  // two parts, the second from the buffer's start (else null and 0).
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                       DWORD flags) = 0;
  // reserved1 must be 0; priority is ignored.
  virtual HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) = 0;
  // Moves the play cursor (rounded down to a whole frame).
  virtual HRESULT SetCurrentPosition(DWORD position) = 0;
  // Primary buffer only: the output format (PCM, 1 or 2 channels, 8 or 16 bits).
  virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
  virtual HRESULT SetVolume(LONG volume) = 0;
  virtual HRESULT SetPan(LONG pan) = 0;
  // DSBFREQUENCY_ORIGINAL: the rate of the buffer's format.
  virtual HRESULT SetFrequency(DWORD frequency) = 0;
  virtual HRESULT Stop() = 0;
  // The parts and the bytes written in each, as Lock gave them.
  virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;

 protected:
  ~IDirectSoundBuffer() = default;
};

struct IDirectSound : IUnknown {
  // The description's primary flag gives the primary buffer (no size, no
  // format); otherwise a secondary buffer of PCM (1 or 2 channels, 8 or 16
  // bits, 100 to 200000 Hz, DSBSIZE_MIN to DSBSIZE_MAX bytes) filled with
  // silence. outer must be null.
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** out, IUnknown* outer) = 0;
  virtual HRESULT GetCaps(DSCAPS* caps) = 0;
  // A new secondary buffer that plays the same data, stopped at 0, with the
  // source's volume, pan and frequency.
  virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* source, IDirectSoundBuffer** out) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
  // Null: the default device. Opens the output device (see above).
  virtual HRESULT Initialize(const GUID* device) = 0;

 protected:
  ~IDirectSound() = default;
};

// CoCreateInstance's maker of CLSID_DirectSound objects; REGDB_E_CLASSNOTREG
// for any other class.
HRESULT CreateDirectSoundClassObject(const CLSID& classId, const IID& iid, void** out);

// Reached through GetProcAddress(LoadLibraryA("DSOUND.DLL"), "DirectSoundEnumerateA"):
// lists the output device, the one the sound object plays through first
// ("Primary Sound Driver", its module the device's name: "null", "manual" or
// SDL's driver). The callback returns FALSE to stop.
typedef BOOL (*LPDSENUMCALLBACKA)(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);

// ---------------------------------------------------------------- tests only

// Sound objects initialised from now on use the manual device (on) or the
// real or null device (off).
void PlatformSoundUseManualClock(bool on);
// Manual device: mixes the next frames in the output format (interleaved,
// 8-bit unsigned or 16-bit signed) into out, or only advances the buffers
// when out is null. -1 without a manual device.
int PlatformSoundRender(void* out, uint32_t frames);
// The device in use: "null", "manual", SDL's driver name, or "" before one is open.
const char* PlatformSoundDeviceName();
// The output format in use.
WAVEFORMATEX PlatformSoundOutputFormat();
// Secondary buffers alive.
int PlatformLiveSoundBufferCount();

// Failures the stand-in can be told to produce.
enum PlatformDirectSoundFault : uint32_t {
  PlatformDsCreateObject = 1u << 0,   // CoCreateInstance
  PlatformDsInitialize = 1u << 1,     // Initialize
  PlatformDsPrimary = 1u << 2,        // creating the primary buffer
  PlatformDsSetFormat = 1u << 3,      // the primary buffer's SetFormat
  PlatformDsSecondary = 1u << 4,      // every secondary buffer creation
  PlatformDsSecondaryOnce = 1u << 5,  // the next secondary buffer creation
  PlatformDsDuplicate = 1u << 6,      // DuplicateSoundBuffer
  PlatformDsLock = 1u << 7,           // Lock of a secondary buffer
};
void PlatformSetDirectSoundFaults(uint32_t faults);
