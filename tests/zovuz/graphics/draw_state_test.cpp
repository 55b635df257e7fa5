// The draw state: its defaults, what a reset sends to a device, saving and restoring, the draw
// area, the blend state, the camera for a new target, the derived matrices and the queries.
#include <math.h>

#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

bool SameMatrix(const MATRIX_D &A, const MATRIX_D &B) { return memcmp(&A, &B, sizeof(A)) == 0; }

bool IsIdentity(const MATRIX_D &M)
{
    MATRIX_D identity;
    CreateIdentityMatrixD(&identity);
    return SameMatrix(M, identity);
}

using DrawState = GraphicsStateTest;

TEST_F(DrawState, ResetGivesTheDefaults)
{
    GraphicsDrawSettings.DrawAreaRequest = ImageRect{1, 2, 3, 4};
    ResetDrawSettings();
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    EXPECT_EQ(0, d.BlendMode);
    EXPECT_EQ(0, d.BlendParam);
    EXPECT_EQ(-1, d.BlendGraph);
    EXPECT_EQ(-1, d.AlphaTestMode);
    EXPECT_EQ(255, d.DrawBrightRed & d.DrawBrightGreen & d.DrawBrightBlue);
    EXPECT_FLOAT_EQ(0.2f, d.DrawZ);
    EXPECT_EQ(3, d.FogMode);
    EXPECT_EQ(0xFFFFFFFFu, d.FogColor);
    EXPECT_FLOAT_EQ(0.0f, d.FogStart);
    EXPECT_FLOAT_EQ(1500.0f, d.FogEnd);
    EXPECT_EQ(4, d.Z2D.CompareFunction);
    EXPECT_EQ(4, d.Z3D.CompareFunction);
    EXPECT_EQ(3, d.FillMode);
    EXPECT_EQ(1, d.MaxAnisotropy);
    EXPECT_EQ(3, d.TexAddressModeU[15] & d.TexAddressModeV[0] & d.TexAddressModeW[7]);
    EXPECT_EQ(1, d.UseMaskScreenFlag);
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    EXPECT_EQ(640, d.DrawSizeX);
    EXPECT_EQ(480, d.DrawSizeY);
    EXPECT_EQ(0, d.DrawArea.left);
    EXPECT_EQ(480, d.DrawArea.bottom);
    EXPECT_TRUE(IsIdentity(d.Matrix.World) && IsIdentity(d.Matrix.View) && IsIdentity(d.Matrix.Projection) &&
                IsIdentity(d.Matrix.Viewport));
    EXPECT_EQ(DX_CAMERA_PERSPECTIVE, d.Camera.ProjectionMode);
    EXPECT_DOUBLE_EQ(10.0, d.Camera.Near);
    EXPECT_DOUBLE_EQ(10000.0, d.Camera.Far);
    EXPECT_DOUBLE_EQ(1.0471975803375244, d.Camera.Fov);
    EXPECT_FLOAT_EQ(0.8f, d.Material.Diffuse[0]);
    EXPECT_FLOAT_EQ(1.0f, d.Material.Diffuse[3]);
    EXPECT_FLOAT_EQ(0.0f, d.Material.Specular[3]);
    EXPECT_FLOAT_EQ(20.0f, d.Material.Power);
    EXPECT_EQ(1, GraphicsState.DrawStateChangedFlag);

    // The default light shines along (1, -1, 1).
    LightHandleData *light = GetLightData(GraphicsState.DefaultLightHandle);
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(DX_LIGHTTYPE_DIRECTIONAL, light->Param.LightType);
    EXPECT_NEAR(0.57735f, light->Param.Direction.x, 1e-5);
    EXPECT_NEAR(-0.57735f, light->Param.Direction.y, 1e-5);
    EXPECT_EQ(1, GraphicsLightState.Num);  // a second reset replaces it
    DeleteLightHandle(GraphicsState.DefaultLightHandle);
    EXPECT_EQ(-1, GraphicsState.DefaultLightHandle);

    // The requested area outlives the reset.
    EXPECT_EQ(2, d.DrawAreaRequest.top);
}

