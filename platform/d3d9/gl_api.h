// Inside the Direct3D 9 stand-in: the OpenGL 3.3 core functions the executor
// calls, loaded through SDL from the context's library, and the context made
// on a window.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <string>

namespace d3d9 {

// Each function: its result, name and parameters.
#define ZR_GL_FUNCTIONS(X)                                                                                       \
  X(const GLubyte*, GetString, (GLenum))                                                                         \
  X(const GLubyte*, GetStringi, (GLenum, GLuint))                                                                \
  X(void, GetIntegerv, (GLenum, GLint*))                                                                         \
  X(GLenum, GetError, (void))                                                                                    \
  X(void, Enable, (GLenum))                                                                                      \
  X(void, Disable, (GLenum))                                                                                     \
  X(void, BlendFunc, (GLenum, GLenum))                                                                           \
  X(void, BlendEquation, (GLenum))                                                                               \
  X(void, ColorMask, (GLboolean, GLboolean, GLboolean, GLboolean))                                               \
  X(void, DepthMask, (GLboolean))                                                                                \
  X(void, DepthFunc, (GLenum))                                                                                   \
  X(void, DepthRange, (GLdouble, GLdouble))                                                                      \
  X(void, CullFace, (GLenum))                                                                                    \
  X(void, FrontFace, (GLenum))                                                                                   \
  X(void, PolygonMode, (GLenum, GLenum))                                                                         \
  X(void, PolygonOffset, (GLfloat, GLfloat))                                                                     \
  X(void, ProvokingVertex, (GLenum))                                                                             \
  X(void, Scissor, (GLint, GLint, GLsizei, GLsizei))                                                             \
  X(void, Viewport, (GLint, GLint, GLsizei, GLsizei))                                                            \
  X(void, ClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                                      \
  X(void, ClearDepth, (GLdouble))                                                                                \
  X(void, Clear, (GLbitfield))                                                                                   \
  X(void, PixelStorei, (GLenum, GLint))                                                                          \
  X(void, ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))                                   \
  X(void, Finish, (void))                                                                                        \
  X(void, GenTextures, (GLsizei, GLuint*))                                                                       \
  X(void, DeleteTextures, (GLsizei, const GLuint*))                                                              \
  X(void, BindTexture, (GLenum, GLuint))                                                                         \
  X(void, ActiveTexture, (GLenum))                                                                               \
  X(void, TexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))              \
  X(void, TexSubImage2D, (GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*))           \
  X(void, CompressedTexImage2D, (GLenum, GLint, GLenum, GLsizei, GLsizei, GLint, GLsizei, const void*))          \
  X(void, TexParameteri, (GLenum, GLenum, GLint))                                                                \
  X(void, GenFramebuffers, (GLsizei, GLuint*))                                                                   \
  X(void, DeleteFramebuffers, (GLsizei, const GLuint*))                                                          \
  X(void, BindFramebuffer, (GLenum, GLuint))                                                                     \
  X(void, FramebufferTexture2D, (GLenum, GLenum, GLenum, GLuint, GLint))                                         \
  X(void, FramebufferRenderbuffer, (GLenum, GLenum, GLenum, GLuint))                                             \
  X(GLenum, CheckFramebufferStatus, (GLenum))                                                                    \
  X(void, BlitFramebuffer, (GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum))         \
  X(void, DrawBuffer, (GLenum))                                                                                  \
  X(void, ReadBuffer, (GLenum))                                                                                  \
  X(void, GenRenderbuffers, (GLsizei, GLuint*))                                                                  \
  X(void, DeleteRenderbuffers, (GLsizei, const GLuint*))                                                         \
  X(void, BindRenderbuffer, (GLenum, GLuint))                                                                    \
  X(void, RenderbufferStorage, (GLenum, GLenum, GLsizei, GLsizei))                                               \
  X(void, GenSamplers, (GLsizei, GLuint*))                                                                       \
  X(void, DeleteSamplers, (GLsizei, const GLuint*))                                                              \
  X(void, BindSampler, (GLuint, GLuint))                                                                         \
  X(void, SamplerParameteri, (GLuint, GLenum, GLint))                                                            \
  X(void, SamplerParameterf, (GLuint, GLenum, GLfloat))                                                          \
  X(void, SamplerParameterfv, (GLuint, GLenum, const GLfloat*))                                                  \
  X(GLuint, CreateShader, (GLenum))                                                                              \
  X(void, ShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))                                   \
  X(void, CompileShader, (GLuint))                                                                               \
  X(void, GetShaderiv, (GLuint, GLenum, GLint*))                                                                 \
  X(void, GetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                                \
  X(void, DeleteShader, (GLuint))                                                                                \
  X(GLuint, CreateProgram, (void))                                                                               \
  X(void, AttachShader, (GLuint, GLuint))                                                                        \
  X(void, LinkProgram, (GLuint))                                                                                 \
  X(void, GetProgramiv, (GLuint, GLenum, GLint*))                                                                \
  X(void, GetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                               \
  X(void, DeleteProgram, (GLuint))                                                                               \
  X(void, UseProgram, (GLuint))                                                                                  \
  X(GLint, GetUniformLocation, (GLuint, const GLchar*))                                                          \
  X(void, Uniform1i, (GLint, GLint))                                                                             \
  X(void, Uniform1f, (GLint, GLfloat))                                                                           \
  X(void, Uniform4f, (GLint, GLfloat, GLfloat, GLfloat, GLfloat))                                                \
  X(void, Uniform4fv, (GLint, GLsizei, const GLfloat*))                                                          \
  X(void, Uniform1iv, (GLint, GLsizei, const GLint*))                                                            \
  X(void, UniformMatrix4fv, (GLint, GLsizei, GLboolean, const GLfloat*))                                         \
  X(void, GenVertexArrays, (GLsizei, GLuint*))                                                                   \
  X(void, DeleteVertexArrays, (GLsizei, const GLuint*))                                                          \
  X(void, BindVertexArray, (GLuint))                                                                             \
  X(void, GenBuffers, (GLsizei, GLuint*))                                                                        \
  X(void, DeleteBuffers, (GLsizei, const GLuint*))                                                               \
  X(void, BindBuffer, (GLenum, GLuint))                                                                          \
  X(void, BufferData, (GLenum, GLsizeiptr, const void*, GLenum))                                                 \
  X(void, VertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))                         \
  X(void, EnableVertexAttribArray, (GLuint))                                                                     \
  X(void, DisableVertexAttribArray, (GLuint))                                                                    \
  X(void, VertexAttrib4f, (GLuint, GLfloat, GLfloat, GLfloat, GLfloat))                                          \
  X(void, DrawArrays, (GLenum, GLint, GLsizei))                                                                  \
  X(void, DrawElements, (GLenum, GLsizei, GLenum, const void*))

struct GlApi {
#define ZR_GL_MEMBER(result, name, parameters) result(APIENTRY* name) parameters = nullptr;
  ZR_GL_FUNCTIONS(ZR_GL_MEMBER)
#undef ZR_GL_MEMBER
  // Optional: the reset status of a robust context (null without one).
  GLenum(APIENTRY* GetGraphicsResetStatus)(void) = nullptr;

  // False with the first missing function's name.
  bool Load(std::string* missing);
  bool HasExtension(const char* name) const;
};

// An OpenGL 3.3 core context made current on an SDL window, asking for one
// that reports a reset (a lost context) first.
struct GlContext {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool robust = false;

  // False with SDL's reason.
  bool Open(SDL_Window* on, std::string* error);
  void Close();
  void MakeCurrent() const;
};

}  // namespace d3d9
