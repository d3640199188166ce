#include "platform/d3d9/d3d9_executor.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d9/dxt_decode.h"
#include "platform/win32/sdl_window.h"

namespace d3d9 {

namespace {

constexpr GLenum kAnisotropy = 0x84FE;  // GL_TEXTURE_MAX_ANISOTROPY (EXT_texture_filter_anisotropic)

// How a Direct3D format lives in OpenGL: internal format, and the format and
// type that read and write its memory layout unchanged. `compressed` is the
// S3TC format of a compressed one; `opaque` formats read alpha as 1.
struct GlFormat {
  GLenum internal = 0, format = 0, type = 0;
  GLenum compressed = 0;
  bool opaque = false;
  uint32_t bytes = 0;
};

bool FormatOf(D3DFORMAT f, GlFormat* out) {
  const GlFormat bgra8 = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 0, false, 4};
  GlFormat g;
  switch (f) {
    case D3DFMT_A8R8G8B8:
      g = bgra8;
      break;
    case D3DFMT_X8R8G8B8:
      g = bgra8;
      g.opaque = true;
      break;
    case D3DFMT_R5G6B5:
      g = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 0, true, 2};
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      g = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 0, f == D3DFMT_X1R5G5B5, 2};
      break;
    case D3DFMT_A4R4G4B4:
      g = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 0, false, 2};
      break;
    case D3DFMT_DXT1:
      g = bgra8;
      g.compressed = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      g = bgra8;
      g.compressed = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
      break;
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      g = bgra8;
      g.compressed = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
      break;
    default:
      return false;
  }
  *out = g;
  return true;
}

GLenum DepthFormatOf(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_D16:
      return GL_DEPTH_COMPONENT16;
    case D3DFMT_D24X8:
      return GL_DEPTH_COMPONENT24;
    case D3DFMT_D32:
      return GL_DEPTH_COMPONENT32F;
    default:
      return 0;
  }
}

// The clear value of a colour as the target's format keeps it: the colour
// packed as the device's memory packs it, each channel then exact as a float.
void ClearValue(D3DFORMAT format, D3DCOLOR colour, float out[4]) {
  uint8_t packed[4] = {};
  PackColor(format, colour, packed);
  uint32_t v = 0;
  std::memcpy(&v, packed, 4);
  auto field = [&](int shift, int bits) {
    const uint32_t max = (1u << bits) - 1;
    return static_cast<float>(v >> shift & max) / static_cast<float>(max);
  };
  switch (format) {
    case D3DFMT_R5G6B5:
      out[0] = field(11, 5), out[1] = field(5, 6), out[2] = field(0, 5), out[3] = 1.0f;
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      out[0] = field(10, 5), out[1] = field(5, 5), out[2] = field(0, 5), out[3] = field(15, 1);
      break;
    case D3DFMT_A4R4G4B4:
      out[0] = field(8, 4), out[1] = field(4, 4), out[2] = field(0, 4), out[3] = field(12, 4);
      break;
    default:
      out[0] = field(16, 8), out[1] = field(8, 8), out[2] = field(0, 8), out[3] = field(24, 8);
      break;
  }
}

