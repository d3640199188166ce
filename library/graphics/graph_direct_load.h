// Pictures decoded straight into the surface of their graph, on the software
// renderer: a PNG picture's rows go from the decoder, a band at a time,
// through the converter into the surface's memory image, with no whole
// decoded image between them. Listed files (ReadAheadGraphFiles) are decoded
// so ahead of their loads on the processor's other cores.
#pragma once

#include <cstdint>

struct GraphSurface;

// The picture of the file in a new surface for the current settings: taken
// from the read-ahead list when the file is on it, else decoded now. Null
// when the file takes the general path (Direct3D in use, no PNG data, an
// interlaced or refused picture, an alpha image beside it, no memory); the
// general path then loads it, and logs what fails. The caller adopts the
// surface (AdoptGraphSurface).
GraphSurface* LoadDirectSurface(const char* fileName, int32_t* width, int32_t* height);

// Switches for tests and measurements. GraphDirectLoadOff 1: every picture
// takes the general path. GraphReadAheadThreads: the decoding threads of a
// read-ahead list beside the loading thread (-1: one for each processor the
// program may run on beyond the first, at most three; 0: the loads decode
// each listed picture themselves, in order).
extern int32_t GraphDirectLoadOff;
extern int32_t GraphReadAheadThreads;
// Counts since the program started: the pictures LoadDirectSurface gave, and
// of those the ones a read-ahead list had decoded.
extern int32_t GraphDirectLoads;
extern int32_t GraphReadAheadTaken;
