#!/usr/bin/env python3
"""Checks Quillar's installed tree and its Debian package.

  check_install.py tree ARGS  installs the build into temporary DESTDIRs under two prefixes and
                              checks each tree;
  check_install.py deb ARGS   makes the .deb with cpack, unpacks it with dpkg -x and checks its
                              name, its Depends, that every library of the program resolves, that
                              its files are what `cmake --install` puts in place, and that the
                              unpacked program starts with the window class its entry names.
ARGS: --build-dir B --source-dir S --app-id ID --version V
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
from pathlib import Path


def fail(message):
    sys.exit(f"FAIL: {message}")


def run(*command, env=None):
    return subprocess.run(command, capture_output=True, text=True, env=env, check=False)


def install(build_dir, destdir, prefix):
    result = run("cmake", "--install", str(build_dir), "--prefix", prefix,
                 env={**os.environ, "DESTDIR": str(destdir)})
    if result.returncode != 0:
        fail(f"cmake --install --prefix {prefix}: {result.stderr}")


def files_under(root):
    return {str(p.relative_to(root)) for p in root.rglob("*") if p.is_file() or p.is_symlink()}


def desktop_entry(path):
    entry, section = {}, None
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("["):
            section = line.strip()
        elif section == "[Desktop Entry]" and "=" in line:
            key, value = line.split("=", 1)
            entry[key.strip()] = value.strip()
    return entry


def png_size(path):
    data = path.read_bytes()[:24]
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", data[16:24])


def check_tree(root, prefix, args):
    """The files a user's system gets under `prefix`, and nothing else."""
    top = prefix.strip("/")
    share = f"{top}/share"
    app_id = args.app_id
    examples = sorted(p.name for p in (args.source_dir / "examples").iterdir())
    required = {f"{top}/bin/quillar", f"{top}/bin/quillar-check", f"{top}/bin/quillar-export",
                f"{share}/applications/{app_id}.desktop",
                f"{share}/metainfo/{app_id}.metainfo.xml",
                f"{share}/icons/hicolor/scalable/apps/{app_id}.svg"}
    required |= {f"{share}/quillar/examples/{name}" for name in examples}
    files = files_under(root)
    if not required <= files:
        fail(f"{prefix}: missing {sorted(required - files)}")
    png = re.compile(re.escape(f"{share}/icons/hicolor/") + r"(\d+)x(\d+)/apps/" +
                     re.escape(app_id) + r"\.png")
    for extra in sorted(files - required):
        match = png.fullmatch(extra)
        if not match:
            fail(f"{prefix}: unexpected file {extra}")
        size = (int(match[1]), int(match[2]))
        if png_size(root / extra) != size:
            fail(f"{extra} is not a {size[0]}x{size[1]} PNG")
    for program in ("quillar", "quillar-check", "quillar-export"):
        if not os.access(root / top / "bin" / program, os.X_OK):
            fail(f"bin/{program} is not executable")
    # The command needs no display: it answers --help on a machine without one.
    check = run(str(root / top / "bin/quillar-check"), "--help")
    if check.returncode != 0 or "quillar-check FOLDER" not in check.stdout:
        fail(f"quillar-check --help: {check.returncode} {check.stdout}{check.stderr}")
    export = run(str(root / top / "bin/quillar-export"), "--help")
    if export.returncode != 0 or "quillar-export FOLDER" not in export.stdout:
        fail(f"quillar-export --help: {export.returncode} {export.stdout}{export.stderr}")
    for name in examples:
        if (root / share / "quillar/examples" / name).read_bytes() != \
                (args.source_dir / "examples" / name).read_bytes():
            fail(f"example {name} differs from its source")

    desktop = root / share / "applications" / f"{app_id}.desktop"
    result = run("desktop-file-validate", str(desktop))
    if result.returncode != 0 or result.stdout.strip():
        fail(f"desktop-file-validate: {result.stdout}{result.stderr}")
    entry = desktop_entry(desktop)
    for key, expected in {"Name": "Quillar", "Icon": app_id, "Exec": "quillar"}.items():
        if entry.get(key) != expected:
            fail(f"desktop entry {key}={entry.get(key)!r}, expected {expected!r}")
    if not re.search(r"[\u4e00-\u9fff]", entry.get("Name[zh_CN]", "")):
        fail("desktop entry has no Chinese Name[zh_CN]")

    metainfo = root / share / "metainfo" / f"{app_id}.metainfo.xml"
    result = run("appstreamcli", "validate", "--no-net", "--pedantic", str(metainfo))
    if result.returncode != 0:
        fail(f"appstreamcli validate: {result.stdout}{result.stderr}")
    if prefix == "/usr":
        result = run("appstreamcli", "validate-tree", "--no-net", str(root))
        if result.returncode != 0:
            fail(f"appstreamcli validate-tree: {result.stdout}{result.stderr}")
    component = ET.parse(metainfo).getroot()
    found = {"id": component.findtext("id"), "launchable": component.findtext("launchable"),
             "release": component.find("releases/release").get("version")}
    expected = {"id": app_id, "launchable": f"{app_id}.desktop", "release": args.version}
    if found != expected:
        fail(f"metainfo {found}, expected {expected}")
    return entry


