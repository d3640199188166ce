// The audio compression manager, as far as the library uses it: format
// suggestion, conversion streams with their headers, size queries and the
// format-size metric. The codecs convert to 16-bit PCM of the source's
// channels and rate:
// - MPEG audio (layers I to III, tags WAVE_FORMAT_MPEGLAYER3 and
//   WAVE_FORMAT_MPEG) over libmpg123;
// - the block codecs of WAVE files over libavcodec: IMA ADPCM
//   (WAVE_FORMAT_IMA_ADPCM), Microsoft ADPCM (WAVE_FORMAT_ADPCM), A-law and
//   mu-law (WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW) and GSM 6.10
//   (WAVE_FORMAT_GSM610, mono);
// any other source format is refused with ACMERR_NOTPOSSIBLE.
//
// A conversion takes every source byte it is given (what does not yet make a
// whole frame or block waits inside the stream for the next call) and writes
// the PCM of every whole frame or block received, as far as the destination
// holds whole sample frames; the rest waits for the next call, which may give
// no source at all. Frames decode as they arrive, the first one included, so
// a call whose source completes a frame or block never ends without output.
// A block cut short by the end of the data is not converted (no call marks
// the end). MPEG encoder delay and padding are not removed and an
// information frame decodes as the silent frame it is: the PCM of n frames
// is always n x samples-per-frame; a block gives all the samples it holds,
// padding after the last sample of a file included.
#pragma once

#include "platform/dsound/wave_format.h"

typedef UINT MMRESULT;
struct HACMSTREAM__;
typedef HACMSTREAM__* HACMSTREAM;
struct HACMDRIVER__;
typedef HACMDRIVER__* HACMDRIVER;
typedef void* HACMOBJ;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_BUSY = 513;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr DWORD ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr DWORD ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
constexpr DWORD ACM_STREAMOPENF_QUERY = 0x1;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x4;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x0;
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x1;
constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;

constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

struct ACMSTREAMHEADER {
  DWORD cbStruct;  // sizeof(ACMSTREAMHEADER)
  DWORD fdwStatus;
  uintptr_t dwUser;
  BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  uintptr_t dwSrcUser;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  uintptr_t dwDstUser;
  DWORD dwReservedDriver[10];
};

#pragma pack(push, 1)
struct MPEGLAYER3WAVEFORMAT {
  WAVEFORMATEX wfx;
  WORD wID;
  DWORD fdwFlags;
  WORD nBlockSize;
  WORD nFramesPerBlock;
  WORD nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "the MPEG layer-3 format block is 30 bytes");

constexpr WORD MPEGLAYER3_WFX_EXTRA_BYTES = 12;
constexpr WORD MPEGLAYER3_ID_MPEG = 1;
constexpr DWORD MPEGLAYER3_FLAG_PADDING_ISO = 0;
constexpr DWORD MPEGLAYER3_FLAG_PADDING_ON = 1;
constexpr DWORD MPEGLAYER3_FLAG_PADDING_OFF = 2;

// ACM_METRIC_MAX_SIZE_FORMAT: the largest format block of the codecs the
// library builds itself (the MPEG layer-3 block). object must be null.
MMRESULT acmMetrics(HACMOBJ object, UINT metric, void* value);
// With ACM_FORMATSUGGESTF_WFORMATTAG and a PCM tag in dst: 16-bit PCM of the
// source's channels and rate. driver must be null.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD dstSize, DWORD flags);
// dst must be what acmFormatSuggest gives for src. filter must be null; no
// callback. ACM_STREAMOPENF_QUERY only tests.
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       void* filter, uintptr_t callback, uintptr_t instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
// ACM_STREAMSIZEF_SOURCE: the most PCM bytes `input` source bytes can give
// (MPEG: whole frames of the first frame's size, less one byte of padding
// each, plus one; block codecs: the blocks begun, each whole);
// ACM_STREAMSIZEF_DESTINATION: the source bytes that give `input` PCM bytes
// at that frame or block size.
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);

// Tests only: conversion streams open.
int PlatformLiveAcmStreamCount();
