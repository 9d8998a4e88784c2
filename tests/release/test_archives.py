# What scripts/release makes, its facts found again by other means than the release's (the
# version from CMakeLists.txt, the C library from objdump, the desktop's packages from
# apt-cache, what the programs contain from their symbol tables). Only which package holds a
# file is asked of the release tool.
import filecmp
import os
import re
import subprocess
import sys
import tarfile
import zipfile

import numpy as np
import pytest
from PIL import Image

from harness import DATA, RELEASE_DIR, SOURCE_DIR, show_frames

sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "release"))
from release import SCREENSHOT, package_of  # noqa: E402

LINUX = "hopsasa-linux-x86_64.tar.gz"
WINDOWS = "hopsasa-windows-x64.zip"
WEB = "hopsasa-web.zip"
INFO = "hopsasa.txt"

# What each library leaves in a program's symbol table when it is linked in: the symbol
# names one of its functions, and it is the Debian source package of that library.
LINUX_INSIDE = {
    "libsdl2": r"SDL_Init", "libsdl2-image": r"IMG_LoadPNG_RW",
    "libsdl2-mixer": r"Mix_OpenAudioDevice", "libpng1.6": r"png_create_read_struct",
    "libjpeg-turbo": r"jpeg_CreateDecompress", "zlib": r"inflateInit2_",
    "libglu": r"gluBuild2DMipmaps", "kissfft": r"_ZN7kissfftIfE\w+",
    # Start-up code: glibc's _start (Scrt1.o), GCC's frame_dummy (crtbeginS.o).
    "glibc": r"_start", "gcc-12": r"frame_dummy",
}
WINDOWS_INSIDE = {
    "gcc-mingw-w64": r"_ZSt\w+|__gxx_personality_seh0", "mingw-w64": r"__mingw_\w+",
    "kissfft": r"_ZN7kissfftIfE\w+",
}
# What each part of the page's program leaves in it: the runtime's JavaScript (emscripten),
# stb_image's messages in the wasm. kissfft's spectrum leaves nothing a release build keeps.
WEB_INSIDE = {"emscripten": ("hopsasa.js", rb"_emscripten_\w+"),
              "libstb": ("hopsasa.wasm", rb"bad huffman code")}
WEB_COMPILED_IN = {"kissfft"}
# The formats the show never reads, whose decoders must stay out of the Linux program.
LEFT_OUT = [r"fluid_synth_\w+", r"ModPlug_\w+", r"FLAC__\w+", r"ov_open_callbacks",
            r"op_open_callbacks", r"TIFFClientOpen", r"WebPDecode\w*", r"jbg_\w+",
            r"IMG_LoadTIF_RW", r"IMG_LoadWEBP_RW"]
# What 64-bit Windows itself provides.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "opengl32.dll",
                "glu32.dll", "msacm32.dll", "winmm.dll", "msvcrt.dll"}


def run(*args):
    return subprocess.run(list(map(str, args)), check=True, capture_output=True, text=True).stdout


def symbols(program, objdump="objdump"):
    # The names the program's symbol table defines (ELF or PE).
    table = run(objdump, "-t", program)
    return {line.split()[-1] for line in table.splitlines()
            if re.search(r"^[0-9a-f]{16} .*\s\S+$|^\[\s*\d+\]\(sec\s+[1-9]", line)
            and "*UND*" not in line}


def has(names, pattern):
    return any(re.fullmatch(pattern, name) for name in names)


def system_library(soname):
    # Where this machine has `soname`: where its loader finds it, or else where a package
    # put it (a library found through another's run path).
    for line in run("ldconfig", "-p").splitlines():
        match = re.match(r"\s*(\S+) \(libc6,x86-64[^)]*\) => (\S+)", line)
        if match and match.group(1) == soname:
            return match.group(2)
    found = subprocess.run(["dpkg-query", "-S", f"/usr/lib/x86_64-linux-gnu/*/{soname}"],
                           capture_output=True, text=True)
    if found.returncode == 0:
        return found.stdout.splitlines()[0].split(": ", 1)[1]
    raise AssertionError(f"{soname} is not installed here")


