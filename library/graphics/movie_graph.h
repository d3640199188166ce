// Movie graphs: a file that opens but is no image is tried as a movie, and a
// graph of the movie's size receives its frames through the movie's frame
// callback.
#pragma once

#include <cstdint>

#include "library/graphics/object_handle.h"

struct MovieHandleRecord;

// Opens the file as a movie and makes its graph (the movie-graph creation
// settings in force while the surface is made). The graph handle, or -1
// (logged with the file name).
ObjectHandle OpenMovieGraph(const char* fileName, int32_t movieMode);
// The frame callback of a movie graph: the movie's current frame into the
// graph whose handle is the user value.
void UpdateMovieGraphFrame(MovieHandleRecord* record, void* graphHandle);
