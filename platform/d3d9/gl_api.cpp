#include "platform/d3d9/gl_api.h"

#include <cstring>

namespace d3d9 {

bool GlApi::Load(std::string* missing) {
#define ZR_GL_LOAD(result, name, parameters)                                            \
  name = reinterpret_cast<result(APIENTRY*) parameters>(SDL_GL_GetProcAddress("gl" #name)); \
  if (name == nullptr) {                                                                \
    *missing = "gl" #name;                                                              \
    return false;                                                                       \
  }
  ZR_GL_FUNCTIONS(ZR_GL_LOAD)
#undef ZR_GL_LOAD
  GetGraphicsResetStatus = nullptr;
  if (HasExtension("GL_ARB_robustness"))
    GetGraphicsResetStatus =
        reinterpret_cast<GLenum(APIENTRY*)(void)>(SDL_GL_GetProcAddress("glGetGraphicsResetStatusARB"));
  return true;
}

bool GlApi::HasExtension(const char* name) const {
  GLint count = 0;
  GetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const auto* e = reinterpret_cast<const char*>(GetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (e != nullptr && std::strcmp(e, name) == 0) return true;
  }
  return false;
}

bool GlContext::Open(SDL_Window* on, std::string* error) {
  Close();
  if (on == nullptr || (SDL_GetWindowFlags(on) & SDL_WINDOW_OPENGL) == 0) {
    *error = "the window takes no OpenGL context";
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  // A context that tells of its loss first, then a plain one.
  for (int attempt = 0; attempt < 2 && context == nullptr; ++attempt) {
    robust = attempt == 0;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, robust ? SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG : 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION,
                        robust ? SDL_GL_CONTEXT_RESET_LOSE_CONTEXT : SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
    context = SDL_GL_CreateContext(on);
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
  if (context == nullptr) {
    *error = SDL_GetError();
    return false;
  }
  window = on;
  return true;
}

void GlContext::Close() {
  if (context != nullptr) SDL_GL_DeleteContext(context);
  context = nullptr;
  window = nullptr;
}

void GlContext::MakeCurrent() const {
  if (context != nullptr && SDL_GL_GetCurrentContext() != context) SDL_GL_MakeCurrent(window, context);
}

}  // namespace d3d9