TEST_F(DrawState, ResetSendsTheDeviceOnlyWhatChanged)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    GraphicsDrawSettings.FogEnd = 10.0f;
    GraphicsDrawSettings.DrawBrightRed = 0;
    ResetDrawSettings();
    std::vector<std::string> pushed = CallsStartingWith("UpdateDiffuseColor");
    for (const std::string &call : CallsStartingWith("SetFog"))
        pushed.push_back(call);
    EXPECT_EQ((std::vector<std::string>{"UpdateDiffuseColor", "SetFogStartEnd 0 1500"}), pushed);
    EXPECT_EQ(std::vector<std::string>{"SetDrawScreen -4"}, CallsStartingWith("SetDrawScreen"));
    EXPECT_EQ(std::vector<std::string>{"StartFrontScreenTimer -4"}, CallsStartingWith("StartFrontScreenTimer"));
    FakeHardware.Calls.clear();
    ResetDrawSettings();
    EXPECT_TRUE(CallsStartingWith("UpdateDiffuseColor").empty());
    EXPECT_TRUE(CallsStartingWith("SetFog").empty());
}

TEST_F(DrawState, QueriesBeforeAnyScreenIsSet)
{
    int w = 0, h = 0, depth = 0;
    EXPECT_EQ(0, GetDrawScreenSize(&w, &h));
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    EXPECT_EQ(16, GetScreenColorBitDepth());
    EXPECT_EQ(0, GetScreenState(nullptr, &h, &depth));
    EXPECT_EQ(16, depth);
    EXPECT_EQ(1, GetWaitVSyncFlag());
    EXPECT_EQ(0, IsRestoreGraphCallbackSet());
    EXPECT_EQ(-1, GetBackgroundColor(nullptr, nullptr, nullptr));
    // Before the library starts, the hardware flag is the inverse of the software request.
    EXPECT_EQ(1, GetUseHardwareRenderFlag());
    GraphicsState.SoftwareRenderRequestFlag = 1;
    EXPECT_EQ(0, GetUseHardwareRenderFlag());

    ImageLoadDefaultsData saved = ImageLoadDefaults;
    ImageLoadDefaults.TransparentColor = 0x00102030;
    int r, g, b;
    EXPECT_EQ(0, GetTransColor(&r, &g, &b));
    EXPECT_EQ(0x10, r);
    EXPECT_EQ(0x20, g);
    EXPECT_EQ(0x30, b);
    GraphicsScreenSettings.MainScreenColorBitDepth = 8;
    EXPECT_EQ(-1, GetTransColor(&r, &g, &b));
    ImageLoadDefaults = saved;
}

TEST_F(DrawState, RestoreGivesBackWhatWasSaved)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    SetDrawBlendModeState(DX_BLENDMODE_ALPHA, 128);
    SetDrawAreaState(10, 20, 300, 200);
    MATRIX_D world, view;
    CreateIdentityMatrixD(&world);
    world.m[3][0] = 5.0;
    SetTransformToWorldD(&world);
    SetCameraPositionAndTargetAndUp(VECTOR_D{1, 2, 3}, VECTOR_D{4, 5, 7}, VECTOR_D{0, 1, 0});
    view = d.Matrix.View;
    MATRIX_D camera;
    CreateOrthoMatrixD(&camera, 3.0, 1.0, 50.0, 0.5);
    SetCameraProjectionMatrix(&camera);
    d.Camera.Near = 2.0;
    d.Camera.Far = 900.0;
    d.Camera.AspectScale = 1.5;
    SetCameraScreenCenter(100.0, 50.0);  // a viewport of its own, not the draw area's
    DrawSettingsSaveData saved;
    SaveDrawSettings(&saved);
    const MATRIX_D projection = d.Matrix.Projection, viewport = d.Matrix.Viewport;

    SetDrawBlendModeState(0, 0);
    d.DrawMode = 2;
    SelectScreenAsDrawTarget(DX_SCREEN_BACK);
    SetDrawAreaState(0, 0, 5, 5);
    ResetCameraForDrawScreen(DX_SCREEN_BACK);

    EXPECT_EQ(0, RestoreDrawSettings(&saved));
    EXPECT_EQ(DX_BLENDMODE_ALPHA, d.BlendMode);
    EXPECT_EQ(128, d.BlendParam);
    EXPECT_EQ(0, d.DrawMode);
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    EXPECT_EQ(10, d.DrawArea.left);
    EXPECT_EQ(200, d.DrawArea.bottom);
    EXPECT_TRUE(SameMatrix(world, d.Matrix.World));
    EXPECT_TRUE(SameMatrix(view, d.Matrix.View));
    EXPECT_TRUE(SameMatrix(camera, d.Matrix.CameraProjection));
    EXPECT_TRUE(SameMatrix(projection, d.Matrix.Projection));
    EXPECT_TRUE(SameMatrix(viewport, d.Matrix.Viewport));
    EXPECT_EQ(DX_CAMERA_MATRIX, d.Camera.ProjectionMode);
    EXPECT_DOUBLE_EQ(2.0, d.Camera.Near);
    EXPECT_DOUBLE_EQ(900.0, d.Camera.Far);
    EXPECT_DOUBLE_EQ(1.5, d.Camera.AspectScale);
}

