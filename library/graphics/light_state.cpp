#include "library/graphics/light_state.h"

#include <initializer_list>

#include "library/core/memory.h"
#include "library/core/startup.h"
#include "library/graphics/d3d9/d3d_screen.h"
#include "library/graphics/draw_state.h"
#include "library/graphics/graphics_system.h"

LightHandleTableType LightHandleTable;
Scene3DState Scene3D;

namespace {

constexpr float kDefaultFov = 1.0471976f;  // 60 degrees
constexpr double kTan30 = 0.5773502588272095;

void RebuildCombinedMatrices() {
  Scene3DState& s = Scene3D;
  Matrix4F viewProjection;
  MultiplyMatrix(&viewProjection, &s.view, &s.projection);
  MultiplyMatrix(&s.viewProjectionViewport, &viewProjection, &s.viewport);
  MultiplyMatrix(&s.worldViewProjectionViewport, &s.world, &s.viewProjectionViewport);
  s.cameraRight = {s.view.m[0][0], s.view.m[1][0], s.view.m[2][0]};
  s.cameraUp = {s.view.m[0][1], s.view.m[1][1], s.view.m[2][1]};
  s.cameraForward = {s.view.m[0][2], s.view.m[1][2], s.view.m[2][2]};
}

int StoreMatrix(Matrix4F* slot, const Matrix4F* m) {
  if (m == nullptr) return -1;
  *slot = *m;
  RebuildCombinedMatrices();
  if (HardwareActive) G_D3D_SendTransforms();
  return 0;
}

// The projection after a change of its parameters.
void UpdateProjection() {
  Scene3DState& s = Scene3D;
  // Without a target size the matrix builder takes the screen's aspect.
  const float aspect = DrawTargetWidth > 0 ? static_cast<float>(DrawTargetHeight) /
                                                 static_cast<float>(DrawTargetWidth) * s.aspectScale
                                           : -1.0f;
  Matrix4F m = s.projection;
  if (s.projectionMode == ProjectionPerspective)
    BuildPerspectiveMatrix(&m, s.fov, s.nearZ, s.farZ, aspect);
  else if (s.projectionMode == ProjectionOrtho)
    BuildOrthoMatrix(&m, s.orthoSize, s.nearZ, s.farZ, aspect);
  else
    m = s.givenProjection;
  SetProjectionMatrix(&m);
}

void FreeLight(uint32_t slot) {
  LightRecord* record = LightHandleTable.records[slot];
  LightHandleTable.Remove(slot);
  TrackedFree(record);
  Scene3D.lightsChanged = 1;
}

}  // namespace

ObjectHandle CreateLightHandle() {
  const int32_t slot = LightHandleTable.FreeSlot();
  if (slot < 0) return -1;
  auto* record = static_cast<LightRecord*>(TrackedCalloc(sizeof(LightRecord), __FILE__, __LINE__));
  if (record == nullptr) FatalErrorExit("ライト用のメモリの確保に失敗しました");
  record->handle = LightHandleTable.Insert(slot, record);
  LightDescription& l = record->light;
  l.diffuse = {1, 1, 1, 1};
  l.specular = {1, 1, 1, 1};
  l.ambient = {0.33f, 0.33f, 0.33f, 0.33f};
  l.range = 2000.0f;
  l.falloff = 1.0f;
  l.attenuation0 = 0.1f;
  l.theta = 2.0f;
  l.phi = 2.0f;
  record->deviceIndex = -1;
  record->enabled = 1;
  record->changed = 1;
  Scene3D.lightsChanged = 1;
  return record->handle;
}

ObjectHandle CreateDirectionalLight(float x, float y, float z) {
  const ObjectHandle handle = CreateLightHandle();
  if (handle < 0) return -1;
  LightRecord* record = LightHandleTable.Find(handle);
  record->light.type = 3;
  const Vector3F direction = {x, y, z};
  NormalizeVector3(&record->light.direction, &direction);
  return handle;
}

int DeleteLightHandle(ObjectHandle handle) {
  if (LightHandleTable.Find(handle) == nullptr) return -1;
  FreeLight(static_cast<uint32_t>(handle) & HandleSlotBits);
  return 0;
}

int DeleteAllLightHandles() {
  for (uint32_t slot = 0; slot < LightHandleTable.top; ++slot) {
    if (LightHandleTable.records[slot] != nullptr && LightHandleTable.HandleAt(slot) != Scene3D.defaultLight)
      FreeLight(slot);
  }
  return 0;
}

int EndLightHandles() {
  for (uint32_t slot = 0; slot < LightHandleTable.top; ++slot) {
    if (LightHandleTable.records[slot] != nullptr) FreeLight(slot);
  }
  Scene3D.defaultLight = -1;
  return 0;
}

int ApplyLights() {
  Scene3DState& s = Scene3D;
  if (HardwareActive) G_D3D_SendLighting(!s.lightingOff);
  if (!s.lightsChanged && !s.resendAllLights) return 0;
  int32_t next = 0;
  for (int32_t type : {3, 2, 1}) {
    for (uint32_t slot = 0; slot < LightHandleTable.top; ++slot) {
      LightRecord* record = LightHandleTable.records[slot];
      if (record == nullptr || !record->enabled || record->light.type != type) continue;
      const int32_t index = next++;
      if (index != record->deviceIndex || record->changed || s.resendAllLights) {
        record->deviceIndex = index;
        if (HardwareActive) {
          G_D3D_SendLight(index, &record->light);
          G_D3D_SendLightEnable(index, 1);
        }
        record->changed = 0;
      }
    }
  }
  for (int32_t index = next; index < s.deviceLightsInUse; ++index)
    if (HardwareActive) G_D3D_SendLightEnable(index, 0);
  s.deviceLightsInUse = next;
  s.lightsChanged = 0;
  s.resendAllLights = 0;
  return 0;
}

