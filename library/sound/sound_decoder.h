// Sound data decoding: one decoder turns a sound file (a stream over a file
// or a block of memory) into 8- or 16-bit PCM. The formats are tried in
// order: plain PCM WAVE, compressed WAVE through the compression manager,
// Ogg Vorbis, MP3 through the compression manager, and last MP3 through
// DirectShow. Buffered sounds decode a whole file at load; stream sounds
// read block by block while they play and seek to their loop points.
#pragma once

#include <cstdint>

#include "library/file/file_table.h"
#include "platform/acm/msacm.h"
#include "platform/dsound/wave_format.h"

// Decoder kinds.
constexpr uint32_t SoundDecoderPcmWave = 0;
constexpr uint32_t SoundDecoderAcm = 1;
constexpr uint32_t SoundDecoderOggVorbis = 2;
constexpr uint32_t SoundDecoderPcmMemory = 3;

// Skip-mask bits: formats OpenSoundDecoder passes over.
constexpr uint32_t SoundSkipPcmWave = 0x1;
constexpr uint32_t SoundSkipAcmWave = 0x2;
constexpr uint32_t SoundSkipOggVorbis = 0x4;
constexpr uint32_t SoundSkipAcmMp3 = 0x8;
constexpr uint32_t SoundSkipDirectShowMp3 = 0x10;

struct SoundDecoder {
  uint32_t opened;
  uint32_t ended;  // 1 once the data is used up
  uint32_t kind;

  // The stream read: a copy of its operations and the stream itself.
  StreamInterface stream;
  uintptr_t streamHandle;

  uint32_t dataStart;  // stream position of the first data byte
  uint32_t dataSize;   // bytes of encoded data

  WAVEFORMATEX format;  // the PCM delivered

  // Compression-manager conversion (kind 1).
  WAVEFORMATEX* sourceFormat;  // the compressed format block
  HACMSTREAM acmStream;        // the working conversion
  HACMSTREAM spareStream;      // a conversion standing at the data's start
  uint8_t* compressedData;
  uint32_t compressedSize;
  uint32_t sourcePosition;  // bytes of compressed data the working conversion took
  int32_t totalSamples;     // MP3: samples of all frames; -1 for compressed WAVE
  uint32_t spareSourcePosition;
  uint32_t spareOutputPosition;

  // PCM held in memory (kind 3).
  uint8_t* pcmBlock;
  uint32_t pcmCapacity;
  uint32_t pcmUsed;
  uint32_t pcmReadPosition;

  // Ogg Vorbis (kind 2): the vorbisfile state, allocated at open. The links
  // of a chained file play one after another in the first link's format: a
  // link of another channel count or rate is converted (vorbisLinks holds
  // each link's frames in that format). Every block of vorbisfile's decode
  // goes through the scratch block, whose frames are taken one by one.
  void* vorbisFile;
  uint32_t vorbisOpen;
  int32_t vorbisLinkCount;     // the links played: the data ends before a link that cannot be
  int64_t* vorbisLinks;
  uint8_t* vorbisScratch;      // the last block of the decode, in its link's own format
  uint32_t vorbisScratchFrames;
  uint32_t vorbisScratchUsed;  // frames of it taken
  uint32_t vorbisAtEnd;        // the data has ended: nothing more until a seek
  int32_t vorbisLink;          // the link being read, -1 before the first read
  int64_t vorbisSkip;          // frames of the decode still to pass over (a seek that landed early)
  int64_t vorbisInFrame;       // frames of that link taken so far (a seek may start inside it)
  int64_t vorbisOutFrame;      // frames of it given out so far
  int32_t vorbisHeld[2][2];    // the last two frames taken (the older first), when the link's rate is converted
  uint32_t vorbisHeldCount;

  // The decode buffer: what the last block decoded to.
  uint8_t* buffer;
  uint32_t bufferSize;
  uint32_t bufferValid;    // bytes decoded into it
  uint32_t bufferOffset;   // bytes of it already delivered
  uint32_t pcmPosition;    // PCM byte position of the next byte delivered
  uint32_t lookAhead;      // always 0
  uint32_t vorbisVariant;  // the movie-sound switch at open
};

// MPEG audio frame header.
struct MpegFrameHeader {
  uint8_t layer;                 // 0 layer I, 1 layer II, 2 layer III
  uint8_t lowSamplingFrequency;  // 1: MPEG-2
  uint8_t bitRateIndex;
  uint8_t sampleRateIndex;
  uint8_t padding;
  uint8_t channels;
  uint32_t sampleRate;  // Hz
  uint32_t bitRate;     // kbit/s
  uint32_t frameSize;   // bytes
  uint32_t samplesPerFrame;
};

// The movie player's switch: on while it opens a movie file's sound
// (decoders copy it as their variant flag).
extern int32_t SoundMovieSwitch;

// 0 with the decoder open, -1 when no format takes the stream. The decoder
// works on the stream from then on; the caller still owns (and closes) it.
int OpenSoundDecoder(const StreamInterface* stream, uintptr_t streamHandle, SoundDecoder* decoder);
// Bytes delivered (fewer than asked only at the end), -1 when not open.
int ReadSoundDecoder(SoundDecoder* decoder, void* destination, uint32_t bytes);
int SeekSoundDecoder(SoundDecoder* decoder, uint32_t sample);
int CloseSoundDecoder(SoundDecoder* decoder);
int GetSoundDecoderFormat(const SoundDecoder* decoder, WAVEFORMATEX* format);
// Bytes of PCM the whole data makes (an upper bound for compressed WAVE).
uint32_t GetSoundDecoderPcmSize(SoundDecoder* decoder);
// Decodes everything from the start into a new tracked block; size is what
// was decoded (never more than GetSoundDecoderPcmSize). -1 when the block
// cannot be had.
int DecodeWholeSound(SoundDecoder* decoder, WAVEFORMATEX* format, void** data, uint32_t* size);
// 0, -1 for a field without a table entry (reserved layer, free-format or
// bad bit rate, reserved sample rate), -2 without the frame sync.
int ParseMpegFrameHeader(const uint8_t bytes[4], MpegFrameHeader* header);
// The whole stream in a new tracked block. 0 or -1.
int ReadStreamToMemory(const StreamInterface* stream, uintptr_t streamHandle, void** data, uint32_t* size);
int SetSoundDecoderSkipMask(uint32_t mask);
uint32_t GetSoundDecoderSkipMask();

// MP3 through DirectShow (mp3_graph.cpp), the last format tried: 0 with the
// decoder filled as PCM in memory, or -1 after one log line.
int ConvertMp3ToPcm(SoundDecoder* decoder);

// The whole stream read into a tracked block: 0, -1 when its size cannot
// be had or it reads short, -2 when the block cannot be allocated.
int ReadWholeStream(const StreamInterface* stream, uintptr_t streamHandle, void** data, uint32_t* size);

// Ogg Vorbis (ogg_source.cpp).
int OpenOggVorbisDecoder(SoundDecoder* decoder);
// Decodes the next block into the decode buffer: 0, or -1 at the end.
int ReadOggVorbisBlock(SoundDecoder* decoder);
int SeekOggVorbisDecoder(SoundDecoder* decoder, uint32_t sample);
int CloseOggVorbisDecoder(SoundDecoder* decoder);
uint32_t GetOggVorbisPcmSize(SoundDecoder* decoder);
