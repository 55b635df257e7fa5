// Vector and matrix math for the graphics layer (projection, view and viewport matrices, vertex
// transforms, matrix conversion for the Direct3D back ends) and the 3D sound code.
//
// Matrices are row-major, m[row][column], used with row vectors: a point (x, y, z, 1) is
// multiplied from the left and the translation sits in row 3. Outputs come first; the calls
// return 0 unless stated otherwise. Nothing here allocates, locks or logs.
#pragma once

struct VECTOR
{
    float x, y, z;
};

struct VECTOR_D
{
    double x, y, z;
};

struct MATRIX
{
    float m[4][4];
};

struct MATRIX_D
{
    double m[4][4];
};

// A plane: unit normal (a, b, c) and d = -(normal . point).
struct PLANE_D
{
    double a, b, c, d;
};

int ConvertMatrixDToF(MATRIX *Out, const MATRIX_D *In);
int ConvertMatrixFToD(MATRIX_D *Out, const MATRIX *In);
int CreateIdentityMatrix(MATRIX *Out);
int CreateIdentityMatrixD(MATRIX_D *Out);

// -1, with Out untouched, when the determinant is within 1e-7 of 0. Out may be In.
int CreateInverseMatrixD(MATRIX_D *Out, const MATRIX_D *In);

// Left-handed view matrix. An up vector parallel to the view direction has no answer.
int CreateLookAtMatrixD(MATRIX_D *Out, const VECTOR_D *Eye, const VECTOR_D *Target, const VECTOR_D *Up);

// Out = A x B; Out may be A or B. A null Out writes nothing.
int MultiplyMatrix(MATRIX *Out, const MATRIX *A, const MATRIX *B);
int MultiplyMatrixD(MATRIX_D *Out, const MATRIX_D *A, const MATRIX_D *B);

// A normal with a squared length below 1e-9 gives (-1, -1, -1, -1).
int CreatePlaneFromPointNormalD(PLANE_D *Out, const VECTOR_D *Point, const VECTOR_D *Normal);

// Projections. Aspect is height / width; a negative aspect takes the default screen size's
// (0.75 while it is not set). Ortho: Size is the view height; -1 when near and far are within
// 0.0001. Perspective: -1 when near and far are within 0.0001 or the field of view is too small.
int CreateOrthoMatrixD(MATRIX_D *Out, double Size, double Near, double Far, double Aspect);
int CreatePerspectiveFovMatrixD(MATRIX_D *Out, double Fov, double Near, double Far, double Aspect);

int CreateTransposeMatrix(MATRIX *Out, const MATRIX *In);  // Out may be In
int CreateViewportMatrixD(MATRIX_D *Out, double X, double Y, double Width, double Height);

// The screen size behind the default aspect ratio (the graphics layer sets it at every screen
// size change).
void SetMatrixDefaultScreenSize(int Width, int Height);

// In / |In|; (-1, -1, -1) when the squared length is below 1e-7.
VECTOR NormalizeVector(VECTOR In);
// Length; 0 when the squared length is below 1e-7.
float VectorLength(float X, float Y, float Z);
float VectorDot(VECTOR A, VECTOR B);

int NormalizeVectorD(VECTOR_D *Out, const VECTOR_D *In);  // no threshold
int VectorCrossD(VECTOR_D *Out, const VECTOR_D *A, const VECTOR_D *B);
int VectorSubD(VECTOR_D *Out, const VECTOR_D *A, const VECTOR_D *B);

// (x, y, z, w) x M, the fourth column into *OutW.
int VectorTransform4D(VECTOR_D *Out, double *OutW, const VECTOR_D *In, double InW, const MATRIX_D *M);
// x row0 + y row1 + z row2 + row3 (no division by w); NoTranslate leaves row 3 out.
int VectorTransform(VECTOR *Out, const VECTOR *In, const MATRIX *M);
int VectorTransformNoTranslate(VECTOR *Out, const VECTOR *In, const MATRIX *M);