def check_window_class(program, entry, scratch):
    """Starts the program under a private Xvfb and compares its window class with the entry's."""
    if not all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xprop")):
        print("Xvfb, xdotool or xprop missing: the unpacked program is not started")
        return
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = ":" + pipe.readline().strip()
    env = {"PATH": os.environ["PATH"], "DISPLAY": display, "HOME": str(scratch),
           "XDG_CONFIG_HOME": str(scratch / "config"), "QT_QPA_PLATFORM": "xcb",
           "SDL_AUDIODRIVER": "dummy"}
    quillar = subprocess.Popen([str(program)], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    try:
        window = ""
        deadline = time.monotonic() + 60
        while not window and time.monotonic() < deadline and quillar.poll() is None:
            time.sleep(0.3)
            window = run("xdotool", "search", "--onlyvisible", "--pid", str(quillar.pid),
                         env=env).stdout.split()
        if not window:
            quillar.kill()
            fail(f"the unpacked program showed no window: {quillar.communicate()[0]}")
        wm_class = run("xprop", "-id", window[0], "WM_CLASS", env=env).stdout
        classes = re.findall(r'"([^"]*)"', wm_class)
        if classes[-1:] != [entry.get("StartupWMClass")]:
            fail(f"window class {classes}, entry's StartupWMClass "
                 f"{entry.get('StartupWMClass')!r}")
    finally:
        if quillar.poll() is None:
            quillar.terminate()
            quillar.wait(10)
        xvfb.terminate()
        xvfb.wait(10)


def check_deb(args, scratch):
    arch = run("dpkg", "--print-architecture").stdout.strip()
    out = scratch / "out"
    result = run("cpack", "-G", "DEB", "-B", str(out), "--config",
                 str(args.build_dir / "CPackConfig.cmake"))
    if result.returncode != 0:
        fail(f"cpack: {result.stdout}{result.stderr}")
    debs = [p.name for p in out.glob("*.deb")]
    if debs != [f"quillar_{args.version}_{arch}.deb"]:
        fail(f"packages made: {debs}")
    deb = out / debs[0]

    depends = run("dpkg-deb", "-f", str(deb), "Depends").stdout
    names = {alt.split()[0] for alt in re.split(r"[,|]", depends) if alt.strip()}
    for needed in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "libsdl2-2.0-0",
                   "libfftw3-single3", "qt6-qpa-plugins", "qt6-translations-l10n"):
        if needed not in names:
            fail(f"Depends lacks {needed}: {depends}")

    unpacked, installed = scratch / "unpacked", scratch / "installed"
    result = run("dpkg", "-x", str(deb), str(unpacked))
    if result.returncode != 0:
        fail(f"dpkg -x: {result.stderr}")
    program = unpacked / "usr/bin/quillar"
    ldd = run("ldd", str(program))
    if ldd.returncode != 0 or "not found" in ldd.stdout:
        fail(f"unresolved libraries:\n{ldd.stdout}{ldd.stderr}")

    install(args.build_dir, installed, "/usr")
    if files_under(unpacked) != files_under(installed):
        fail(f"package and installed tree differ: {files_under(unpacked) ^ files_under(installed)}")
    # the packaged binaries are stripped
    for name in files_under(installed) - {"usr/bin/quillar", "usr/bin/quillar-check",
                                             "usr/bin/quillar-export"}:
        if (unpacked / name).read_bytes() != (installed / name).read_bytes():
            fail(f"{name} differs between the package and the installed tree")
    entry = check_tree(unpacked, "/usr", args)
    check_window_class(program, entry, scratch)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["tree", "deb"])
    for option in ("--build-dir", "--source-dir"):
        parser.add_argument(option, type=Path, required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="quillar-install-") as scratch:
        scratch = Path(scratch)
        if args.what == "tree":
            for prefix in ("/usr", "/opt/quillar"):
                root = scratch / prefix.strip("/").replace("/", "-")
                install(args.build_dir, root, prefix)
                check_tree(root, prefix, args)
        else:
            check_deb(args, scratch)
    print("ok")


if __name__ == "__main__":
    main()