GLenum BlendFactor(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

GLenum BlendEquationOf(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case 4:
      return GL_MIN;
    case 5:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum CompareOf(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLint AddressOf(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

GLenum PrimitiveOf(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

float FloatOf(DWORD bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

UINT LevelSide(UINT side, UINT level) { return std::max(1u, side >> level); }

}  // namespace

// ---------------------------------------------------------------- images and programs

struct Executor::Image {
  GLuint name = 0;  // a texture, or a renderbuffer for a depth surface
  bool depth = false;
  bool decoded = false;  // compressed, decoded on upload
  GlFormat format;
  PixelStore* first = nullptr;
  UINT levels = 1;
};

struct Executor::Program {
  GLuint name = 0;
  GLint target = -1, transform = -1, factor = -1, alphaRef = -1, fogColor = -1;
  GLint vertexConstants = -1, vertexBools = -1, pixelConstants = -1;
};

// ---------------------------------------------------------------- life

std::unique_ptr<Executor> Executor::Open(SDL_Window* window, bool useS3tc, std::string* error) {
  std::unique_ptr<Executor> e(new Executor());
  e->useS3tc_ = useS3tc;
  if (!e->context_.Open(window, error) || !e->Start(error)) return nullptr;
  return e;
}

bool Executor::Start(std::string* error) {
  std::string missing;
  if (!gl_.Load(&missing)) {
    *error = "no " + missing;
    return false;
  }
  renderer_ = reinterpret_cast<const char*>(gl_.GetString(GL_RENDERER));
  version_ = reinterpret_cast<const char*>(gl_.GetString(GL_VERSION));
  GLint size = 0;
  gl_.GetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  maxTextureSize_ = static_cast<UINT>(size);
  s3tc_ = useS3tc_ && gl_.HasExtension("GL_EXT_texture_compression_s3tc");
  gl_.GenFramebuffers(1, &drawFramebuffer_);
  gl_.GenFramebuffers(2, scratchFramebuffers_);
  gl_.GenVertexArrays(1, &vertexArray_);
  gl_.GenBuffers(1, &vertexBuffer_);
  gl_.GenBuffers(1, &indexBuffer_);
  gl_.GenSamplers(static_cast<GLsizei>(D3D9SamplerCount), samplers_);
  gl_.BindVertexArray(vertexArray_);
  gl_.Disable(GL_DITHER);
  gl_.ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl_.PixelStorei(GL_PACK_ALIGNMENT, 1);
  if (gl_.GetError() != GL_NO_ERROR) {
    *error = "the context refused its set-up";
    return false;
  }
  lost_ = false;
  return true;
}

Executor::~Executor() {
  DropAll();
  context_.Close();
}

void Executor::DropAll() {
  const bool live = context_.context != nullptr && !lost_;
  if (live) context_.MakeCurrent();
  for (auto& [first, image] : images_) {
    for (UINT i = 0; i < image->levels; ++i)
      if (first[i].newest != Newest::Memory) first[i].newest = Newest::Memory;
    if (!live) continue;
    if (image->depth)
      gl_.DeleteRenderbuffers(1, &image->name);
    else
      gl_.DeleteTextures(1, &image->name);
  }
  images_.clear();
  for (auto* table : {&programs_, &shaderPairs_}) {
    if (live)
      for (auto& [text, program] : *table) gl_.DeleteProgram(program->name);
    table->clear();
  }
  if (live) {
    gl_.DeleteFramebuffers(1, &drawFramebuffer_);
    gl_.DeleteFramebuffers(2, scratchFramebuffers_);
    gl_.DeleteVertexArrays(1, &vertexArray_);
    gl_.DeleteBuffers(1, &vertexBuffer_);
    gl_.DeleteBuffers(1, &indexBuffer_);
    gl_.DeleteSamplers(static_cast<GLsizei>(D3D9SamplerCount), samplers_);
  }
  drawFramebuffer_ = vertexArray_ = vertexBuffer_ = indexBuffer_ = 0;
  scratchFramebuffers_[0] = scratchFramebuffers_[1] = 0;
  std::memset(samplers_, 0, sizeof samplers_);
}

bool Executor::Lost() {
  if (!lost_ && context_.robust && gl_.GetGraphicsResetStatus != nullptr) {
    context_.MakeCurrent();
    if (gl_.GetGraphicsResetStatus() != GL_NO_ERROR) lost_ = true;
  }
  return lost_;
}

bool Executor::Reopen(std::string* error) {
  SDL_Window* window = context_.window;
  DropAll();
  context_.Close();
  return context_.Open(window, error) && Start(error);
}

// ---------------------------------------------------------------- stores

Executor::Image* Executor::ImageOf(PixelStore* store, bool create) {
  PixelStore* first = store->First();
  auto it = images_.find(first);
  if (it != images_.end()) return it->second.get();
  if (!create || lost_) return nullptr;
  auto image = std::make_unique<Image>();
  image->first = first;
  image->levels = first->levelCount;
  if (const GLenum depth = DepthFormatOf(first->format); depth != 0) {
    image->depth = true;
    gl_.GenRenderbuffers(1, &image->name);
    gl_.BindRenderbuffer(GL_RENDERBUFFER, image->name);
    gl_.RenderbufferStorage(GL_RENDERBUFFER, depth, static_cast<GLsizei>(first->width),
                            static_cast<GLsizei>(first->height));
  } else {
    if (!FormatOf(first->format, &image->format)) return nullptr;
    image->decoded = image->format.compressed != 0 && !s3tc_;
    gl_.GenTextures(1, &image->name);
    gl_.ActiveTexture(GL_TEXTURE0);
    gl_.BindTexture(GL_TEXTURE_2D, image->name);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(image->levels - 1));
    if (image->format.opaque) gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    // Compressed levels are given whole when uploaded; the others get their
    // storage now.
    if (image->format.compressed == 0 || image->decoded)
      for (UINT l = 0; l < image->levels; ++l)
        gl_.TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), static_cast<GLint>(image->format.internal),
                       static_cast<GLsizei>(LevelSide(first->width, l)),
                       static_cast<GLsizei>(LevelSide(first->height, l)), 0, image->format.format,
                       image->format.type, nullptr);
  }
  Image* raw = image.get();
  images_[first] = std::move(image);
  return raw;
}

bool Executor::Upload(Image* image, PixelStore* store) {
  if (image->depth) return true;
  const GlFormat& f = image->format;
  gl_.ActiveTexture(GL_TEXTURE0);
  gl_.BindTexture(GL_TEXTURE_2D, image->name);
  const auto level = static_cast<GLint>(store->level);
  const auto w = static_cast<GLsizei>(store->width), h = static_cast<GLsizei>(store->height);
  if (f.compressed != 0 && !image->decoded) {
    gl_.CompressedTexImage2D(GL_TEXTURE_2D, level, f.compressed, w, h, 0, static_cast<GLsizei>(store->bytes.size()),
                             store->bytes.data());
  } else if (f.compressed != 0) {
    scratch_.resize(static_cast<size_t>(store->width) * store->height * 4);
    DecodeDxtLevel(store->format, store->bytes.data(), store->width, store->height, scratch_.data(),
                   static_cast<size_t>(store->width) * 4);
    gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl_.TexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.format, f.type, scratch_.data());
  } else {
    gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(store->pitch / f.bytes));
    gl_.TexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.format, f.type, store->bytes.data());
    gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  }
  store->newest = Newest::Both;
  return true;
}

