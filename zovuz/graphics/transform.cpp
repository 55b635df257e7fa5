// The transform matrices, the matrices derived from them, and the camera.
#include <math.h>
#include <string.h>

#include "zovuz/graphics/draw_state_internal.h"

namespace {

DrawMatrixData &Matrices() { return GraphicsDrawSettings.Matrix; }

void StoreMatrix(MATRIX_D *Double, MATRIX *Float, const MATRIX_D &Value)
{
    *Double = Value;
    ConvertMatrixDToF(Float, Double);
}

// One of the world, view and viewport transforms changes: the batch is drawn first, the derived
// matrices follow, the device is sent Sent and the back ends see the flag.
int ChangeTransform(MATRIX_D *Double, MATRIX *Float, const MATRIX_D &Value, int (*Send)(const MATRIX *),
                    const MATRIX *Sent, int *ChangedFlag)
{
    FlushVertexBuffer();
    StoreMatrix(Double, Float, Value);
    InvalidateTransformMatrices();
    Send(Sent);
    *ChangedFlag = 1;
    return 0;
}

VECTOR_D Vector(double X, double Y, double Z) { return VECTOR_D{X, Y, Z}; }

// The plane through three points, its normal from the cross product of their differences.
PLANE_D PlaneThrough(const VECTOR_D &A, const VECTOR_D &B, const VECTOR_D &C)
{
    VECTOR_D ab, ac, normal;
    VectorSubD(&ab, &B, &A);
    VectorSubD(&ac, &C, &A);
    VectorCrossD(&normal, &ab, &ac);
    PLANE_D plane;
    CreatePlaneFromPointNormalD(&plane, &A, &normal);
    return plane;
}

// The frustum of the draw area: its corners unprojected at depth 0 and 1, and the six planes.
void UpdateFrustum(DrawMatrixData &m)
{
    const ImageRect &area = GraphicsDrawSettings.DrawArea;
    if (area.right <= area.left || area.bottom <= area.top) {
        memset(m.FrustumCorners, 0, sizeof(m.FrustumCorners));
        memset(m.FrustumPlanes, 0, sizeof(m.FrustumPlanes));
        return;
    }
    const double xs[4] = {(double)area.left, (double)area.right, (double)area.left, (double)area.right};
    const double ys[4] = {(double)area.top, (double)area.top, (double)area.bottom, (double)area.bottom};
    for (int depth = 0; depth < 2; ++depth)
        for (int i = 0; i < 4; ++i)
            m.FrustumCorners[depth * 4 + i] = ConvScreenPosToWorldPos(Vector(xs[i], ys[i], depth));
    const VECTOR_D *c = m.FrustumCorners;
    m.FrustumPlanes[0] = PlaneThrough(c[0], c[1], c[2]);  // near
    m.FrustumPlanes[1] = PlaneThrough(c[4], c[6], c[5]);  // far
    m.FrustumPlanes[2] = PlaneThrough(c[0], c[2], c[4]);  // left
    m.FrustumPlanes[3] = PlaneThrough(c[1], c[5], c[3]);  // right
    m.FrustumPlanes[4] = PlaneThrough(c[0], c[4], c[1]);  // top
    m.FrustumPlanes[5] = PlaneThrough(c[2], c[3], c[6]);  // bottom
}

}  // namespace

void InvalidateTransformMatrices(void)
{
    Matrices().ValidFlag = 0;
    UpdateTransformMatrices();
}

int UpdateTransformMatrices(void)
{
    DrawMatrixData &m = Matrices();
    if (m.ValidFlag) return 0;
    MultiplyMatrixD(&m.WorldView, &m.World, &m.View);
    MultiplyMatrixD(&m.ViewProjectionViewport, &m.View, &m.Projection);
    MultiplyMatrixD(&m.ViewProjectionViewport, &m.ViewProjectionViewport, &m.Viewport);
    MultiplyMatrixD(&m.WorldToScreen, &m.World, &m.ViewProjectionViewport);
    ConvertMatrixDToF(&m.WorldToScreenF, &m.WorldToScreen);
    m.ViewRotation = m.View;
    m.ViewRotation.m[3][0] = m.ViewRotation.m[3][1] = m.ViewRotation.m[3][2] = 0.0;
    ConvertMatrixDToF(&m.ViewRotationF, &m.ViewRotation);
    m.ScreenToWorldValidFlag = 0;
    m.ValidFlag = 1;
    UpdateFrustum(m);
    return 0;
}

