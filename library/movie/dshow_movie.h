// The DirectShow half of the movie handles: a filter graph built for the
// file (from a temporary copy when the graph cannot open it by name, as for
// members of archive files), ending its video in the library's frame
// renderer.
#pragma once

#include <cstdint>

struct MovieHandleRecord;

// Fills the record's DirectShow fields and the movie's size: 0, or -1 after
// a log line with nothing left behind (no graph, no filter, no temporary
// file).
int OpenDirectShowMovie(MovieHandleRecord* record, const char* fileName, int32_t* width, int32_t* height);
// Hands a new frame of the renderer to the frame callback; at the stop
// position a playing movie loops or ends.
void RefreshDirectShowMovie(MovieHandleRecord* record);
// Releases the graph and deletes the temporary file.
void CloseDirectShowMovie(MovieHandleRecord* record);
void PauseDirectShowMovie(MovieHandleRecord* record);
void RunDirectShowMovie(MovieHandleRecord* record);