void Executor::PrepareGpu(PixelStore* store) {
  Image* image = ImageOf(store, true);
  if (image == nullptr) return;
  // Every level, so that a texture is whole wherever it is sampled.
  for (UINT l = 0; l < image->levels; ++l)
    if (image->first[l].newest == Newest::Memory) Upload(image, &image->first[l]);
}

void Executor::PrepareMemory(PixelStore* store) {
  if (store->newest != Newest::Gpu) return;
  Image* image = ImageOf(store, false);
  if (image == nullptr || lost_ || image->depth) {
    store->newest = Newest::Memory;  // what the GPU held is gone
    return;
  }
  context_.MakeCurrent();
  gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, scratchFramebuffers_[0]);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image->name,
                           static_cast<GLint>(store->level));
  gl_.ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl_.PixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(store->pitch / image->format.bytes));
  gl_.ReadPixels(0, 0, static_cast<GLsizei>(store->width), static_cast<GLsizei>(store->height), image->format.format,
                 image->format.type, store->bytes.data());
  gl_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  store->newest = Newest::Both;
}

void Executor::Forget(PixelStore* first) {
  auto it = images_.find(first);
  if (it == images_.end()) return;
  if (!lost_ && context_.context != nullptr) {
    context_.MakeCurrent();
    if (it->second->depth)
      gl_.DeleteRenderbuffers(1, &it->second->name);
    else
      gl_.DeleteTextures(1, &it->second->name);
  }
  images_.erase(it);
}

bool Executor::BindTarget(PixelStore* target, PixelStore* depth) {
  Image* colour = ImageOf(target, true);
  if (colour == nullptr || colour->depth) return false;
  PrepareGpu(target);
  Image* z = depth != nullptr ? ImageOf(depth, true) : nullptr;
  gl_.BindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer_);
  gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour->name,
                           static_cast<GLint>(target->level));
  gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              z != nullptr && z->depth ? z->name : 0);
  gl_.DrawBuffer(GL_COLOR_ATTACHMENT0);
  return gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

// ---------------------------------------------------------------- clears and copies

