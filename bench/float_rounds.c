// The floating-point work over and over, for the benchmarks: a dot product of two arrays of
// floats and a row of the Mandelbrot set in single precision, round after round, each row a
// little lower (rounds and entry: bench/rounds.h).
enum { kLength = 64, kWidth = 64, kDepth = 32 };

float xs[kLength];
float ys[kLength];
float dot;
int escapes[kWidth];

#include "bench/rounds.h"

__attribute__((noinline)) static float dot_product(const float* a, const float* b, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

// How many steps each point of a row takes to leave the circle of radius 2, at most kDepth.
__attribute__((noinline)) static void mandelbrot_row(float y, int* counts) {
  for (int column = 0; column < kWidth; ++column) {
    const float x0 = -2.0f + 2.5f * column / kWidth;
    float x = 0.0f;
    float yy = 0.0f;
    int steps = 0;
    while (steps < kDepth && x * x + yy * yy <= 4.0f) {
      const float next = x * x - yy * yy + x0;
      yy = 2.0f * x * yy + y;
      x = next;
      ++steps;
    }
    counts[column] = steps;
  }
}

static void run_rounds(void) {
  for (int i = 0; i < kLength; ++i) {
    xs[i] = 0.5f * i;
    ys[i] = 1.0f / (i + 1);
  }
  float y = -1.0f;
  for (int round = 0; more_rounds(round); ++round, y += 0.0625f) {
    if (y > 1.0f) y = -1.0f;
    dot = dot_product(xs, ys, kLength);
    mandelbrot_row(y, escapes);
  }
}
