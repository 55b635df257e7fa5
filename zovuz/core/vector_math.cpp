// Vector and matrix math.
#include "zovuz/core/vector_math.h"

#include <math.h>
#include <string.h>

namespace {

// The screen size behind the projections' default aspect ratio.
struct MatrixDefaultsData
{
    int ScreenWidth;   // 0 until set
    int ScreenHeight;  // 0 until set
};
MatrixDefaultsData MatrixDefaults;

double AspectOrDefault(double Aspect)
{
    if (Aspect >= 0.0) return Aspect;
    if (MatrixDefaults.ScreenWidth == 0 || MatrixDefaults.ScreenHeight == 0) return 0.75;
    return static_cast<double>(MatrixDefaults.ScreenHeight) / MatrixDefaults.ScreenWidth;
}

template <typename Matrix>
void Identity(Matrix *Out)
{
    memset(Out, 0, sizeof(*Out));
    for (int i = 0; i < 4; ++i) Out->m[i][i] = 1;
}

template <typename Matrix>
void Multiply(Matrix *Out, const Matrix *A, const Matrix *B)
{
    if (Out == NULL) return;
    Matrix result;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            result.m[row][col] = A->m[row][0] * B->m[0][col] + A->m[row][1] * B->m[1][col] +
                                 A->m[row][2] * B->m[2][col] + A->m[row][3] * B->m[3][col];
    *Out = result;
}

double Dot(const VECTOR_D &A, const VECTOR_D &B) { return A.x * B.x + A.y * B.y + A.z * B.z; }

}  // namespace

int ConvertMatrixDToF(MATRIX *Out, const MATRIX_D *In)
{
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) Out->m[row][col] = static_cast<float>(In->m[row][col]);
    return 0;
}

int ConvertMatrixFToD(MATRIX_D *Out, const MATRIX *In)
{
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) Out->m[row][col] = In->m[row][col];
    return 0;
}

int CreateIdentityMatrix(MATRIX *Out)
{
    Identity(Out);
    return 0;
}

int CreateIdentityMatrixD(MATRIX_D *Out)
{
    Identity(Out);
    return 0;
}

int CreateInverseMatrixD(MATRIX_D *Out, const MATRIX_D *In)
{
    MATRIX_D a = *In;
    const double(*m)[4] = a.m;
    // 2 x 2 minors of the top two rows (s) and of the bottom two rows (c).
    double s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
    double s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
    double s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
    double s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
    double s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
    double s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
    double c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
    double c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
    double c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
    double c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
    double c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
    double c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];
    double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (det > -1e-7 && det < 1e-7) return -1;
    double r = 1.0 / det;
    MATRIX_D b;
    b.m[0][0] = (m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3) * r;
    b.m[0][1] = (-m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3) * r;
    b.m[0][2] = (m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3) * r;
    b.m[0][3] = (-m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3) * r;
    b.m[1][0] = (-m[1][0] * c5 + m[1][2] * c2 - m[1][3] * c1) * r;
    b.m[1][1] = (m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1) * r;
    b.m[1][2] = (-m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1) * r;
    b.m[1][3] = (m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1) * r;
    b.m[2][0] = (m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0) * r;
    b.m[2][1] = (-m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0) * r;
    b.m[2][2] = (m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0) * r;
    b.m[2][3] = (-m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0) * r;
    b.m[3][0] = (-m[1][0] * c3 + m[1][1] * c1 - m[1][2] * c0) * r;
    b.m[3][1] = (m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0) * r;
    b.m[3][2] = (-m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0) * r;
    b.m[3][3] = (m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0) * r;
    *Out = b;
    return 0;
}

int CreateLookAtMatrixD(MATRIX_D *Out, const VECTOR_D *Eye, const VECTOR_D *Target, const VECTOR_D *Up)
{
    VECTOR_D x, y, z;
    VectorSubD(&z, Target, Eye);
    VectorCrossD(&x, Up, &z);
    NormalizeVectorD(&x, &x);
    VectorCrossD(&y, &z, &x);
    NormalizeVectorD(&y, &y);
    NormalizeVectorD(&z, &z);
    const VECTOR_D axes[3] = {x, y, z};
    for (int col = 0; col < 3; ++col) {
        Out->m[0][col] = axes[col].x;
        Out->m[1][col] = axes[col].y;
        Out->m[2][col] = axes[col].z;
        Out->m[3][col] = -Dot(axes[col], *Eye);
    }
    Out->m[0][3] = 0.0;
    Out->m[1][3] = 0.0;
    Out->m[2][3] = 0.0;
    Out->m[3][3] = 1.0;
    return 0;
}

int MultiplyMatrix(MATRIX *Out, const MATRIX *A, const MATRIX *B)
{
    Multiply(Out, A, B);
    return 0;
}

int MultiplyMatrixD(MATRIX_D *Out, const MATRIX_D *A, const MATRIX_D *B)
{
    Multiply(Out, A, B);
    return 0;
}