TEST_F(DrawState, CameraForANewTargetInExactNumbers)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    MATRIX_D world;
    CreateIdentityMatrixD(&world);
    world.m[0][0] = 3.0;
    SetTransformToWorldD(&world);
    SetDrawScreenState(DX_SCREEN_BACK, 640, 480);
    ResetCameraForDrawScreen(DX_SCREEN_BACK);
    const double distance = 415.6922004330612;  // (480 / 2) / tan 30
    MATRIX_D view;
    CreateIdentityMatrixD(&view);
    view.m[3][0] = -320.0;
    view.m[3][1] = -240.0;
    view.m[3][2] = distance;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_DOUBLE_EQ(view.m[r][c], d.Matrix.View.m[r][c]) << r << c;
    const MATRIX_D &p = d.Matrix.Projection;
    EXPECT_DOUBLE_EQ(1.299038061965269, p.m[0][0]);  // cot 30 x 480 / 640
    EXPECT_DOUBLE_EQ(1.7320507492870254, p.m[1][1]);
    EXPECT_DOUBLE_EQ(1.0020402949409561, p.m[2][2]);  // far / (far - near)
    EXPECT_DOUBLE_EQ(-41.65403351265997, p.m[3][2]);  // - that x near
    EXPECT_DOUBLE_EQ(1.0, p.m[2][3]);
    const MATRIX_D &v = d.Matrix.Viewport;
    EXPECT_DOUBLE_EQ(320.0, v.m[0][0]);
    EXPECT_DOUBLE_EQ(-240.0, v.m[1][1]);
    EXPECT_DOUBLE_EQ(320.0, v.m[3][0]);
    EXPECT_DOUBLE_EQ(240.0, v.m[3][1]);
    EXPECT_TRUE(IsIdentity(d.Matrix.World));
    EXPECT_TRUE(IsIdentity(d.Matrix.ViewRotation));  // the view without its translation
    EXPECT_DOUBLE_EQ(distance * 0.1, d.Camera.Near);
    EXPECT_DOUBLE_EQ(distance + 20000.0, d.Camera.Far);
    EXPECT_DOUBLE_EQ(0.0, d.Camera.VerticalAngle);

    // At the camera's distance one world unit is one pixel (as near as tan 30 is written); the
    // screen's y runs downward.
    for (VECTOR_D pixel : {VECTOR_D{0, 0, 0}, VECTOR_D{640, 480, 0}, VECTOR_D{100, 50, 0}}) {
        VECTOR_D near = ConvScreenPosToWorldPos(VECTOR_D{pixel.x, pixel.y, 0.0});
        VECTOR_D far = ConvScreenPosToWorldPos(VECTOR_D{pixel.x, pixel.y, 1.0});
        double t = (0.0 - near.z) / (far.z - near.z);  // where the ray crosses z = 0
        EXPECT_NEAR(pixel.x, near.x + t * (far.x - near.x), 1e-4);
        EXPECT_NEAR(480.0 - pixel.y, near.y + t * (far.y - near.y), 1e-4);
    }
    // The frustum's corners lie on the planes built through them.
    const int onPlanes[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 2, 4, 6}, {1, 3, 5, 7}, {0, 1, 4, 5}, {2, 3, 6, 7}};
    for (int p = 0; p < 6; ++p) {
        const PLANE_D &plane = d.Matrix.FrustumPlanes[p];
        for (int i : onPlanes[p]) {
            const VECTOR_D &c = d.Matrix.FrustumCorners[i];
            EXPECT_NEAR(0.0, plane.a * c.x + plane.b * c.y + plane.c * c.z + plane.d, 1e-6) << p << " " << i;
        }
    }
}

