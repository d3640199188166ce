// MP3 to PCM through DirectShow: the sound decoder's last format. The whole
// stream goes to a graph as an MPEG-1 audio stream through the library's
// memory reader; the PCM reaching the library's sample grabber is collected
// into one block, which the decoder then serves as PCM in memory (kind 3).
#pragma once

#include "platform/dshow/dshow.h"

struct SoundDecoder;

// The sample grabber's callback: appends the sample's bytes to the
// decoder's PCM block (the user value), growing it in 1 MB steps; a growth
// that fails drops the block (and every later sample). S_OK.
HRESULT CollectPcmSample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL mediaTypeChanged,
                         void* decoder);
// The filter's first pin of the direction, with a reference, or null.
IPin* FindFilterPin(IBaseFilter* filter, PIN_DIRECTION direction);
