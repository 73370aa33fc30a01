"""korvel-cli.exe under Wine against the Linux korvel-cli: the same standard output, standard
error and exit status, byte for byte, for every command on the sample ROMs and the real images.

    same_output.py LINUX_CLI WINDOWS_CLI SAMPLES_DIR REAL_DIR
"""
import concurrent.futures
import pathlib
import subprocess
import sys

linux_cli, windows_cli, samples, real = sys.argv[1:5]
roms = sorted(pathlib.Path(samples).glob("*.[zv]64")) + sorted(pathlib.Path(real).glob("*.[zv]64"))

commands = [
    ["--version"],
    ["--help"],
    ["run"],
    ["run", "--engine", "nothing", str(roms[0])],
    ["info", str(pathlib.Path(samples) / "missing.z64")],
    ["disasm", "--address", "0x04000050", "0x1500FFFD", "0x3C0DBFC0", "0x8FBF0010", "0x46200005",
     "0x0000000D", "0xFFFFFFFF"],
]
for rom in map(str, roms):
    commands += [
        ["info", rom],
        ["run", rom, "--limit", "3000", "--regs", "--show-count"],
        ["run", rom, "--limit", "300", "--trace", "--no-stop"],
        ["run", rom, "--steps", "40", "--regs"],
        ["list", rom, "--steps", "5", "--page", "-1"],
        ["list", rom, "--page", "2"],
    ]


def output(cli, args):
    done = subprocess.run([cli] + args, capture_output=True, timeout=300)
    return done.returncode, done.stdout, done.stderr


def differences(args):
    linux, windows = output(linux_cli, args), output(windows_cli, args)
    names = ("exit status", "standard output", "standard error")
    return "".join(f"{' '.join(args)}: {name} differs:\n  Linux:   {a!r:.300}\n"
                   f"  Windows: {b!r:.300}\n" for name, a, b in zip(names, linux, windows) if a != b)


with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    failed = [report for report in pool.map(differences, commands) if report]
print("".join(failed), end="")
print(f"{len(commands) - len(failed)} passed, {len(failed)} failed")
sys.exit(1 if failed else 0)