TEST_F(DrawState, KeptSettingsSurviveATargetChange)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.Keep3DSettingsFlag = 1;
    SetDrawAreaState(10, 10, 50, 50);
    MATRIX_D view = d.Matrix.View;
    SetDrawScreenState(DX_SCREEN_BACK, 320, 240);
    ResetCameraForDrawScreen(DX_SCREEN_BACK);
    EXPECT_EQ(320, d.DrawArea.right);            // the whole target ...
    EXPECT_EQ(50, d.DrawAreaRequest.right);      // ... with the request kept on record
    EXPECT_TRUE(SameMatrix(view, d.Matrix.View));  // and the camera left alone
    d.KeepUseRequestAreaFlag = 1;
    ResetCameraForDrawScreen(DX_SCREEN_BACK);
    EXPECT_EQ(50, d.DrawArea.right);
}

TEST_F(DrawState, DrawAreaIsOrderedAndClampedToTheTarget)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    UseFakeBackend(GRAPHICS_API_D3D9);
    SetDrawAreaState(700, 500, -10, 20);
    EXPECT_EQ(700, d.DrawAreaRequest.left);
    EXPECT_EQ(0, d.DrawArea.left);
    EXPECT_EQ(20, d.DrawArea.top);
    EXPECT_EQ(640, d.DrawArea.right);
    EXPECT_EQ(480, d.DrawArea.bottom);
    EXPECT_FLOAT_EQ(640.0f, d.DrawAreaF[2]);
    EXPECT_EQ(0, d.DrawAreaEmptyFlag);
    EXPECT_DOUBLE_EQ(250.0, d.Matrix.Viewport.m[3][1]);  // centred on the area
    EXPECT_DOUBLE_EQ(-230.0, d.Matrix.Viewport.m[1][1]);
    EXPECT_EQ(1u, CallsStartingWith("SetDrawArea").size());

    // Nothing visible, in either direction: the viewport stays.
    FakeHardware.Calls.clear();
    for (ImageRect empty : {ImageRect{10, 10, 10, 50}, ImageRect{10, 500, 50, 600}}) {
        SetDrawAreaState(empty.left, empty.top, empty.right, empty.bottom);
        EXPECT_EQ(1, d.DrawAreaEmptyFlag);
        EXPECT_DOUBLE_EQ(250.0, d.Matrix.Viewport.m[3][1]);
    }
    EXPECT_EQ(480, d.DrawArea.top);
    EXPECT_TRUE(CallsStartingWith("SetDrawArea").empty());
}

TEST_F(DrawState, BlendModeAndParameter)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    UseFakeBackend(GRAPHICS_API_D3D11);
    struct Case
    {
        int Mode, Param;
        int Stored;
        int Changed;     // the draw-state-changed flag is set
        size_t Pushes;   // vertex-colour updates sent
    } cases[] = {
        {1, 300, 255, 1, 1},
        {1, 300, 255, 0, 0},  // unchanged
        {1, -5, 0, 0, 1},     // a new parameter alone changes no state but the vertex colour
        {0, 0, 0, 1, 1},
    };
    for (const Case &c : cases) {
        GraphicsState.DrawStateChangedFlag = 0;
        FakeHardware.Calls.clear();
        EXPECT_EQ(0, SetDrawBlendModeState(c.Mode, c.Param));
        EXPECT_EQ(c.Mode, d.BlendMode);
        EXPECT_EQ(c.Stored, d.BlendParam);
        EXPECT_EQ(c.Changed, GraphicsState.DrawStateChangedFlag);
        EXPECT_EQ(c.Pushes, CallsStartingWith("UpdateDiffuseColor").size());
    }
}

