// Inside the Direct3D 9 stand-in: the display's OpenGL renderer, asked by a
// child process before this process starts its own video, unless the
// display's extensions already tell that it can only be Mesa's software
// rasteriser. Where the default adapter goes by the renderer and that is a
// software rasteriser, the windows take no OpenGL and the device reports no
// hardware rasterisation, so a process that will draw with the software
// renderer never loads the OpenGL driver (Mesa's llvmpipe brings LLVM with
// it: some 60 MB resident and tens of milliseconds at start).
#pragma once

#include <string>

namespace d3d9 {

// Starts the child once, when the adapter's rasterisation goes by the
// renderer and SDL's video would open an X display. To be called before
// SDL's video starts in this process (the child opens a connection of its
// own).
void StartGlProbe();
// The child's answer (waiting for it): the renderer and version strings of
// a 3.3 core context; false when no probe ran or it made no context. Told
// by the display's extensions, the renderer is kDisplaySoftwareRenderer and
// the version empty.
bool GlProbeResult(std::string* renderer, std::string* version);
// The child processes started so far.
int GlProbeChildren();

inline constexpr const char* kDisplaySoftwareRenderer =
    "Mesa software rasteriser (the display offers no direct rendering)";

}  // namespace d3d9
