// sorting: a C program for the complete processor model, built by GCC and made into a ROM by
// `korvel-cli rom`. It sorts a small array, sums it up in a checksum, and computes a Fibonacci
// number recursively, then ends at 0x040000A8, where a run stops.
//
// At the end: `values` sorted (3 7 11 19 23 42 58 91), `checksum` 1627 (each value times its
// position, counted from 1) and `fibonacci_10` 55. The functions are kept out of line, so that a
// debugger steps into them.

enum { kCount = 8 };

int values[kCount] = {42, 7, 91, 3, 58, 19, 23, 11};
unsigned checksum;
int fibonacci_10;

// Insertion sort, ascending.
__attribute__((noinline)) static void sort(int* v, int count) {
  for (int i = 1; i < count; ++i) {
    int value = v[i];
    int j = i - 1;
    while (j >= 0 && v[j] > value) {
      v[j + 1] = v[j];
      --j;
    }
    v[j + 1] = value;
  }
}

// Each value weighted by its position, so that the order counts too.
__attribute__((noinline)) static unsigned weighted_sum(const int* v, int count) {
  unsigned sum = 0;
  for (int i = 0; i < count; ++i) sum += (unsigned)(v[i] * (i + 1));
  return sum;
}

static int fibonacci(int n) {
  if (n < 2) return n;
  return fibonacci(n - 1) + fibonacci(n - 2);
}

int main(void) {
  sort(values, kCount);
  checksum = weighted_sum(values, kCount);
  fibonacci_10 = fibonacci(10);
  return fibonacci_10 == 55 ? 0 : 1;
}

// Where the boot code jumps: main, then the address where a run stops.
void _start(void) {
  main();
  ((void (*)(void))0x040000A8)();
}