def desktop_packages():
    with open(os.path.join(SOURCE_DIR, "tools", "release", "desktop-libraries")) as f:
        listed = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    tree = run("apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
               "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", *listed)
    return {line for line in tree.splitlines() if line and not line.startswith(" ")}


@pytest.fixture(scope="module")
def release(tmp_path_factory):
    # The three archives unpacked: {archive: (members, comment, its one folder)}, the info
    # file, the version.
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        version = re.search(r"project\(hopsasa VERSION (\S+)", f.read())[1]
    unpacked, archives = tmp_path_factory.mktemp("release"), {}
    for archive in (LINUX, WINDOWS, WEB):
        path, into = os.path.join(RELEASE_DIR, archive), unpacked / archive
        with tarfile.open(path) if archive == LINUX else zipfile.ZipFile(path) as packed:
            packed.extractall(into)
            members = packed.getmembers() if archive == LINUX else packed.infolist()
            comment = getattr(packed, "comment", b"").decode()
        archives[archive] = (members, comment, into / f"hopsasa-{version}")
    with open(os.path.join(RELEASE_DIR, INFO), "rb") as f:
        return archives, f.read(), version


def licences(top):
    return {name[:-len(".txt")] for name in os.listdir(top / "licences")}


def test_each_archive_unpacks_to_one_folder_with_the_show(release):
    archives, info, version = release
    data = sorted(os.listdir(DATA))
    # The top folder's entries, where the data is, what must be executable.
    cases = {LINUX: (["bin", "data", "hopsasa", INFO, "lib", "licences"], "data",
                     ["hopsasa", "bin/hopsasa"]),
             WINDOWS: (sorted(data + ["hopsasa.exe", INFO, "licences"]), ".", []),
             WEB: (["data", "files.txt", "hopsasa.css", "hopsasa.js", "hopsasa.wasm",
                    "index.html", INFO, "licences", "page.js"], "data", [])}
    for archive, (entries, data_folder, executables) in cases.items():
        members, comment, top = archives[archive]
        names = [m.name if archive == LINUX else m.filename for m in members]
        assert {n.split("/")[0] for n in names} == {top.name}, archive
        assert sorted(os.listdir(top)) == sorted(entries), archive
        for name in data:
            assert filecmp.cmp(DATA + "/" + name, top / data_folder / name, shallow=False), name
        assert all(os.access(top / name, os.X_OK) for name in executables), archive
        assert (top / INFO).read_bytes().replace(b"\r\n", b"\n") == info, archive
        assert archive == LINUX or version in comment, archive
    # The Linux archive unpacks owned by root, whoever made it.
    assert {(m.uid, m.gid, m.uname, m.gname) for m in archives[LINUX][0]} == {(0, 0, "", "")}
    # The page fetches the files files.txt names from data/.
    assert (archives[WEB][2] / "files.txt").read_text().split() == data
    # Nothing of an earlier release stays (release.make leaves a video there first).
    made = [LINUX, WINDOWS, WEB, INFO, SCREENSHOT]
    assert sorted(os.listdir(RELEASE_DIR)) == sorted(made + ["SHA256SUMS"])
    with open(os.path.join(RELEASE_DIR, "SHA256SUMS")) as f:
        assert sorted(line.split()[1] for line in f) == sorted(made)
    subprocess.run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=RELEASE_DIR,
                   check=True)
    # The screenshot: the show drawn at 1920x1080, the 4:3 picture between black bars.
    shot = np.asarray(Image.open(os.path.join(RELEASE_DIR, SCREENSHOT)).convert("RGB"))
    assert shot.shape == (1080, 1920, 3)
    assert shot[:, :240].max() == 0 and shot[:, 1680:].max() == 0 and shot[:, 240:1680].mean() > 128