int SetWorldMatrix(const Matrix4F* m) { return StoreMatrix(&Scene3D.world, m); }
int SetViewMatrix(const Matrix4F* m) { return StoreMatrix(&Scene3D.view, m); }
int SetProjectionMatrix(const Matrix4F* m) { return StoreMatrix(&Scene3D.projection, m); }
int SetViewportMatrix(const Matrix4F* m) { return StoreMatrix(&Scene3D.viewport, m); }

int SetCameraNearFar(float nearZ, float farZ) {
  Scene3D.nearZ = nearZ;
  Scene3D.farZ = farZ;
  UpdateProjection();
  return 0;
}

int SetCameraFov(float fov) {
  Scene3D.fov = fov;
  Scene3D.projectionMode = ProjectionPerspective;
  UpdateProjection();
  return 0;
}

int SetUserProjectionMatrix(const Matrix4F* m) {
  if (m == nullptr) return -1;
  Scene3D.givenProjection = *m;
  Scene3D.projectionMode = ProjectionGiven;
  UpdateProjection();
  return 0;
}

int SetScreenCentre(float x, float y) {
  Scene3D.screenCentreX = x;
  Scene3D.screenCentreY = y;
  return 0;
}

int SetFogMode(int32_t mode) {
  if (mode == Scene3D.fogMode) return 0;
  Scene3D.fogMode = mode;
  if (HardwareActive) G_D3D_SendFog();
  return 0;
}

int SetFogColor(int32_t red, int32_t green, int32_t blue) {
  const uint32_t color = 0xFF000000u | static_cast<uint32_t>(red & 0xFF) << 16 |
                         static_cast<uint32_t>(green & 0xFF) << 8 | static_cast<uint32_t>(blue & 0xFF);
  if (color == Scene3D.fogColor) return 0;
  Scene3D.fogColor = color;
  if (HardwareActive) G_D3D_SendFog();
  return 0;
}

int SetFogStartEnd(float start, float end) {
  if (start == Scene3D.fogStart && end == Scene3D.fogEnd) return 0;
  Scene3D.fogStart = start;
  Scene3D.fogEnd = end;
  if (HardwareActive) G_D3D_SendFog();
  return 0;
}

int SetLightingState(int32_t on) {
  Scene3D.lightingOff = on ? 0 : 1;
  return 0;
}

int TransformPoint(Vector3F* out, const Vector3F* in, const Matrix4F* m) {
  return TransformPoint3x4(out, in, m);
}

int TransformDirection(Vector3F* out, const Vector3F* in, const Matrix4F* m) {
  const Vector3F v = *in;
  out->x = v.x * m->m[0][0] + v.y * m->m[1][0] + v.z * m->m[2][0];
  out->y = v.x * m->m[0][1] + v.y * m->m[1][1] + v.z * m->m[2][1];
  out->z = v.x * m->m[0][2] + v.y * m->m[1][2] + v.z * m->m[2][2];
  return 0;
}

void Reset3DState() {
  Scene3DState& s = Scene3D;
  SetIdentityMatrix(&s.world);
  SetIdentityMatrix(&s.view);
  SetIdentityMatrix(&s.projection);
  SetIdentityMatrix(&s.viewport);
  SetIdentityMatrix(&s.givenProjection);
  s.projectionMode = ProjectionPerspective;
  s.nearZ = 10.0f;
  s.farZ = 10000.0f;
  s.fov = kDefaultFov;
  s.aspectScale = 1.0f;
  s.orthoSize = 1.0f;
  s.viewportScale = 1.0f;
  s.fogMode = 3;
  s.fogColor = 0xFFFFFFFF;
  s.fogStart = 0.0f;
  s.fogEnd = 1500.0f;
  s.materialDiffuse = {0.8f, 0.8f, 0.8f, 1.0f};
  s.materialSpecular = {0.8f, 0.8f, 0.8f, 0.0f};
  s.materialAmbient = {0, 0, 0, 0};
  s.materialEmissive = {0, 0, 0, 0};
  s.materialPower = 20.0f;
  s.lightingOff = 0;
  if (LightHandleTable.Find(s.defaultLight) == nullptr) s.defaultLight = CreateDirectionalLight(1, -1, 1);
  RebuildCombinedMatrices();
}

void Setup2DCamera(int32_t width, int32_t height) {
  Scene3DState& s = Scene3D;
  const float cx = static_cast<float>(width) / 2, cy = static_cast<float>(height) / 2;
  s.screenCentreX = cx;
  s.screenCentreY = cy;
  Matrix4F viewport;
  BuildViewportMatrix(&viewport, cx, cy, static_cast<float>(width) * s.viewportScale,
                      static_cast<float>(height) * s.viewportScale);
  SetViewportMatrix(&viewport);

  const float distance = static_cast<float>(cy / kTan30);
  const Vector3F eye = {cx, cy, -distance}, at = {cx, cy, -distance + 1}, up = {0, 1, 0};
  Matrix4F view;
  BuildLookAtMatrix(&view, &eye, &at, &up);
  SetViewMatrix(&view);

  s.fov = kDefaultFov;
  s.nearZ = distance * 0.1f;
  s.farZ = distance + 20000.0f;
  UpdateProjection();

  BuildViewportMatrix(&s.areaMatrix, cx, cy, static_cast<float>(width), static_cast<float>(height));
  if (InvertMatrix(&s.areaMatrixInverse, &s.areaMatrix) != 0) SetIdentityMatrix(&s.areaMatrixInverse);
}
