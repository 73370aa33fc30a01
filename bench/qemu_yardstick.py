#!/usr/bin/env python3
"""Korvel's engines against qemu-user on the benchmark loops, side by side in one run.

qemu-mips-static (Debian's qemu-user-static) is a generic MIPS emulator: it runs the same loops as
static Linux programs, with a round counter and an exit added. Each rate is instructions per second
of process time (user + system) less that of the same program doing almost nothing, so start-up
and loading cost neither side anything.

    bench/qemu_yardstick.py build/default/cli/korvel-cli build/default/samples [--repeat 5]
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile

# The loops' rounds as Linux programs: the same words as samples/*.s, plus a round counter in s2,
# and jumps with their delay slots filled as the architecture has them.
LINUX_LOOPS = {
    "spin": ("""
loop:   addiu $t0, $t0, 1
        addu  $t1, $t1, $t0
        xor   $t2, $t2, $t1
        or    $t3, $t3, $t2
        and   $t4, $t3, $t1
        addiu $s2, $s2, -1
        bne   $s2, $zero, loop
        addiu $t5, $t5, 1
""", 8),
    "memloop": ("""
        lui   $s0, %hi(buffer)
        addiu $s0, $s0, %lo(buffer)
        addiu $s1, $s0, 0x1000
outer:  or    $t0, $s0, $zero
inner:  lw    $t1, 0($t0)
        addu  $t2, $t2, $t1
        addiu $t1, $t1, 1
        sw    $t1, 0($t0)
        addiu $t0, $t0, 4
        bne   $t0, $s1, inner
        nop
        addiu $s2, $s2, -1
        bne   $s2, $zero, outer
        nop
""", 7 * 1024 + 4),
    "calls": ("""
loop:   jal   add_up
        nop
        addiu $t0, $t0, 1
        addiu $s2, $s2, -1
        bne   $s2, $zero, loop
        xor   $t3, $t3, $t2
        b     done
        nop
add_up: addiu $t1, $t1, 3
        addu  $t2, $t2, $t1
        jr    $ra
        nop
done:
""", 10),
}

PROLOGUE = """
        .set noreorder
        .set noat
        .text
        .globl __start
__start:
        lui   $s2, %hi(ROUNDS)
        ori   $s2, $s2, %lo(ROUNDS)
"""
EPILOGUE = """
        li    $v0, 4001
        li    $a0, 0
        syscall
        .bss
        .align 12
buffer: .space 4096
"""


def cpu_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def linux_program(folder, loop, rounds):
    source = os.path.join(folder, f"{loop}_{rounds}.s")
    with open(source, "w") as out:
        out.write(PROLOGUE + LINUX_LOOPS[loop][0] + EPILOGUE)
    obj = source[:-2] + ".o"
    program = source[:-2]
    subprocess.run(["mips-linux-gnu-as", "-EB", "-march=mips32", f"--defsym=ROUNDS={rounds}",
                    source, "-o", obj], check=True)
    subprocess.run(["mips-linux-gnu-ld", "-EB", "-static", obj, "-o", program], check=True)
    return program


def median_rate(instructions, full, empty, repeat):
    rates = []
    for _ in range(repeat):
        seconds = cpu_seconds(full) - cpu_seconds(empty)
        rates.append(instructions / seconds if seconds > 0 else float("inf"))
    return statistics.median(rates)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("korvel_cli")
    parser.add_argument("samples")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--instructions", type=int, default=2_000_000_000)
    parser.add_argument("--engines", default="exact,decoded,jit")
    args = parser.parse_args()
    engines = args.engines.split(",")

    print(f"{'loop':8} {'qemu-mips':>10} " + " ".join(f"{e:>10}" for e in engines)
          + "   (G instructions/s; jit/qemu)")
    with tempfile.TemporaryDirectory() as folder:
        for loop, (_, per_round) in LINUX_LOOPS.items():
            rounds = args.instructions // per_round
            qemu = median_rate(rounds * per_round,
                               ["qemu-mips-static", linux_program(folder, loop, rounds)],
                               ["qemu-mips-static", linux_program(folder, loop, 1)], args.repeat)
            rom = os.path.join(args.samples, f"{loop}.z64")
            rates = {}
            for engine in engines:
                # The slower engines get fewer instructions, so that each run takes about as long.
                count = args.instructions // (20 if engine == "exact" else 4 if engine == "decoded"
                                              else 1)
                run = [args.korvel_cli, "run", rom, "--engine", engine, "--limit"]
                rates[engine] = median_rate(count, run + [str(count)], run + ["1000"], args.repeat)
            ratio = f"   {rates['jit'] / qemu:.2f}" if "jit" in rates else ""
            print(f"{loop:8} {qemu / 1e9:10.2f} "
                  + " ".join(f"{rates[e] / 1e9:10.2f}" for e in engines) + ratio)
    return 0


if __name__ == "__main__":
    sys.exit(main())