bool Executor::Clear(PixelStore* target, PixelStore* depth, const std::vector<RECT>& rects, DWORD flags,
                     D3DCOLOR colour, float z) {
  if (lost_) return true;
  context_.MakeCurrent();
  if (!BindTarget(target, (flags & D3DCLEAR_ZBUFFER) != 0 ? depth : nullptr)) return false;
  float c[4];
  ClearValue(target->format, colour, c);
  gl_.ClearColor(c[0], c[1], c[2], c[3]);
  gl_.ClearDepth(std::clamp(static_cast<double>(z), 0.0, 1.0));
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl_.DepthMask(GL_TRUE);
  const GLbitfield bits = ((flags & D3DCLEAR_TARGET) != 0 ? GL_COLOR_BUFFER_BIT : 0) |
                          ((flags & D3DCLEAR_ZBUFFER) != 0 && depth != nullptr ? GL_DEPTH_BUFFER_BIT : 0);
  gl_.Enable(GL_SCISSOR_TEST);
  for (const RECT& r : rects) {
    if (r.right <= r.left || r.bottom <= r.top) continue;
    gl_.Scissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
    gl_.Clear(bits);
  }
  if ((flags & D3DCLEAR_TARGET) != 0) target->newest = Newest::Gpu;
  return true;
}

bool Executor::Fill(PixelStore* target, const RECT& rect, D3DCOLOR colour) {
  return Clear(target, nullptr, {rect}, D3DCLEAR_TARGET, colour, 1.0f);
}

bool Executor::Blit(PixelStore* from, const RECT& s, PixelStore* to, const RECT& d, bool linear) {
  if (lost_) return true;
  context_.MakeCurrent();
  Image* a = ImageOf(from, true);
  Image* b = ImageOf(to, true);
  if (a == nullptr || b == nullptr || a->depth || b->depth) return false;
  PrepareGpu(from);
  PrepareGpu(to);
  gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, scratchFramebuffers_[0]);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, a->name,
                           static_cast<GLint>(from->level));
  gl_.ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, scratchFramebuffers_[1]);
  gl_.FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, b->name,
                           static_cast<GLint>(to->level));
  gl_.DrawBuffer(GL_COLOR_ATTACHMENT0);
  gl_.Disable(GL_SCISSOR_TEST);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl_.BlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      linear ? GL_LINEAR : GL_NEAREST);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  gl_.FramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  to->newest = Newest::Gpu;
  return true;
}

bool Executor::Present(PixelStore* back, const RECT* source, const RECT* dest, UINT interval) {
  if (Lost()) return false;
  context_.MakeCurrent();
  Image* image = ImageOf(back, true);
  if (image == nullptr || image->depth) return false;
  PrepareGpu(back);
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(context_.window, &width, &height);
  RECT s = {0, 0, static_cast<LONG>(back->width), static_cast<LONG>(back->height)};
  RECT d = {0, 0, width, height};
  // Full screen on a display without the screen's mode: the picture scaled
  // into the middle of the desktop, black around it.
  SDL_Rect scaled;
  const bool letterbox = PlatformScaledRect(context_.window, width, height, &scaled);
  if (letterbox) d = {scaled.x, scaled.y, scaled.x + scaled.w, scaled.y + scaled.h};
  // A rectangle shown in place is part of a whole back buffer that is shown
  // alike: the window gets all of it, so that nothing stale stays around it.
  const bool inPlace = source != nullptr && dest != nullptr && source->right - source->left == dest->right - dest->left &&
                       source->bottom - source->top == dest->bottom - dest->top;
  if (!inPlace) {
    if (source != nullptr) s = *source;
    if (dest != nullptr && !letterbox) d = *dest;
  }
  gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, scratchFramebuffers_[0]);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image->name, 0);
  gl_.ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gl_.DrawBuffer(GL_BACK);
  gl_.Disable(GL_SCISSOR_TEST);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (letterbox) {
    gl_.ClearColor(0, 0, 0, 1);
    gl_.Clear(GL_COLOR_BUFFER_BIT);
  }
  // The window's rows run bottom up.
  gl_.BlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, height - d.top, d.right, height - d.bottom,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
  gl_.FramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  const int wanted = interval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
  if (wanted != swapInterval_) {
    SDL_GL_SetSwapInterval(wanted);  // refused where the display cannot wait: presents then do not
    swapInterval_ = wanted;
  }
  SDL_GL_SwapWindow(context_.window);
  return !Lost();
}

// ---------------------------------------------------------------- programs

