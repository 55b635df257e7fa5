// Vector and matrix math: thresholds, projections with the default aspect, aliasing, transforms.
#include "zovuz/core/vector_math.h"

#include <gtest/gtest.h>

#include <math.h>

namespace {

MATRIX_D Filled(double Value)
{
    MATRIX_D m;
    for (auto &row : m.m)
        for (double &v : row) v = Value;
    return m;
}

MATRIX_D Rows(std::initializer_list<double> Values)
{
    MATRIX_D m;
    int i = 0;
    for (double v : Values) {
        m.m[i / 4][i % 4] = v;
        ++i;
    }
    return m;
}

void ExpectMatrixNear(const MATRIX_D &Expected, const MATRIX_D &Actual, double Tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(Expected.m[r][c], Actual.m[r][c], Tolerance) << r << "," << c;
}

TEST(VectorMath, InverseRefusesNearSingularMatricesAndLeavesTheOutput)
{
    MATRIX_D singular = Rows({5e-8, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    MATRIX_D out = Filled(7.0);
    EXPECT_EQ(-1, CreateInverseMatrixD(&out, &singular));
    ExpectMatrixNear(Filled(7.0), out, 0.0);

    MATRIX_D just = Rows({2e-7, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_EQ(0, CreateInverseMatrixD(&out, &just));
    EXPECT_NEAR(5e6, out.m[0][0], 1e-3);
}

TEST(VectorMath, InverseTimesMatrixIsIdentityEvenInPlace)
{
    const MATRIX_D m = Rows({2, 1, 0, 3, 0, 1, 4, 1, 1, 0, 2, 0, 5, 2, 1, 1});
    MATRIX_D inverse = m;
    ASSERT_EQ(0, CreateInverseMatrixD(&inverse, &inverse));
    MATRIX_D product, identity;
    MultiplyMatrixD(&product, &m, &inverse);
    CreateIdentityMatrixD(&identity);
    ExpectMatrixNear(identity, product, 1e-12);
    MultiplyMatrixD(&product, &inverse, &m);
    ExpectMatrixNear(identity, product, 1e-12);
}

TEST(VectorMath, MultiplyMayWriteOverEitherInput)
{
    MATRIX a = {{{1, 2, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {3, 4, 5, 1}}};
    MATRIX b = {{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}};
    MATRIX expected;
    MultiplyMatrix(&expected, &a, &b);
    EXPECT_EQ(2.0f, expected.m[0][0]);
    EXPECT_EQ(1.0f, expected.m[0][1]);
    EXPECT_EQ(10.0f, expected.m[3][2]);

    MATRIX outA = a, outB = b;
    MultiplyMatrix(&outA, &outA, &b);
    MultiplyMatrix(&outB, &a, &outB);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(expected.m[r][c], outA.m[r][c]);
            EXPECT_EQ(expected.m[r][c], outB.m[r][c]);
        }
    EXPECT_EQ(0, MultiplyMatrix(nullptr, &a, &b));

    MATRIX t = a;
    CreateTransposeMatrix(&t, &t);
    EXPECT_EQ(3.0f, t.m[0][3]);
    EXPECT_EQ(2.0f, t.m[1][0]);
    EXPECT_EQ(5.0f, t.m[2][3]);
}

TEST(VectorMath, ZeroVectorsAndNormalsHaveTheirMarkers)
{
    VECTOR n = NormalizeVector(VECTOR{0, 0, 0});
    EXPECT_EQ(-1.0f, n.x);
    EXPECT_EQ(-1.0f, n.y);
    EXPECT_EQ(-1.0f, n.z);
    n = NormalizeVector(VECTOR{0, 3, 4});
    EXPECT_FLOAT_EQ(0.6f, n.y);
    EXPECT_FLOAT_EQ(0.8f, n.z);
    EXPECT_EQ(0.0f, VectorLength(0, 0, 0));
    EXPECT_EQ(0.0f, VectorLength(1e-4f, 1e-4f, 1e-4f));  // squared 3e-8, below the threshold
    EXPECT_FLOAT_EQ(5.0f, VectorLength(0, 3, 4));
    EXPECT_FLOAT_EQ(11.0f, VectorDot(VECTOR{1, 2, 3}, VECTOR{3, 1, 2}));

    PLANE_D plane;
    VECTOR_D point = {1, 2, 3};
    VECTOR_D tiny = {0, 0, 1e-5};
    CreatePlaneFromPointNormalD(&plane, &point, &tiny);
    EXPECT_EQ(-1.0, plane.a);
    EXPECT_EQ(-1.0, plane.b);
    EXPECT_EQ(-1.0, plane.c);
    EXPECT_EQ(-1.0, plane.d);
    VECTOR_D up = {0, 0, 2};
    CreatePlaneFromPointNormalD(&plane, &point, &up);
    EXPECT_EQ(1.0, plane.c);
    EXPECT_EQ(-3.0, plane.d);
}

// The default aspect ratio follows the screen size given last; 0.75 before any.
TEST(VectorMath, ProjectionsTakeTheDefaultAspectForANegativeOne)
{
    const double halfPi = 1.5707963267948966;
    struct Case {
        int Width, Height;
        double Aspect;
    } cases[] = {{0, 0, 0.75}, {640, 480, 0.75}, {1920, 1080, 0.5625}};
    for (const Case &c : cases) {
        if (c.Width != 0) SetMatrixDefaultScreenSize(c.Width, c.Height);
        MATRIX_D ortho, perspective;
        ASSERT_EQ(0, CreateOrthoMatrixD(&ortho, 2.0, 1.0, 11.0, -1.0));
        EXPECT_DOUBLE_EQ(c.Aspect, ortho.m[0][0]) << c.Width;
        ASSERT_EQ(0, CreatePerspectiveFovMatrixD(&perspective, halfPi, 1.0, 101.0, -1.0));
        EXPECT_NEAR(c.Aspect, perspective.m[0][0], 1e-15) << c.Width;
    }
    MATRIX_D ortho;
    CreateOrthoMatrixD(&ortho, 2.0, 1.0, 11.0, 0.5);
    EXPECT_DOUBLE_EQ(1.0, ortho.m[1][1]);
    EXPECT_DOUBLE_EQ(0.1, ortho.m[2][2]);
    EXPECT_DOUBLE_EQ(-0.1, ortho.m[3][2]);
    EXPECT_DOUBLE_EQ(1.0, ortho.m[3][3]);

    MATRIX_D p;
    CreatePerspectiveFovMatrixD(&p, halfPi, 1.0, 101.0, 1.0);
    EXPECT_NEAR(1.0, p.m[1][1], 1e-15);
    EXPECT_DOUBLE_EQ(1.01, p.m[2][2]);
    EXPECT_DOUBLE_EQ(1.0, p.m[2][3]);
    EXPECT_DOUBLE_EQ(-1.01, p.m[3][2]);
    EXPECT_DOUBLE_EQ(0.0, p.m[3][3]);
}

TEST(VectorMath, DegenerateProjectionsAreRefused)
{
    MATRIX_D m = Filled(7.0);
    EXPECT_EQ(-1, CreatePerspectiveFovMatrixD(&m, 1.0, 5.0, 5.0, 1.0));
    EXPECT_EQ(-1, CreatePerspectiveFovMatrixD(&m, 0.0001, 1.0, 100.0, 1.0));
    EXPECT_EQ(-1, CreateOrthoMatrixD(&m, 2.0, 3.0, 3.00005, 1.0));
    ExpectMatrixNear(Filled(7.0), m, 0.0);
}

TEST(VectorMath, ViewAndViewportMatrices)
{
    VECTOR_D eye = {0, 0, -5}, target = {0, 0, 0}, up = {0, 1, 0};
    MATRIX_D view;
    CreateLookAtMatrixD(&view, &eye, &target, &up);
    ExpectMatrixNear(Rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}), view, 1e-15);

    VECTOR_D sideEye = {5, 0, 0};
    CreateLookAtMatrixD(&view, &sideEye, &target, &up);  // looking down -x: x axis becomes (0, 0, -1)
    ExpectMatrixNear(Rows({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 5, 1}), view, 1e-15);

    MATRIX_D viewport;
    CreateViewportMatrixD(&viewport, 10, 20, 640, 480);
    ExpectMatrixNear(Rows({320, 0, 0, 0, 0, -240, 0, 0, 0, 0, 1, 0, 10, 20, 0, 1}), viewport, 0.0);
}

TEST(VectorMath, TransformsUseRowVectors)
{
    MATRIX m = {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {10, 20, 30, 1}}};
    VECTOR v = {1, 2, 3}, out;
    VectorTransform(&out, &v, &m);
    EXPECT_EQ(8.0f, out.x);
    EXPECT_EQ(21.0f, out.y);
    EXPECT_EQ(33.0f, out.z);
    VectorTransformNoTranslate(&v, &v, &m);  // in place
    EXPECT_EQ(-2.0f, v.x);
    EXPECT_EQ(1.0f, v.y);
    EXPECT_EQ(3.0f, v.z);

    MATRIX_D md;
    ConvertMatrixFToD(&md, &m);
    md.m[3][3] = 2;
    md.m[0][3] = 1;
    VECTOR_D vd = {1, 2, 3}, outd;
    double w = 0;
    VectorTransform4D(&outd, &w, &vd, 0.5, &md);
    EXPECT_EQ(3.0, outd.x);
    EXPECT_EQ(11.0, outd.y);
    EXPECT_EQ(18.0, outd.z);
    EXPECT_EQ(2.0, w);

    MATRIX back;
    ConvertMatrixDToF(&back, &md);
    EXPECT_EQ(2.0f, back.m[3][3]);

    VECTOR_D a = {1, 0, 0}, b = {0, 1, 0}, c;
    VectorCrossD(&c, &a, &b);
    EXPECT_EQ(1.0, c.z);
    VectorSubD(&c, &a, &b);
    EXPECT_EQ(-1.0, c.y);
    VECTOR_D l = {0, 0, 4};
    NormalizeVectorD(&l, &l);
    EXPECT_EQ(1.0, l.z);
}

}  // namespace