def test_info_file_is_80_columns_of_ascii_and_states_the_facts(release):
    archives, info, version = release
    text = info.decode("ascii")
    assert [line for line in text.splitlines() if len(line) >= 80] == []
    top = archives[LINUX][2]
    elf = [top / "bin" / "hopsasa"] + [top / "lib" / name for name in os.listdir(top / "lib")]
    glibc = max(tuple(int(p) for p in v.split(".")) for e in elf
                for v in re.findall(r"GLIBC_(\d+\.\d+)", run("objdump", "-T", e)))
    flat = " ".join(text.split())
    for fact in [f"hopsasa {version}", f"glibc {glibc[0]}.{glibc[1]} or newer", "Escape quits",
                 "hopsasa-1080p60.mp4", "60 frames a second", f"{show_frames(60)} frames",
                 SCREENSHOT, "--desktop --rate 60", "without the flash check",
                 "libGL.so.1", "libasound.so.2", "hopsasa-web.zip", "WebGL",
                 *os.listdir(top / "lib")]:  # each library in lib/ is named
        assert fact in flat
    for _, _, folder in archives.values():
        for licence in licences(folder):
            assert re.search(rf"\b{re.escape(licence)} \d", flat), "each licence, its version"


def test_linux_licences_are_those_of_what_is_inside(release):
    top = release[0][LINUX][2]
    program, lib = top / "bin" / "hopsasa", top / "lib"
    names = symbols(program)
    inside = {source for source, pattern in LINUX_INSIDE.items() if has(names, pattern)}
    assert inside == set(LINUX_INSIDE), "every library meant to be linked in is"
    assert [p for p in LEFT_OUT if has(names, p)] == [], "formats the show never reads"
    # Every library the program or a bundled library needs is in lib/ or comes with a
    # desktop package; each in lib/ is there for a reason.
    desktop, bundled, wanted = desktop_packages(), set(os.listdir(lib)), set()
    for elf in [program] + [lib / n for n in bundled]:
        for soname in re.findall(r"NEEDED\s+(\S+)", run("objdump", "-p", elf)):
            if soname in bundled:
                wanted.add(soname)
            else:
                package = package_of(system_library(soname))
                assert package in desktop, f"{soname} ({package}), needed by {elf}, is " \
                                           "neither in lib/ nor a desktop library"
    assert wanted == bundled, "nothing in lib/ that nothing needs"
    for name in bundled:
        assert run("patchelf", "--print-rpath", lib / name).strip() == "$ORIGIN", name
        inside.add(run("dpkg-query", "-W", "-f=${source:Package}",
                       package_of(system_library(name))))
    assert licences(top) == inside


def test_windows_licences_are_those_of_what_is_inside(release):
    top = release[0][WINDOWS][2]
    exe = top / "hopsasa.exe"
    dlls = re.findall(r"DLL Name: (\S+)", run("x86_64-w64-mingw32-objdump", "-p", exe))
    assert {d.lower() for d in dlls} - WINDOWS_DLLS == set(), "only what Windows provides"
    names = symbols(exe, "x86_64-w64-mingw32-objdump")
    inside = {source for source, pattern in WINDOWS_INSIDE.items() if has(names, pattern)}
    assert inside == set(WINDOWS_INSIDE) == licences(top)


def test_web_licences_are_those_of_what_is_inside(release):
    top = release[0][WEB][2]
    inside = {source for source, (name, pattern) in WEB_INSIDE.items()
              if re.search(pattern, (top / name).read_bytes())}
    assert inside == set(WEB_INSIDE), "every part meant to be in the page is"
    assert licences(top) == inside | WEB_COMPILED_IN


def test_licence_files_hold_the_full_texts_they_name(release):
    for _, _, top in release[0].values():
        for name in os.listdir(top / "licences"):
            text = (top / "licences" / name).read_text(encoding="utf-8")
            assert re.match(rf"{re.escape(name[:-4])} \d", text.splitlines()[0]), name
            for named in set(re.findall(
                    r"/usr/share/common-licenses/([A-Za-z0-9.+-]*[A-Za-z0-9+])", text)):
                if os.path.isfile(f"/usr/share/common-licenses/{named}"):
                    assert f"/usr/share/common-licenses/{named}:\n" in text, (name, named)
