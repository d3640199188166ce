// The 3-D state beside the 2-D drawing: world, view, projection and viewport
// matrices, the camera's projection parameters, fog, the material and the
// light handles that the Direct3D back end sends to the device as
// fixed-function lights. Every change of draw target builds a 2-D camera in
// which one unit is one pixel of the target.
#pragma once

#include <cstdint>

#include "library/graphics/matrix.h"
#include "library/graphics/object_handle.h"

struct Color4F {
  float r, g, b, a;
};

// The light as the device takes it.
struct LightDescription {
  int32_t type;  // 1 point, 2 spot, 3 directional; 0 until set
  Color4F diffuse, specular, ambient;
  Vector3F position, direction;
  float range, falloff, attenuation0, attenuation1, attenuation2, theta, phi;
};

struct LightRecord {
  uint32_t checkNumber;
  ObjectHandle handle;
  LightDescription light;
  int32_t deviceIndex;  // -1: not on the device
  int32_t enabled;
  int32_t changed;
};

constexpr uint32_t LightHandleCapacity = 4096;
using LightHandleTableType = HandleTable<LightRecord, HandleKindLight, LightHandleCapacity>;
extern LightHandleTableType LightHandleTable;

// Projection modes.
constexpr int32_t ProjectionPerspective = 0;
constexpr int32_t ProjectionOrtho = 1;
constexpr int32_t ProjectionGiven = 2;

struct Scene3DState {
  Matrix4F world, view, projection, viewport;
  int32_t projectionMode;
  Matrix4F givenProjection;
  float nearZ, farZ, fov;
  float aspectScale;  // the aspect ratio is target height / width times this
  float orthoSize;
  float viewportScale;
  float screenCentreX, screenCentreY;
  int32_t fogMode;
  uint32_t fogColor;  // 0xFF << 24 | r << 16 | g << 8 | b
  float fogStart, fogEnd;
  Color4F materialDiffuse, materialSpecular, materialAmbient, materialEmissive;
  float materialPower;
  int32_t lightingOff;
  ObjectHandle defaultLight;
  int32_t lightsChanged;
  int32_t resendAllLights;
  int32_t deviceLightsInUse;  // after the last send
  // Rebuilt whenever a matrix changes.
  Matrix4F viewProjectionViewport;
  Matrix4F worldViewProjectionViewport;
  Vector3F cameraRight, cameraUp, cameraForward;
  // The draw area as a viewport, and its inverse.
  Matrix4F areaMatrix, areaMatrixInverse;
};
extern Scene3DState Scene3D;

// A light with the default description, enabled and marked changed. A failed
// allocation ends the program; a full table gives -1.
ObjectHandle CreateLightHandle();
// A directional light along the normalised direction, or -1.
ObjectHandle CreateDirectionalLight(float x, float y, float z);
int DeleteLightHandle(ObjectHandle handle);
// Deletes every light but the default light.
int DeleteAllLightHandles();
// Graphics shut-down: every light, the default light too.
int EndLightHandles();
// Hands out device indices (directional, then spot, then point lights, each
// in slot order) and sends the lights that changed.
int ApplyLights();

int SetWorldMatrix(const Matrix4F* m);
int SetViewMatrix(const Matrix4F* m);
int SetProjectionMatrix(const Matrix4F* m);
int SetViewportMatrix(const Matrix4F* m);
int SetCameraNearFar(float nearZ, float farZ);
// Perspective projection with this field of view (radians).
int SetCameraFov(float fov);
int SetUserProjectionMatrix(const Matrix4F* m);
int SetScreenCentre(float x, float y);
int SetFogMode(int32_t mode);
int SetFogColor(int32_t red, int32_t green, int32_t blue);
int SetFogStartEnd(float start, float end);
int SetLightingState(int32_t on);
// out = (x, y, z, 1) x the first three columns of m.
int TransformPoint(Vector3F* out, const Vector3F* in, const Matrix4F* m);
// out = (x, y, z) x the upper 3 x 3 of m.
int TransformDirection(Vector3F* out, const Vector3F* in, const Matrix4F* m);

// The defaults of graphics start-up, with the default light.
void Reset3DState();
// The 2-D camera of a target of this size, and its projection.
void Setup2DCamera(int32_t width, int32_t height);