VECTOR_D ConvScreenPosToWorldPos(VECTOR_D ScreenPos)
{
    const VECTOR_D none = {-1.0, -1.0, -1.0};
    DrawMatrixData &m = Matrices();
    UpdateTransformMatrices();
    if (!m.ScreenToWorldValidFlag) {
        if (CreateInverseMatrixD(&m.ScreenToWorld, &m.WorldToScreen) < 0) return none;
        ConvertMatrixDToF(&m.ScreenToWorldF, &m.ScreenToWorld);
        m.ScreenToWorldValidFlag = 1;
    }
    VECTOR_D world;
    double w;
    VectorTransform4D(&world, &w, &ScreenPos, 1.0, &m.ScreenToWorld);
    if (w == 0.0) return none;  // a point at infinity
    return Vector(world.x / w, world.y / w, world.z / w);
}

int SetTransformToProjection(const MATRIX_D *Matrix)
{
    DrawMatrixData &m = Matrices();
    FlushVertexBuffer();
    StoreMatrix(&m.Projection, &m.ProjectionF, *Matrix);
    m.ProjectionChangedFlag = 1;
    InvalidateTransformMatrices();
    if (GraphicsState.HardwareInUseFlag) {
        FlushVertexBuffer();
        GraphicsDrawSettings.Transform2DCurrentFlag = 0;
        Graphics_Hardware_SetTransformToProjection(&m.ProjectionF);
    }
    return 0;
}

int UpdateCameraProjection(void)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const DrawCameraData &c = d.Camera;
    DrawMatrixData &m = Matrices();
    // Before a draw target exists the matrix makers use the default screen's aspect.
    double aspect = d.DrawSizeX > 0 ? (double)d.DrawSizeY / d.DrawSizeX * c.AspectScale : -1.0;
    MATRIX_D projection;
    if (c.ProjectionMode == DX_CAMERA_PERSPECTIVE) {
        if (CreatePerspectiveFovMatrixD(&projection, c.Fov, c.Near, c.Far, aspect) < 0) return -1;
    } else if (c.ProjectionMode == DX_CAMERA_ORTHO) {
        if (CreateOrthoMatrixD(&projection, c.OrthoSize, c.Near, c.Far, aspect) < 0) return -1;
    } else {
        projection = m.CameraProjection;
    }
    m.CameraProjection = projection;
    return SetTransformToProjection(&projection);
}

int SetTransformToWorldD(const MATRIX_D *Matrix)
{
    DrawMatrixData &m = Matrices();
    return ChangeTransform(&m.World, &m.WorldF, *Matrix, Graphics_Hardware_SetTransformToWorld, &m.WorldF,
                           &m.WorldChangedFlag);
}

int SetTransformToWorld(const MATRIX *Matrix)
{
    MATRIX_D world;
    ConvertMatrixFToD(&world, Matrix);
    return SetTransformToWorldD(&world);
}

int SetTransformToView(const MATRIX_D *Matrix)
{
    DrawMatrixData &m = Matrices();
    return ChangeTransform(&m.View, &m.ViewF, *Matrix, Graphics_Hardware_SetTransformToView, &m.ViewF,
                           &m.ViewChangedFlag);
}

int SetTransformToViewportD(const MATRIX_D *Matrix)
{
    // The device takes the viewport inside its projection.
    DrawMatrixData &m = Matrices();
    return ChangeTransform(&m.Viewport, &m.ViewportF, *Matrix, Graphics_Hardware_SetTransformToProjection,
                           &m.ProjectionF, &m.ProjectionChangedFlag);
}

int SetCameraProjectionMatrix(const MATRIX_D *Matrix)
{
    GraphicsDrawSettings.Camera.ProjectionMode = DX_CAMERA_MATRIX;
    Matrices().CameraProjection = *Matrix;
    return UpdateCameraProjection();
}

