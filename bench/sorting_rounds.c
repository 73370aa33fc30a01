// The C sample's work over and over, for the benchmarks: samples/sorting.c with its main called
// round after round, each round with the array as it was at the start, so that every round sorts
// the same numbers (rounds and entry: bench/rounds.h).
#define main sample_main
#define _start sample_start
#include "samples/sorting.c"
#undef _start
#undef main

#include "bench/rounds.h"

static void run_rounds(void) {
  int initial[kCount];
  for (int i = 0; i < kCount; ++i) initial[i] = values[i];
  for (int round = 0; more_rounds(round); ++round) {
    for (int i = 0; i < kCount; ++i) values[i] = initial[i];
    sample_main();
  }
}