// The object when its status is good, else 0 with its log (the object deleted).
template <typename Status, typename Log, typename Delete>
GLuint Checked(GLuint object, GLenum status, Status getStatus, Log getLog, Delete remove, std::string* log) {
  GLint ok = 0;
  getStatus(object, status, &ok);
  if (ok) return object;
  char buffer[2048] = {};
  getLog(object, sizeof buffer, nullptr, buffer);
  if (log != nullptr) *log = buffer;
  remove(object);
  return 0;
}

GLuint Executor::Compile(GLenum stage, const std::string& text, std::string* log) {
  const GLuint shader = gl_.CreateShader(stage);
  const GLchar* source = text.c_str();
  gl_.ShaderSource(shader, 1, &source, nullptr);
  gl_.CompileShader(shader);
  return Checked(shader, GL_COMPILE_STATUS, gl_.GetShaderiv, gl_.GetShaderInfoLog, gl_.DeleteShader, log);
}

GLuint Executor::Link(GLuint vertex, GLuint fragment, std::string* log) {
  const GLuint program = gl_.CreateProgram();
  gl_.AttachShader(program, vertex);
  gl_.AttachShader(program, fragment);
  gl_.LinkProgram(program);
  gl_.DeleteShader(vertex);
  gl_.DeleteShader(fragment);
  return Checked(program, GL_LINK_STATUS, gl_.GetProgramiv, gl_.GetProgramInfoLog, gl_.DeleteProgram, log);
}

bool Executor::CompileCheck(bool pixel, const std::string& text, std::string* log) {
  if (lost_) return true;
  context_.MakeCurrent();
  const GLuint shader = Compile(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER, text, log);
  if (shader == 0) return false;
  gl_.DeleteShader(shader);
  return true;
}

Executor::Program* Executor::ProgramFor(const FixedFunctionKey& key) {
  const std::string bytes = key.Bytes();
  auto it = programs_.find(bytes);
  if (it != programs_.end()) return it->second.get();
  std::string log;
  const GLuint vertex = Compile(GL_VERTEX_SHADER, FixedFunctionVertexText(key), &log);
  const GLuint fragment = vertex != 0 ? Compile(GL_FRAGMENT_SHADER, FixedFunctionPixelText(key), &log) : 0;
  auto program = std::make_unique<Program>();
  if (fragment != 0) program->name = Link(vertex, fragment, &log);
  if (program->name != 0) {
    const GLuint p = program->name;
    gl_.UseProgram(p);
    program->target = gl_.GetUniformLocation(p, "uTarget");
    program->transform = gl_.GetUniformLocation(p, "uTransform");
    program->factor = gl_.GetUniformLocation(p, "uFactor");
    program->alphaRef = gl_.GetUniformLocation(p, "uAlphaRef");
    program->fogColor = gl_.GetUniformLocation(p, "uFogColor");
    for (int s = 0; s < 8; ++s) {
      const GLint unit = gl_.GetUniformLocation(p, ("uTexture" + std::to_string(s)).c_str());
      if (unit >= 0) gl_.Uniform1i(unit, s);
    }
  } else if (vertex != 0 && fragment == 0) {
    gl_.DeleteShader(vertex);
  }
  Program* raw = program.get();
  programs_[bytes] = std::move(program);
  return raw;
}

Executor::Program* Executor::ShaderPairProgram(const std::string& vertex, const std::string& pixel) {
  const std::string key = vertex + '\0' + pixel;
  auto it = shaderPairs_.find(key);
  if (it != shaderPairs_.end()) return it->second.get();
  auto program = std::make_unique<Program>();
  // The shader's clip space is Direct3D's (y up, z from 0 to w, pixel
  // centres on whole numbers): its main runs first, then the position is
  // carried into OpenGL's as the fixed-function programs do.
  std::string text = vertex;
  const size_t entry = text.find("void main()");
  if (entry != std::string::npos) {
    text.replace(entry, 11, "void zrShaderMain()");
    text += "\nuniform vec4 zrClipAdjust;\nvoid main() {\n  zrShaderMain();\n  vec4 c = gl_Position;\n"
            "  gl_Position = vec4(c.x + c.w * zrClipAdjust.x, -c.y + c.w * zrClipAdjust.y, 2.0 * c.z - c.w, c.w);\n}\n";
  }
  const GLuint v = Compile(GL_VERTEX_SHADER, text, nullptr);
  const GLuint f = v != 0 ? Compile(GL_FRAGMENT_SHADER, pixel, nullptr) : 0;
  if (f != 0)
    program->name = Link(v, f, nullptr);
  else if (v != 0)
    gl_.DeleteShader(v);
  if (program->name != 0) {
    gl_.UseProgram(program->name);
    program->vertexConstants = gl_.GetUniformLocation(program->name, "vsc");
    program->vertexBools = gl_.GetUniformLocation(program->name, "vsb");
    program->pixelConstants = gl_.GetUniformLocation(program->name, "psc");
    program->target = gl_.GetUniformLocation(program->name, "zrClipAdjust");
    const GLint unit = gl_.GetUniformLocation(program->name, "texture0");
    if (unit >= 0) gl_.Uniform1i(unit, 0);
  }
  Program* raw = program.get();
  shaderPairs_[key] = std::move(program);
  return raw;
}

