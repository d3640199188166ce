// Internal to the DirectShow stand-in: how the demultiplexer describes a
// compressed stream to the decoders over libavcodec (media subtype and
// format type MEDIASUBTYPE_ZRCodec / FORMAT_ZRCodec, the format block a
// CodecFormat followed by the codec's extra data).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/dshow/filters_internal.h"

struct CodecFormat {
  int32_t codecId;  // AVCodecID
  int32_t mediaKind;  // AVMEDIA_TYPE_VIDEO or AVMEDIA_TYPE_AUDIO
  int32_t codecTag;
  int32_t width, height, pixelFormat;
  int32_t sampleRate, channels, sampleFormat, blockAlign, bitsPerCodedSample, frameSize;
  uint64_t channelMask;  // 0: the default layout of the channel count
  int64_t bitRate;
  int32_t profile, level;
  int32_t frameRateNumerator, frameRateDenominator;  // video; 0 when unknown
  int32_t extradataSize;                             // bytes that follow
};

// The media type of a stream (video or audio) of the demultiplexer.
bool MakeCodecMediaType(const AVCodecParameters* parameters, AVRational frameRate, D_CMediaType* mediaType);
// The stream's parameters back from a media type (null format: false).
bool ReadCodecMediaType(const AM_MEDIA_TYPE& mediaType, AVCodecParameters* parameters, CodecFormat* format);
// A decoder of the codec, opened for one thread, giving times in
// REFERENCE_TIME units; null when it cannot be had.
AVCodecContext* OpenCodecContext(const AM_MEDIA_TYPE& mediaType);
