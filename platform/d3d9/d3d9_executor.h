// Inside the Direct3D 9 stand-in: the executor that carries a device's work
// out through OpenGL 3.3 core on the device window. It keeps a copy of every
// pixel store the device draws with or into (a GL texture per texture or
// surface, a renderbuffer per depth surface), moved between memory and the
// GPU when the other side needs it (Newest), and draws each recorded draw
// with the states in force: the fixed-function texture stages, alpha test
// and fog by generated GLSL programs, blending, depth, culling and sampler
// states by GL state, the library's own shaders when both are set.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/d3d9_ff_program.h"
#include "platform/d3d9/d3d9_internal.h"
#include "platform/d3d9/gl_api.h"

namespace d3d9 {

// A draw as the device hands it over.
struct ExecutorDraw {
  const D3D9DeviceState* state;
  PixelStore* textures[D3D9SamplerCount];  // level 0 of the stage's texture, or null
  PixelStore* target;
  PixelStore* depth;  // null: none
  D3DPRIMITIVETYPE type;
  const void* vertices;
  UINT vertexCount;  // vertices from index 0 on
  UINT stride;
  const void* indices;  // null: not indexed
  UINT indexCount;
  D3DFORMAT indexFormat;
  // The shader pair when both are set: their texts and constants.
  const std::string* vertexShader;
  const std::string* pixelShader;
  const float* vertexConstants;  // 256 float4
  const BOOL* vertexBools;       // 16
  const float* pixelConstants;   // 32 float4 read
};

class Executor {
 public:
  // An executor on the window, or null with the reason.
  static std::unique_ptr<Executor> Open(SDL_Window* window, bool useS3tc, std::string* error);
  ~Executor();
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;

  const std::string& renderer() const { return renderer_; }
  const std::string& version() const { return version_; }
  UINT maxTextureSize() const { return maxTextureSize_; }
  bool compressedUpload() const { return s3tc_; }

  // True once the context was lost (polled from the reset status, or made so
  // by LoseContext); everything on the GPU is gone with it.
  bool Lost();
  void LoseContext() { lost_ = true; }
  // A new context after a loss; false when none can be had.
  bool Reopen(std::string* error);

  // The store's newest pixels brought into memory.
  void PrepareMemory(PixelStore* store);
  // The image of a resource (by its first store) goes away.
  void Forget(PixelStore* first);

  // Target and depth cleared within the rectangles (already cut to the
  // viewport). False for a format the GPU cannot hold.
  bool Clear(PixelStore* target, PixelStore* depth, const std::vector<RECT>& rects, DWORD flags, D3DCOLOR color,
             float z);
  // A render target's rectangle filled with a colour.
  bool Fill(PixelStore* target, const RECT& rect, D3DCOLOR color);
  // A rectangle of one store onto a rectangle of a render target.
  bool Blit(PixelStore* from, const RECT& source, PixelStore* to, const RECT& dest, bool linear);
  void Draw(const ExecutorDraw& draw);
  // The back buffer's rectangle onto the window's, then the buffers swapped
  // waiting for `interval` vertical blanks (0: not waiting).
  bool Present(PixelStore* back, const RECT* source, const RECT* dest, UINT interval);
  // Whether the text compiles as GLSL of that stage; the compiler's log.
  bool CompileCheck(bool pixel, const std::string& text, std::string* log);

 private:
  Executor() = default;
  struct Image;
  struct Program;

  bool Start(std::string* error);
  void DropAll();
  Image* ImageOf(PixelStore* store, bool create);
  bool Upload(Image* image, PixelStore* store);
  void PrepareGpu(PixelStore* store);
  // Binds the store (level) as the draw framebuffer's colour, and depth.
  bool BindTarget(PixelStore* target, PixelStore* depth);
  Program* ProgramFor(const FixedFunctionKey& key);
  Program* ShaderPairProgram(const std::string& vertex, const std::string& pixel);
  void ApplyStates(const ExecutorDraw& draw);
  void SetVertexLayout(const ExecutorDraw& draw, bool shaderPair);
  GLuint Compile(GLenum stage, const std::string& text, std::string* log);
  GLuint Link(GLuint vertex, GLuint fragment, std::string* log);

  GlContext context_;
  GlApi gl_;
  std::string renderer_, version_;
  UINT maxTextureSize_ = 0;
  bool s3tc_ = false;
  bool lost_ = false;
  bool useS3tc_ = true;
  int swapInterval_ = -1;
  GLuint drawFramebuffer_ = 0, scratchFramebuffers_[2] = {0, 0};
  GLuint vertexArray_ = 0, vertexBuffer_ = 0, indexBuffer_ = 0;
  GLuint samplers_[D3D9SamplerCount] = {};
  std::unordered_map<PixelStore*, std::unique_ptr<Image>> images_;
  std::map<std::string, std::unique_ptr<Program>> programs_;
  std::map<std::string, std::unique_ptr<Program>> shaderPairs_;
  std::vector<uint8_t> scratch_;
};

}  // namespace d3d9
