#!/usr/bin/env python3
"""korvel.exe as a user starts it: under Wine on a virtual X display (Xvfb), on the demo ROM, in a
Wine prefix of its own inside the build folder, with Wine's X11 display driver, a Wine desktop of
the display's size (which draws the windows' frames) and 150 % scaling. A driver program opens the
Commands window, then the GPR window over it, then About, whose picture must be scaled as the
dialog is, chooses Start CPU and finds the "Breakpoint Encountered" box; pictures of the screen (the
ROM loaded, the Commands window, the GPR window over it, About, the box up) are saved for people to
look at, as SCREENSHOTS/korvel-NAME.png; then OK and Exit, and korvel.exe must end with status 0.

    smoke_test.py KORVEL_EXE DRIVER_EXE DEMO_ROM PREFIX SCREENSHOTS
"""
import os
import subprocess
import sys
import time

TIMEOUT = 180
SCREEN = "1280x800"
DPI = 144
# The About picture's bitmap, drawn for 96 DPI.
ABOUT_PICTURE = (361, 164)
# Registry settings of the prefix: (key, value name, type, data).
SETTINGS = [
    (r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
    (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", SCREEN),
    (r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(DPI)),
]


def scaled(pixels):
    """`pixels` at 96 DPI at the prefix's DPI, rounded as Windows' MulDiv rounds."""
    return (pixels * DPI + 48) // 96


def wine_environment(prefix, display):
    environment = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display)
    return environment


def start_display():
    """Xvfb on the first free display number, which it writes to the pipe it is given."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN + "x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        server.kill()
        sys.exit("Xvfb did not start")
    return server, ":" + number


def take_picture(display, folder, name):
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, f"korvel-{name}.png")
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True,
                   timeout=60)
    print("screenshot:", path, flush=True)
    return path


def make_prefix(environment):
    subprocess.run(["wine", "wineboot", "--init"], env=environment, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    for key, name, kind, data in SETTINGS:
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"],
                       env=environment, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    # The settings are read by programs started after the server has written them down.
    subprocess.run(["wineserver", "-w"], env=environment, timeout=TIMEOUT)


def main():
    korvel, driver, rom, prefix, screenshots = sys.argv[1:]
    server, display = start_display()
    environment = wine_environment(prefix, display)
    korvel_process = None
    try:
        made = os.path.join(prefix, "korvel-settings")
        if not os.path.exists(made):
            make_prefix(environment)
            open(made, "w").close()
        korvel_process = subprocess.Popen(["wine", korvel, rom], env=environment,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        steps = subprocess.Popen(["wine", driver, rom], env=environment, stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, text=True)
        lines = []
        pictures = []
        for line in steps.stdout:
            line = line.rstrip("\n")
            print(line, flush=True)
            lines.append(line)
            if line.startswith("picture: "):
                pictures.append(take_picture(display, screenshots, line[len("picture: "):]))
                steps.stdin.write("\n")
                steps.stdin.flush()
        steps.wait(timeout=TIMEOUT)
        status = korvel_process.wait(timeout=TIMEOUT)
        expected = [f"title: Korvel - {rom}",
                    "picture: loaded",
                    "window: Commands",
                    "picture: commands",
                    "window: General Purpose Registers",
                    "picture: debugger",
                    "about: picture {}x{} at {} DPI".format(*map(scaled, ABOUT_PICTURE), DPI),
                    "picture: about",
                    "box: Breakpoint Encountered: PC: 0x040000B0",
                    "title: Korvel - KORVEL DEMO          - Running",
                    "picture: breakpoint",
                    "ended"]
        if lines != expected or steps.returncode != 0 or status != 0:
            print(f"expected {expected}, korvel.exe ended with {status}", file=sys.stderr)
            return 1
        if not all(os.path.getsize(picture) for picture in pictures):
            print("a screenshot is empty", file=sys.stderr)
            return 1
        return 0
    finally:
        if korvel_process and korvel_process.poll() is None:
            korvel_process.kill()
        subprocess.run(["wineserver", "-k"], env=environment, stderr=subprocess.DEVNULL)
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