int SetCameraPositionAndTargetAndUp(VECTOR_D Eye, VECTOR_D Target, VECTOR_D Up)
{
    DrawCameraData &c = GraphicsDrawSettings.Camera;
    c.Eye = Eye;
    c.Target = Target;
    c.Up = Up;
    MATRIX_D view;
    CreateLookAtMatrixD(&view, &Eye, &Target, &Up);
    SetTransformToView(&view);
    return UpdateCameraAngles();
}

int SetupCameraFromPositions(VECTOR Eye, VECTOR Target, VECTOR Up)
{
    return SetCameraPositionAndTargetAndUp(Vector(Eye.x, Eye.y, Eye.z), Vector(Target.x, Target.y, Target.z),
                                           Vector(Up.x, Up.y, Up.z));
}

int SetCameraScreenCenter(double X, double Y)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.Camera.ScreenCenterX = X;
    d.Camera.ScreenCenterY = Y;
    MATRIX_D viewport;
    CreateViewportMatrixD(&viewport, X, Y, d.DrawSizeX * (double)d.ViewportScale2D,
                          d.DrawSizeY * (double)d.ViewportScale2D);
    return SetTransformToViewportD(&viewport);
}

int SetupDepthBufferNow(void) { return Graphics_Hardware_SetupDepthBuffer(); }

int UpdateCameraAngles(void)
{
    const MATRIX_D &v = Matrices().View;
    DrawCameraData &c = GraphicsDrawSettings.Camera;
    // The camera's axes in world space are the columns of the view matrix.
    VECTOR_D dir = Vector(v.m[0][2], v.m[1][2], v.m[2][2]);
    VECTOR_D up = Vector(v.m[0][1], v.m[1][1], v.m[2][1]);

    double horizontal = 0.0, vertical;
    if (fabs(dir.x) < 1e-8 && fabs(dir.z) < 1e-8) {
        vertical = dir.y >= 0.0 ? -M_PI / 2 : M_PI / 2;
    } else {
        horizontal = up.y < 0.0 ? atan2(-dir.x, -dir.z) : atan2(dir.x, dir.z);
        // The view direction turned back by the horizontal angle: its length in the horizontal
        // plane (signed) against its height.
        double flat = dir.x * sin(horizontal) + dir.z * cos(horizontal);
        vertical = atan2(-dir.y, flat);
    }
    // The up axis turned back by the horizontal angle, then by the vertical one: what is left of
    // its sideways lean is the twist.
    double s = sin(horizontal), co = cos(horizontal);
    double upX = up.x * co - up.z * s;
    double upZ = up.x * s + up.z * co;
    double upY = up.y * cos(vertical) + upZ * sin(vertical);
    c.HorizontalAngle = horizontal;
    c.VerticalAngle = vertical;
    c.TwistAngle = atan2(-upX, upY);
    return 0;
}

int ResetCameraForDrawScreen(int)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (!d.Keep3DSettingsFlag) {
        SetDrawAreaState(0, 0, d.DrawSizeX, d.DrawSizeY);
    } else {
        ImageRect request = d.DrawAreaRequest;
        if (d.KeepUseRequestAreaFlag) {
            SetDrawAreaState(request.left, request.top, request.right, request.bottom);
        } else {
            SetDrawAreaState(0, 0, d.DrawSizeX, d.DrawSizeY);
            d.DrawAreaRequest = request;  // the requested area stays on record
        }
        return 0;
    }

    int w = d.DrawSizeX, h = d.DrawSizeY;
    d.Camera.AspectScale = 1.0;
    UpdateCameraProjection();
    MATRIX_D identity;
    CreateIdentityMatrixD(&identity);
    SetTransformToWorldD(&identity);
    SetCameraScreenCenter(w * 0.5, h * 0.5);
    double distance = (h / 2) / DEFAULT_CAMERA_TAN_HALF_FOV;
    SetCameraPositionAndTargetAndUp(Vector(w * 0.5, h * 0.5, -distance), Vector(w * 0.5, h * 0.5, 1.0 - distance),
                                    Vector(0.0, 1.0, 0.0));
    d.Camera.ProjectionMode = DX_CAMERA_PERSPECTIVE;
    d.Camera.Fov = DEFAULT_CAMERA_FOV;
    d.Camera.Near = distance * 0.1;
    d.Camera.Far = distance + 20000.0;
    UpdateCameraProjection();
    return 0;
}