int CreatePlaneFromPointNormalD(PLANE_D *Out, const VECTOR_D *Point, const VECTOR_D *Normal)
{
    double squared = Dot(*Normal, *Normal);
    if (squared < 1e-9) {
        Out->a = Out->b = Out->c = Out->d = -1.0;
        return 0;
    }
    VECTOR_D unit;
    NormalizeVectorD(&unit, Normal);
    Out->a = unit.x;
    Out->b = unit.y;
    Out->c = unit.z;
    Out->d = -Dot(unit, *Point);
    return 0;
}

int CreateOrthoMatrixD(MATRIX_D *Out, double Size, double Near, double Far, double Aspect)
{
    if (fabs(Near - Far) < 0.0001) return -1;
    double aspect = AspectOrDefault(Aspect);
    memset(Out, 0, sizeof(*Out));
    Out->m[0][0] = 2.0 / (Size / aspect);
    Out->m[1][1] = 2.0 / Size;
    Out->m[2][2] = 1.0 / (Far - Near);
    Out->m[3][2] = Near / (Near - Far);
    Out->m[3][3] = 1.0;
    return 0;
}

int CreatePerspectiveFovMatrixD(MATRIX_D *Out, double Fov, double Near, double Far, double Aspect)
{
    double sine = sin(Fov * 0.5);
    double cosine = cos(Fov * 0.5);
    if (fabs(Far - Near) < 0.0001 || fabs(sine) < 0.0001) return -1;
    double aspect = AspectOrDefault(Aspect);
    double yScale = cosine / sine;
    double q = Far / (Far - Near);
    memset(Out, 0, sizeof(*Out));
    Out->m[0][0] = yScale * aspect;
    Out->m[1][1] = yScale;
    Out->m[2][2] = q;
    Out->m[2][3] = 1.0;
    Out->m[3][2] = -q * Near;
    return 0;
}

int CreateTransposeMatrix(MATRIX *Out, const MATRIX *In)
{
    MATRIX in = *In;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) Out->m[row][col] = in.m[col][row];
    return 0;
}

int CreateViewportMatrixD(MATRIX_D *Out, double X, double Y, double Width, double Height)
{
    memset(Out, 0, sizeof(*Out));
    Out->m[0][0] = Width * 0.5;
    Out->m[1][1] = Height * -0.5;
    Out->m[2][2] = 1.0;
    Out->m[3][0] = X;
    Out->m[3][1] = Y;
    Out->m[3][3] = 1.0;
    return 0;
}

void SetMatrixDefaultScreenSize(int Width, int Height)
{
    MatrixDefaults.ScreenWidth = Width;
    MatrixDefaults.ScreenHeight = Height;
}

VECTOR NormalizeVector(VECTOR In)
{
    float squared = In.x * In.x + In.y * In.y + In.z * In.z;
    if (squared < 1e-7f) return VECTOR{-1.0f, -1.0f, -1.0f};
    float length = sqrtf(squared);
    return VECTOR{In.x / length, In.y / length, In.z / length};
}

float VectorLength(float X, float Y, float Z)
{
    float squared = X * X + Y * Y + Z * Z;
    return squared < 1e-7f ? 0.0f : sqrtf(squared);
}

float VectorDot(VECTOR A, VECTOR B) { return A.x * B.x + A.y * B.y + A.z * B.z; }

int NormalizeVectorD(VECTOR_D *Out, const VECTOR_D *In)
{
    double length = sqrt(Dot(*In, *In));
    VECTOR_D result = {In->x / length, In->y / length, In->z / length};
    *Out = result;
    return 0;
}

int VectorCrossD(VECTOR_D *Out, const VECTOR_D *A, const VECTOR_D *B)
{
    VECTOR_D result = {A->y * B->z - A->z * B->y, A->z * B->x - A->x * B->z, A->x * B->y - A->y * B->x};
    *Out = result;
    return 0;
}

int VectorSubD(VECTOR_D *Out, const VECTOR_D *A, const VECTOR_D *B)
{
    VECTOR_D result = {A->x - B->x, A->y - B->y, A->z - B->z};
    *Out = result;
    return 0;
}

int VectorTransform4D(VECTOR_D *Out, double *OutW, const VECTOR_D *In, double InW, const MATRIX_D *M)
{
    const double v[4] = {In->x, In->y, In->z, InW};
    double r[4];
    for (int col = 0; col < 4; ++col)
        r[col] = v[0] * M->m[0][col] + v[1] * M->m[1][col] + v[2] * M->m[2][col] + v[3] * M->m[3][col];
    Out->x = r[0];
    Out->y = r[1];
    Out->z = r[2];
    *OutW = r[3];
    return 0;
}

int VectorTransform(VECTOR *Out, const VECTOR *In, const MATRIX *M)
{
    float r[3];
    for (int col = 0; col < 3; ++col)
        r[col] = In->x * M->m[0][col] + In->y * M->m[1][col] + In->z * M->m[2][col] + M->m[3][col];
    *Out = VECTOR{r[0], r[1], r[2]};
    return 0;
}

int VectorTransformNoTranslate(VECTOR *Out, const VECTOR *In, const MATRIX *M)
{
    float r[3];
    for (int col = 0; col < 3; ++col) r[col] = In->x * M->m[0][col] + In->y * M->m[1][col] + In->z * M->m[2][col];
    *Out = VECTOR{r[0], r[1], r[2]};
    return 0;
}