TEST_F(DrawState, BlendGraphNeedsALiveGraph)
{
    ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_GRAPH, sizeof(HandleInfo) + 16, 8, nullptr, nullptr, L"Graph"));
    int graph = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    UseFakeBackend(GRAPHICS_API_D3D11);
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const int params[2] = {300, -2};
    EXPECT_EQ(-1, SetBlendGraphParamBase(graph + 1, 1, params));
    EXPECT_EQ(-1, d.BlendGraph);
    EXPECT_EQ(0, SetBlendGraphParamBase(graph, 1, params));
    EXPECT_EQ(graph, d.BlendGraph);
    EXPECT_EQ(255, d.BlendGraphParam[0]);
    EXPECT_EQ(0, d.BlendGraphParam[1]);
    EXPECT_EQ(0, SetBlendGraphParamBase(0, 0, params));
    EXPECT_EQ(-1, d.BlendGraph);
    EXPECT_EQ((std::vector<std::string>{"SetBlendGraphParam 1 1 255 0", "SetBlendGraphParam 0 0 255 0"}),
              FakeHardware.Calls);
    TerminateHandleType(DX_HANDLETYPE_GRAPH);
}

TEST_F(DrawState, CameraAnglesComeBackFromTheViewMatrix)
{
    struct Case
    {
        double Horizontal, Vertical, Twist;
    } cases[] = {
        {0.0, 0.0, 0.0},        {0.5, 0.3, 0.0},        {-2.0, -0.4, 0.2}, {3.0, 1.2, -1.0},
        {0.0, -M_PI / 2, 0.0}, {0.0, M_PI / 2, 0.0}, {0.5, 2.5, 0.0},  // the last up-side down
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Horizontal << " " << c.Vertical << " " << c.Twist);
        double sh = sin(c.Horizontal), ch = cos(c.Horizontal), sv = sin(c.Vertical), cv = cos(c.Vertical);
        VECTOR_D dir = {sh * cv, -sv, ch * cv};
        VECTOR_D up0 = {sh * sv, cv, ch * sv}, right0 = {ch, 0.0, -sh};
        VECTOR_D up = {cos(c.Twist) * up0.x - sin(c.Twist) * right0.x, cos(c.Twist) * up0.y - sin(c.Twist) * right0.y,
                       cos(c.Twist) * up0.z - sin(c.Twist) * right0.z};
        SetCameraPositionAndTargetAndUp(VECTOR_D{0, 0, 0}, dir, up);
        const DrawCameraData &camera = GraphicsDrawSettings.Camera;
        EXPECT_NEAR(c.Horizontal, camera.HorizontalAngle, 1e-9);
        EXPECT_NEAR(c.Vertical, camera.VerticalAngle, 1e-9);
        EXPECT_NEAR(c.Twist, camera.TwistAngle, 1e-9);
    }
}

TEST_F(DrawState, AFlatWorldToScreenMatrixHasNoWorldPosition)
{
    MATRIX_D flat;
    memset(&flat, 0, sizeof(flat));
    SetTransformToViewportD(&flat);
    VECTOR_D p = ConvScreenPosToWorldPos(VECTOR_D{1, 2, 0.5});
    EXPECT_EQ(-1.0, p.x);
    EXPECT_EQ(-1.0, p.y);
    EXPECT_EQ(-1.0, p.z);
}

}  // namespace

// The projection a back end sends, on a point: 2-D drawing takes the 2-D projection, 3-D drawing the
// projection and then the user viewport; the draw area comes last.
TEST_F(DrawState, DeviceProjectionThroughTheDrawArea)
{
    auto matrix = [](float ScaleX, float ScaleY, float MoveX, float MoveY) {
        MATRIX m;
        CreateIdentityMatrix(&m);
        m.m[0][0] = ScaleX, m.m[1][1] = ScaleY, m.m[3][0] = MoveX, m.m[3][1] = MoveY;
        return m;
    };
    DrawMatrixData &m = GraphicsDrawSettings.Matrix;
    m.Projection2DF = matrix(1, 1, 1, 2);
    m.ProjectionF = matrix(2, 3, 0, 0);
    m.ViewportF = matrix(1, 1, 5, 7);
    const MATRIX area = matrix(10, 20, 1, 0);
    struct Case
    {
        int TwoD;
        float X, Y;  // where (1, 1) lands
    } cases[] = {{1, 21, 60}, {0, 71, 200}};
    for (const Case &c : cases) {
        GraphicsDrawSettings.Transform2DCurrentFlag = c.TwoD;
        const MATRIX p = DrawProjectionThroughArea(area);
        EXPECT_FLOAT_EQ(c.X, p.m[0][0] + p.m[1][0] + p.m[3][0]) << c.TwoD;
        EXPECT_FLOAT_EQ(c.Y, p.m[0][1] + p.m[1][1] + p.m[3][1]) << c.TwoD;
    }
}

