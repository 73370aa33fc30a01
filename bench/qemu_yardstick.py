#!/usr/bin/env python3
"""Korvel's engines against qemu-user on the benchmark loops and the C sample, side by side.

qemu-mips-static (Debian's qemu-user-static) is a generic MIPS emulator: it runs the same loops as
static Linux programs, with a round counter and an exit added. Each rate is instructions per second
of process time (user + system) less that of the same program doing almost nothing, so start-up
and loading cost neither side anything; the best of --repeat runs, taken in turns.

The C programs, the C sample's work (bench/sorting_rounds.c) and the floating-point work
(bench/float_rounds.c), are compiled for each side: for Korvel as ROMs, as the build makes them,
for qemu with `mips-linux-gnu-gcc -march=mips2 -O1 -static` (Debian's o32 C library cannot link
MIPS III objects). The instructions differ, so their rates are rounds per second, for the complete
processor model (--cpu r4300i).

    bench/qemu_yardstick.py build/default/cli/korvel-cli build/default/samples [--repeat 5]
"""
import argparse
import pathlib
import os
import resource
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


SOURCE_TREE = pathlib.Path(__file__).resolve().parent.parent


# The C programs: their sources, and how many times fewer rounds than --rounds they run.
C_PROGRAMS = {
    "sorting": ("bench/sorting_rounds.c", 1),
    "floats": ("bench/float_rounds.c", 50),
}


def c_program(folder, korvel_cli, name, rounds, linux):
    program = os.path.join(folder, f"{name}_{rounds}_{'linux' if linux else 'rom'}")
    flags = [f"-DROUNDS={rounds}", f"-I{SOURCE_TREE}", str(SOURCE_TREE / C_PROGRAMS[name][0])]
    if linux:
        subprocess.run(["mips-linux-gnu-gcc", "-march=mips2", "-O1", "-static", "-DLINUX_PROGRAM",
                        "-o", program] + flags, check=True)
        return program
    # As samples/CMakeLists.txt builds the C programs.
    subprocess.run(["mips-linux-gnu-gcc", "-march=vr4300", "-mabi=32", "-EB", "-O1",
                    "-ffreestanding", "-nostdlib", "-mno-abicalls", "-fno-pic", "-G0", "-static",
                    "-no-pie", "-Wl,--build-id=none",
                    f"-Wl,-T,{SOURCE_TREE / 'samples/sorting.ld'}", "-o", program + ".elf"] + flags,
                   check=True)
    subprocess.run([korvel_cli, "rom", program + ".elf", "-o", program + ".z64"], check=True,
                   stdout=subprocess.DEVNULL)
    return program + ".z64"


def best_rates(contenders, repeat):
    """Each contender's best rate of `repeat` runs, the contenders' runs taking turns, so that the
    machine's changing load weighs on all alike: the best is the run least disturbed."""
    best = {name: 0.0 for name in contenders}
    for _ in range(repeat):
        for name, (work, full, empty) in contenders.items():
            seconds = cpu_seconds(full) - cpu_seconds(empty)
            best[name] = max(best[name], work / seconds if seconds > 0 else float("inf"))
    return best


def print_row(name, rates, engines, scale, unit=""):
    ratio = f"   {rates['jit'] / rates['qemu']:.2f}" if "jit" in rates else ""
    print(f"{name:8} {rates['qemu'] / scale:10.2f} "
          + " ".join(f"{rates[e] / scale:10.2f}" for e in engines) + ratio + unit)


def share(engine):
    """The slower engines get less work, so that each run takes about as long."""
    return 20 if engine == "exact" else 4 if engine == "decoded" else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("korvel_cli")
    parser.add_argument("samples")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--instructions", type=int, default=2_000_000_000)
    parser.add_argument("--rounds", type=int, default=1_000_000, help="of the C sample")
    parser.add_argument("--engines", default="exact,decoded,jit")
    parser.add_argument("--rows", help="only these rows, by name (spin,floats,...)")
    args = parser.parse_args()
    engines = args.engines.split(",")
    wanted = set(args.rows.split(",")) if args.rows else set(LINUX_LOOPS) | set(C_PROGRAMS)

    print(f"{'loop':8} {'qemu-mips':>10} " + " ".join(f"{e:>10}" for e in engines)
          + "   (G instructions/s, best of each; jit/qemu)")
    with tempfile.TemporaryDirectory() as folder:
        for loop, (_, per_round) in LINUX_LOOPS.items():
            if loop not in wanted:
                continue
            rounds = args.instructions // per_round
            contenders = {"qemu": (rounds * per_round,
                                   ["qemu-mips-static", linux_program(folder, loop, rounds)],
                                   ["qemu-mips-static", linux_program(folder, loop, 1)])}
            rom = os.path.join(args.samples, f"{loop}.z64")
            for engine in engines:
                count = args.instructions // share(engine)
                run = [args.korvel_cli, "run", rom, "--engine", engine, "--limit"]
                contenders[engine] = (count, run + [str(count)], run + ["1000"])
            print_row(loop, best_rates(contenders, args.repeat), engines, 1e9)

        for name, (_, fewer) in C_PROGRAMS.items():
            if name not in wanted:
                continue
            rounds = args.rounds // fewer
            linux = [c_program(folder, None, name, count, True) for count in (rounds, 1)]
            contenders = {"qemu": (rounds, ["qemu-mips-static", linux[0]],
                                   ["qemu-mips-static", linux[1]])}
            for engine in engines:
                count = rounds // share(engine)
                run = [args.korvel_cli, "run", "--cpu", "r4300i", "--engine", engine]
                roms = [c_program(folder, args.korvel_cli, name, n, False) for n in (count, 1)]
                contenders[engine] = (count, run + [roms[0]], run + [roms[1]])
            print_row(name, best_rates(contenders, args.repeat), engines, 1e3, "   (k rounds/s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
