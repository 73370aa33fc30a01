// The C sample's work over and over, for the benchmarks: samples/sorting.c with its main called
// round after round, each round with the array as it was at the start, so that every round sorts
// the same numbers. Built as it stands it never stops by itself; with ROUNDS defined (the qemu
// yardstick's builds) it ends after that many rounds, at the address where a run stops, or as a
// Linux program (LINUX_PROGRAM) with an exit.
#define main sample_main
#define _start sample_start
#include "samples/sorting.c"
#undef _start
#undef main

static void run_rounds(void) {
  int initial[kCount];
  for (int i = 0; i < kCount; ++i) initial[i] = values[i];
#ifdef ROUNDS
  for (int round = 0; round < ROUNDS; ++round) {
#else
  for (;;) {
#endif
    for (int i = 0; i < kCount; ++i) values[i] = initial[i];
    sample_main();
  }
}

#ifdef LINUX_PROGRAM
int main(void) {
  run_rounds();
  return 0;
}
#else
void _start(void) {
  run_rounds();
  ((void (*)(void))0x040000A8)();
}
#endif
