#include <gtest/gtest.h>

#include "tests/graphics/scene.h"

namespace {

class SceneTest : public GraphicsTest {};

// The scene drawn through the drawing calls leaves the screen image exactly
// as the software renderer called directly leaves a copy of it.
TEST_F(SceneTest, PublicCallsDrawAsTheRenderer) {
  for (int bits : {16, 32}) {
    StartGraphics(bits, 640, 480);
    SelectDrawTarget(BackScreenHandle);
    PaintImage(&ScreenMemImg, 11);
    const SceneGraphs graphs = MakeSceneGraphs();
    ImageCopy reference(&ScreenMemImg), original(&ScreenMemImg);
    DrawScene(graphs, &reference.image);
    ExpectSameImage(&ScreenMemImg, &reference.image, "scene");
    EXPECT_GT(CountDifferences(&ScreenMemImg, &original.image), 20000);
    StopGraphics();
  }
}

}  // namespace