// ---------------------------------------------------------------- draws

void Executor::ApplyStates(const ExecutorDraw& draw) {
  const D3D9DeviceState& state = *draw.state;
  const DWORD* rs = state.renderStates;
  // Blending.
  if (rs[D3DRS_ALPHABLENDENABLE] != 0) {
    gl_.Enable(GL_BLEND);
    DWORD src = rs[D3DRS_SRCBLEND], dest = rs[D3DRS_DESTBLEND];
    if (src == 12) src = D3DBLEND_SRCALPHA, dest = D3DBLEND_INVSRCALPHA;  // BOTHSRCALPHA
    if (src == 13) src = D3DBLEND_INVSRCALPHA, dest = D3DBLEND_SRCALPHA;  // BOTHINVSRCALPHA
    gl_.BlendFunc(BlendFactor(src), BlendFactor(dest));
    gl_.BlendEquation(BlendEquationOf(rs[D3DRS_BLENDOP]));
  } else {
    gl_.Disable(GL_BLEND);
  }
  // Depth, when a depth surface is there.
  if (draw.depth != nullptr && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
    gl_.Enable(GL_DEPTH_TEST);
    gl_.DepthFunc(CompareOf(rs[D3DRS_ZFUNC]));
    gl_.DepthMask(rs[D3DRS_ZWRITEENABLE] != 0 ? GL_TRUE : GL_FALSE);
  } else {
    gl_.Disable(GL_DEPTH_TEST);
    gl_.DepthMask(GL_FALSE);
  }
  // Culling: Direct3D's clockwise, with rows running down, is OpenGL's
  // counter-clockwise front.
  if (rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW) {
    gl_.Enable(GL_CULL_FACE);
    gl_.FrontFace(GL_CCW);
    gl_.CullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
  } else {
    gl_.Disable(GL_CULL_FACE);
  }
  const DWORD fill = rs[D3DRS_FILLMODE];
  gl_.PolygonMode(GL_FRONT_AND_BACK, fill == 1 ? GL_POINT : fill == 2 ? GL_LINE : GL_FILL);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // The viewport clips every draw, the scissor rectangle too when it is on.
  const D3DVIEWPORT9& v = state.viewport;
  LONG left = static_cast<LONG>(v.X), top = static_cast<LONG>(v.Y);
  LONG right = static_cast<LONG>(v.X + v.Width), bottom = static_cast<LONG>(v.Y + v.Height);
  if (rs[D3DRS_SCISSORTESTENABLE] != 0) {
    left = std::max(left, state.scissor.left);
    top = std::max(top, state.scissor.top);
    right = std::min(right, state.scissor.right);
    bottom = std::min(bottom, state.scissor.bottom);
  }
  gl_.Enable(GL_SCISSOR_TEST);
  gl_.Scissor(left, top, std::max<LONG>(0, right - left), std::max<LONG>(0, bottom - top));
  if ((state.fvf & D3DFVF_XYZRHW) != 0) {
    gl_.Viewport(0, 0, static_cast<GLsizei>(draw.target->width), static_cast<GLsizei>(draw.target->height));
    gl_.DepthRange(0.0, 1.0);
  } else {
    gl_.Viewport(static_cast<GLint>(v.X), static_cast<GLint>(v.Y), static_cast<GLsizei>(v.Width),
                 static_cast<GLsizei>(v.Height));
    gl_.DepthRange(v.MinZ, v.MaxZ);
  }
}

