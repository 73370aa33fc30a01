// What the benchmarks' C programs share: their rounds, for ever as the build makes them, or with
// ROUNDS defined (the qemu yardstick's builds) that many; and their entry, which runs the
// program's `run_rounds` and then ends at the address where a run stops, or, as a Linux program
// (LINUX_PROGRAM), with an exit.
#ifndef KORVEL_BENCH_ROUNDS_H
#define KORVEL_BENCH_ROUNDS_H

#ifndef ROUNDS
#define ROUNDS 0  // for ever
#endif

static inline int more_rounds(int round) {
  return ROUNDS == 0 || round < ROUNDS;
}

static void run_rounds(void);

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

#endif
