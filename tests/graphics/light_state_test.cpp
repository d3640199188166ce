#include <gtest/gtest.h>

#include "library/graphics/texture_tables.h"
#include "tests/graphics/graphics_fixture.h"

namespace {

class LightStateTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    StartGraphics(16, 640, 480);
  }
};

TEST_F(LightStateTest, LightsAndTheirDeviceIndices) {
  // Start-up made the default light, directional along (1, -1, 1).
  const LightRecord* defaultLight = LightHandleTable.Find(Scene3D.defaultLight);
  ASSERT_NE(defaultLight, nullptr);
  EXPECT_EQ(defaultLight->light.type, 3);
  EXPECT_NEAR(defaultLight->light.direction.y, -0.57735f, 1e-5);

  ObjectHandle point = CreateLightHandle();
  LightHandleTable.Find(point)->light.type = 1;
  ObjectHandle directional = CreateDirectionalLight(3, 0, 4);
  const LightRecord* record = LightHandleTable.Find(directional);
  EXPECT_FLOAT_EQ(record->light.direction.x, 0.6f);
  EXPECT_FLOAT_EQ(record->light.direction.y, 0.0f);
  EXPECT_FLOAT_EQ(record->light.direction.z, 0.8f);
  EXPECT_FLOAT_EQ(record->light.range, 2000.0f);
  EXPECT_EQ(record->enabled, 1);

  // Directional lights come first, whatever their slots.
  ApplyLights();
  EXPECT_EQ(defaultLight->deviceIndex, 0);
  EXPECT_EQ(record->deviceIndex, 1);
  EXPECT_EQ(LightHandleTable.Find(point)->deviceIndex, 2);
  EXPECT_EQ(Scene3D.deviceLightsInUse, 3);
  EXPECT_EQ(Scene3D.lightsChanged, 0);

  EXPECT_EQ(DeleteLightHandle(directional), 0);
  EXPECT_EQ(DeleteLightHandle(directional), -1);
  ApplyLights();
  EXPECT_EQ(LightHandleTable.Find(point)->deviceIndex, 1);
  EXPECT_EQ(Scene3D.deviceLightsInUse, 2);

  EXPECT_EQ(DeleteAllLightHandles(), 0);
  EXPECT_EQ(LightHandleTable.count, 1u);
  EXPECT_NE(LightHandleTable.Find(Scene3D.defaultLight), nullptr);
}

TEST_F(LightStateTest, TwoDimensionalCameraOfTheTarget) {
  const float distance = static_cast<float>(240 / 0.5773502588272095);
  EXPECT_NEAR(Scene3D.farZ, 20415.69f, 0.01f);
  EXPECT_NEAR(Scene3D.nearZ, distance * 0.1f, 1e-3f);
  EXPECT_FLOAT_EQ(Scene3D.screenCentreX, 320.0f);
  // One unit is one pixel of the target: points of the plane z = 0 land on
  // their own x, the centre on the centre.
  for (float x : {0.0f, 320.0f, 500.0f, 640.0f}) {
    const float in[4] = {x, 240, 0, 1};
    float out4[4] = {};
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) out4[c] += in[r] * Scene3D.viewProjectionViewport.m[r][c];
    EXPECT_NEAR(out4[0] / out4[3], x, 1e-2) << x;
    EXPECT_NEAR(out4[1] / out4[3], 240, 1e-2) << x;
  }

  Vector3F out;
  const Vector3F p = {1, 2, 3};
  Matrix4F translate;
  SetIdentityMatrix(&translate);
  translate.m[3][0] = 10;
  translate.m[3][1] = 20;
  translate.m[3][2] = 30;
  TransformPoint(&out, &p, &translate);
  EXPECT_FLOAT_EQ(out.x, 11);
  EXPECT_FLOAT_EQ(out.y, 22);
  EXPECT_FLOAT_EQ(out.z, 33);
  TransformDirection(&out, &p, &translate);
  EXPECT_FLOAT_EQ(out.x, 1);
  EXPECT_FLOAT_EQ(out.z, 3);

  SetFogColor(0x101, 2, 3);
  EXPECT_EQ(Scene3D.fogColor, 0xFF010203u);
  SetCameraNearFar(1, 100);
  EXPECT_EQ(Scene3D.farZ, 100);
  SetLightingState(0);
  EXPECT_EQ(Scene3D.lightingOff, 1);
}

TEST_F(LightStateTest, TextureTablesStartOnlyWithDirect3D) {
  EXPECT_EQ(InitGraphicsTables(), 0);
  EXPECT_EQ(GraphicsTablesStarted, 0);
  HardwareActive = 1;
  EXPECT_EQ(InitGraphicsTables(), 0);
  EXPECT_EQ(GraphicsTablesStarted, 1);
  EXPECT_FLOAT_EQ(SinTable[16384], 1.0f);
  EXPECT_EQ(ReleaseGraphicsTables(), 0);
  EXPECT_EQ(GraphicsTablesStarted, 0);
  HardwareActive = 0;
}

}  // namespace