void Executor::SetVertexLayout(const ExecutorDraw& draw, bool shaderPair) {
  const DWORD fvf = draw.state->fvf;
  const auto stride = static_cast<GLsizei>(draw.stride);
  size_t offset = 0;
  auto at = [&](size_t o) { return reinterpret_cast<const void*>(o); };
  for (GLuint i = 0; i < 11; ++i) gl_.DisableVertexAttribArray(i);
  // Absent colours: white diffuse, no specular.
  const GLuint diffuse = shaderPair ? 2 : 1, specular = shaderPair ? 3 : 2;
  gl_.VertexAttrib4f(diffuse, 1.0f, 1.0f, 1.0f, 1.0f);
  gl_.VertexAttrib4f(specular, 0.0f, 0.0f, 0.0f, 0.0f);
  const bool rhw = (fvf & D3DFVF_XYZRHW) != 0;
  if (rhw || (fvf & D3DFVF_XYZ) != 0) {
    gl_.EnableVertexAttribArray(0);
    gl_.VertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, stride, at(offset));
    offset += rhw ? 16 : 12;
  }
  if ((fvf & D3DFVF_NORMAL) != 0) {
    if (shaderPair) {
      gl_.EnableVertexAttribArray(1);
      gl_.VertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(offset));
    }
    offset += 12;
  }
  if ((fvf & 0x20) != 0) offset += 4;  // point size
  if ((fvf & D3DFVF_DIFFUSE) != 0) {
    gl_.EnableVertexAttribArray(diffuse);
    gl_.VertexAttribPointer(diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(offset));
    offset += 4;
  }
  if ((fvf & D3DFVF_SPECULAR) != 0) {
    gl_.EnableVertexAttribArray(specular);
    gl_.VertexAttribPointer(specular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(offset));
    offset += 4;
  }
  const UINT sets = TexCoordSetsOf(fvf);
  for (UINT i = 0; i < sets; ++i) {
    const UINT floats = TexCoordFloats(fvf, i);
    const GLuint location = shaderPair ? 4 + i : 3 + i;
    if (!shaderPair || i < 2) {
      gl_.EnableVertexAttribArray(location);
      gl_.VertexAttribPointer(location, static_cast<GLint>(floats), GL_FLOAT, GL_FALSE, stride, at(offset));
    }
    offset += 4 * floats;
  }
}

