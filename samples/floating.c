// floating: a C program with floats and doubles for the complete processor model's FPU, built by
// GCC (hard float, so its arithmetic is the FPU's instructions) and made into a ROM by
// `korvel-cli rom`. It computes a circle's area in single precision, the square root of 2 in
// double precision by Newton's method, and truncates a scaled root to an integer, then ends at
// 0x040000A8, where a run stops.
//
// At the end: `area` 12.566371 (pi times 2 squared, as floats), `root` 1.4142135623730951 and
// `thousandths` 1414. The functions are kept out of line, so that a debugger steps into them and
// finds their results in f0.

float area;
double root;
int thousandths;

__attribute__((noinline)) static float circle_area(float radius) {
  return 3.14159265f * radius * radius;
}

// Newton's steps from 1 until they no longer move the estimate.
__attribute__((noinline)) static double square_root(double x) {
  double estimate = 1.0;
  for (int step = 0; step < 32; ++step) {
    double next = 0.5 * (estimate + x / estimate);
    if (next == estimate) break;
    estimate = next;
  }
  return estimate;
}

int main(void) {
  area = circle_area(2.0f);
  root = square_root(2.0);
  thousandths = (int)(root * 1000.0);
  return thousandths == 1414 ? 0 : 1;
}

// Where the boot code jumps: main, then the address where a run stops.
void _start(void) {
  main();
  ((void (*)(void))0x040000A8)();
}
