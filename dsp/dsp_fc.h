// Least-squares polynomial fit by orthogonal polynomials.
#pragma once

// Fits m coefficients (at most n and 20 are computed, the rest stay 0) to the
// n points (x, y): the value at u is a[0] + a[1] (u - z) + ... with z, the
// mean of x, stored in *junzhi; dt gets the sum of squared residuals, the sum
// of absolute residuals and the largest absolute residual.
void pir1(const double* x, const double* y, int n, double* a, int m, double* dt, double* junzhi);