void Executor::Draw(const ExecutorDraw& draw) {
  if (lost_ || draw.target == nullptr) return;
  context_.MakeCurrent();
  const D3D9DeviceState& state = *draw.state;
  const bool shaderPair = draw.vertexShader != nullptr && draw.pixelShader != nullptr;
  bool textured[8] = {};
  for (UINT s = 0; s < 8; ++s) textured[s] = draw.textures[s] != nullptr && ImageOf(draw.textures[s], true) != nullptr;
  const FixedFunctionKey key = FixedFunctionKeyOf(state, state.fvf, textured);
  const UINT stages = shaderPair ? 1 : key.stageCount;
  for (UINT s = 0; s < stages; ++s)
    if (textured[s]) PrepareGpu(draw.textures[s]);
  if (!BindTarget(draw.target, draw.depth)) return;
  Program* program = shaderPair ? ShaderPairProgram(*draw.vertexShader, *draw.pixelShader) : ProgramFor(key);
  if (program == nullptr || program->name == 0) return;
  gl_.UseProgram(program->name);
  ApplyStates(draw);

  const DWORD* rs = state.renderStates;
  if (shaderPair) {
    gl_.Uniform4fv(program->vertexConstants, 256, draw.vertexConstants);
    GLint bools[16];
    for (int i = 0; i < 16; ++i) bools[i] = draw.vertexBools[i] != 0 ? 1 : 0;
    gl_.Uniform1iv(program->vertexBools, 16, bools);
    gl_.Uniform4fv(program->pixelConstants, 32, draw.pixelConstants);
    gl_.Uniform4f(program->target, 1.0f / static_cast<float>(std::max<DWORD>(1, state.viewport.Width)),
                  1.0f / static_cast<float>(std::max<DWORD>(1, state.viewport.Height)), 0.0f, 0.0f);
  } else {
    if ((state.fvf & D3DFVF_XYZRHW) != 0) {
      gl_.Uniform4f(program->target, 2.0f / static_cast<float>(draw.target->width),
                    2.0f / static_cast<float>(draw.target->height), 0.0f, 0.0f);
    } else {
      // World, view and projection for row vectors: given as they are, the
      // column-major upload is the transposed product that column vectors need.
      D3DMATRIX wv{}, m{};
      auto multiply = [](const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
        for (int r = 0; r < 4; ++r)
          for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[r][k] * b.m[k][c];
            out->m[r][c] = sum;
          }
      };
      multiply(state.world, state.view, &wv);
      multiply(wv, state.projection, &m);
      gl_.UniformMatrix4fv(program->transform, 1, GL_FALSE, &m.m[0][0]);
      gl_.Uniform4f(program->target, 1.0f / static_cast<float>(std::max<DWORD>(1, state.viewport.Width)),
                    1.0f / static_cast<float>(std::max<DWORD>(1, state.viewport.Height)), 0.0f, 0.0f);
    }
    const DWORD factor = rs[D3DRS_TEXTUREFACTOR], fog = rs[D3DRS_FOGCOLOR];
    auto channel = [](DWORD c, int shift) { return static_cast<float>(c >> shift & 0xFF) / 255.0f; };
    gl_.Uniform4f(program->factor, channel(factor, 16), channel(factor, 8), channel(factor, 0), channel(factor, 24));
    gl_.Uniform1i(program->alphaRef, static_cast<GLint>(rs[D3DRS_ALPHAREF] & 0xFF));
    gl_.Uniform4f(program->fogColor, channel(fog, 16), channel(fog, 8), channel(fog, 0), 1.0f);
  }

  // The stage textures and their sampler states.
  for (UINT s = 0; s < stages; ++s) {
    if (!textured[s]) continue;
    Image* image = ImageOf(draw.textures[s], false);
    gl_.ActiveTexture(GL_TEXTURE0 + s);
    gl_.BindTexture(GL_TEXTURE_2D, image->name);
    const DWORD* ss = state.samplerStates[s];
    const GLuint sampler = samplers_[s];
    gl_.BindSampler(s, sampler);
    const bool magLinear = ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    const bool minLinear = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    const DWORD mip = image->levels > 1 ? ss[D3DSAMP_MIPFILTER] : D3DTEXF_NONE;
    GLint minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (mip == D3DTEXF_POINT) minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    if (mip >= D3DTEXF_LINEAR) minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    gl_.SamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    gl_.SamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
    gl_.SamplerParameteri(sampler, GL_TEXTURE_WRAP_S, AddressOf(ss[D3DSAMP_ADDRESSU]));
    gl_.SamplerParameteri(sampler, GL_TEXTURE_WRAP_T, AddressOf(ss[D3DSAMP_ADDRESSV]));
    const DWORD border = ss[D3DSAMP_BORDERCOLOR];
    const float borderColour[4] = {static_cast<float>(border >> 16 & 0xFF) / 255.0f,
                                   static_cast<float>(border >> 8 & 0xFF) / 255.0f,
                                   static_cast<float>(border & 0xFF) / 255.0f, static_cast<float>(border >> 24) / 255.0f};
    gl_.SamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, borderColour);
    gl_.SamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, FloatOf(ss[D3DSAMP_MIPMAPLODBIAS]));
    if (ss[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || ss[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC)
      gl_.SamplerParameterf(sampler, kAnisotropy, static_cast<float>(std::max<DWORD>(1, ss[D3DSAMP_MAXANISOTROPY])));
  }
  gl_.GetError();  // anisotropy where the context has none

  gl_.BindVertexArray(vertexArray_);
  gl_.BindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(static_cast<size_t>(draw.vertexCount) * draw.stride),
                 draw.vertices, GL_STREAM_DRAW);
  SetVertexLayout(draw, shaderPair);
  const GLenum mode = PrimitiveOf(draw.type);
  if (draw.indices != nullptr) {
    const bool wide = draw.indexFormat == D3DFMT_INDEX32;
    gl_.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    gl_.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(draw.indexCount) * (wide ? 4 : 2), draw.indices,
                   GL_STREAM_DRAW);
    gl_.DrawElements(mode, static_cast<GLsizei>(draw.indexCount), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
  } else {
    gl_.DrawArrays(mode, 0, static_cast<GLsizei>(draw.vertexCount));
  }
  draw.target->newest = Newest::Gpu;
}

}  // namespace d3d9
