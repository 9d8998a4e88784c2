"""Packs the release from the two release builds (cmake/bundle.cmake).

    release.py pack --linux BUILD --windows BUILD --web WEB --out DIR
    release.py video --linux BUILD --out FILE
    release.py flash --linux BUILD --out FILE
    release.py screenshot --linux BUILD --out FILE

`pack` writes into DIR: hopsasa-linux-x86_64.tar.gz (the program, the libraries it needs
beyond a desktop's own, its data, a launcher), hopsasa-windows-x64.zip (the exe and its
data), hopsasa-web.zip (the page from WEB, a folder scripts/build-web made, and its data),
each unpacking to one folder hopsasa-VERSION with the info file and licences/, the info
file beside them, and SHA256SUMS of every file in DIR. `video` captures the whole
show at 1920x1080 and 60 frames a second and checks the file with ffprobe. `flash` runs the
flash check (tools/flash/hopsasa-flash) on the whole show at 60 frames a second, fails on a
fail and writes its verdict to FILE, which `pack --flash FILE` states in the info file.
`screenshot` writes a PNG of the show mid-scene, drawn at 1920x1080 by the capture tool.

What went into each program is read, not listed by hand: the shared libraries from ldd,
the archive members and start-up objects from the linker's map, the header-only code from
bundle.json; each file's Debian package gives its source, version and copyright file.
Debian's standard library only, and dpkg, ldd, patchelf, objdump, ffprobe.
"""
import argparse
import gzip
import hashlib
import json
import os
import re
import shutil
import string
import subprocess
import sys
import tarfile
import tempfile
import textwrap
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
DATA = os.path.join(SOURCE_DIR, "data")

LINUX_ARCHIVE = "hopsasa-linux-x86_64.tar.gz"
WINDOWS_ARCHIVE = "hopsasa-windows-x64.zip"
WEB_ARCHIVE = "hopsasa-web.zip"
VIDEO = "hopsasa-1080p60.mp4"
INFO = "hopsasa.txt"
SUMS = "SHA256SUMS"
WIDTH = 80
VIDEO_SIZE, VIDEO_FPS = "1920x1080", 60
SCREENSHOT, SCREENSHOT_AT = "hopsasa-1920x1080.png", "51"  # the blob burst at its height
FLASH_CHECK = os.path.join(SOURCE_DIR, "tools", "flash", "hopsasa-flash")

# Licences whose Debian copyright file names none for the package as a whole.
LICENCE_NAMES = {
    "gcc-12": "GPL-3+ with the GCC Runtime Library Exception",
    "gcc-mingw-w64": "GPL-3+ with the GCC Runtime Library Exception",
    "glibc": "LGPL-2.1+; start-up code with unlimited link permission",
    "libgcrypt20": "LGPL-2.1+",
    "libjpeg-turbo": "IJG and BSD-3-Clause and Zlib",
    # Its runtime in a page: its own code, musl, and LLVM's libc++ and compiler-rt.
    "emscripten": "Expat or NCSA; musl Expat; libc++ Apache-2.0 with LLVM exception",
}

# Linked into every program their compiler makes, under exceptions that allow it without
# conditions: the C library's start-up code and libc_nonshared, GCC's runtime.
TOOLCHAIN = {"glibc", "gcc-12", "gcc-mingw-w64", "mingw-w64"}

# Systems a Linux user may have: the newest glibc and libstdc++ versions each provides.
SYSTEMS = [
    ("RHEL 9", (2, 34), (3, 4, 29)),
    ("Ubuntu 22.04", (2, 35), (3, 4, 30)),
    ("Fedora 36", (2, 35), (3, 4, 30)),
    ("Debian 12", (2, 36), (3, 4, 30)),
    ("Ubuntu 24.04", (2, 39), (3, 4, 33)),
]

# What a GLIBCXX symbol version first came with.
GCC_OF_GLIBCXX = {(3, 4, 28): "10", (3, 4, 29): "11", (3, 4, 30): "12", (3, 4, 31): "13"}


def run(*args, **kwargs):
    return subprocess.run(list(args), check=True, capture_output=True, text=True,
                          **kwargs).stdout


def fail(message):
    sys.exit(f"release: {message}")


def version_tuple(text):
    return tuple(int(part) for part in text.split("."))


# ---- Debian packages ----------------------------------------------------------------------

def package_of(path):
    """The installed package that holds `path` (dpkg knows a file by the name it was
    installed under: /lib/... or /usr/lib/..., before or after a link)."""
    path = os.path.normpath(path)
    candidates = [path, os.path.realpath(path)]
    for p in list(candidates):
        if p.startswith("/usr/lib/"):
            candidates.append(p[len("/usr"):])
        elif p.startswith("/lib/"):
            candidates.append("/usr" + p)
    for p in candidates:
        found = subprocess.run(["dpkg-query", "-S", p], capture_output=True, text=True)
        if found.returncode == 0:
            return found.stdout.split(":")[0].split(",")[0].strip()
    fail(f"no Debian package holds {path}")


def package_fields(package):
    source, version = run("dpkg-query", "-W", "-f=${source:Package}\t${Version}",
                          package).split("\t")
    return source, version


def upstream_version(debian_version):
    version = debian_version.split(":", 1)[-1]
    version = version.rsplit("-", 1)[0] if "-" in version else version
    return re.split(r"[+~.](?:dfsg|ds)", version)[0]


def installed_closure(packages):
    """`packages` and every installed package they depend on (any alternative)."""
    seen, todo = set(), list(packages)
    while todo:
        package = todo.pop()
        if package in seen:
            continue
        fields = subprocess.run(["dpkg-query", "-W", "-f=${Pre-Depends}, ${Depends}", package],
                                capture_output=True, text=True)
        if fields.returncode != 0:
            if package in packages:
                fail(f"{package} is not installed (scripts/setup installs it)")
            continue
        seen.add(package)
        for alternatives in fields.stdout.split(","):
            for alternative in alternatives.split("|"):
                name = alternative.strip().split(" ")[0].split(":")[0]
                if name:
                    todo.append(name)
    return seen


def desktop_packages():
    with open(os.path.join(HERE, "desktop-libraries")) as f:
        return [line.strip() for line in f if line.strip() and not line.startswith("#")]


def copyright_file(package):
    path = f"/usr/share/doc/{package}/copyright"
    if not os.path.isfile(path):
        fail(f"{package} has no copyright file")
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def licence_name(source, copyright_text):
    """The licence the copyright file gives its "Files: *" stanza (DEP-5)."""
    if source in LICENCE_NAMES:
        return LICENCE_NAMES[source]
    for stanza in re.split(r"\n\s*\n", copyright_text):
        if re.search(r"^Files:\s*\*(\s|$)", stanza, re.M):
            name = re.search(r"^License:\s*(\S.*)$", stanza, re.M)
            if name:
                return name.group(1).strip()
    fail(f"no licence name for {source}: add it to LICENCE_NAMES")


def licence_text(component):
    """The licence file of a component: what it is here, its Debian copyright file, and the
    full text of each licence that file only refers to."""
    parts = [f"{component['source']} {component['upstream']}",
             "in this release: " + "; ".join(sorted(component["how"])),
             "Debian packages: " + ", ".join(f"{p} {v}"
                                             for p, v in sorted(component["packages"].items())),
             f"Debian source package: {component['source']} (of the versions above)",
             "", "=" * 78, ""]
    copyrights = [copyright_file(p) for p in sorted(component["packages"])]
    for text in dict.fromkeys(copyrights):
        parts += [text.rstrip("\n"), "", "=" * 78, ""]
    named = sorted(set(re.findall(r"/usr/share/common-licenses/([A-Za-z0-9.+-]*[A-Za-z0-9+])",
                                  "\n".join(copyrights))))
    for name in named:
        path = os.path.realpath(f"/usr/share/common-licenses/{name}")
        if os.path.isfile(path):
            with open(path, encoding="utf-8", errors="replace") as f:
                parts += [f"/usr/share/common-licenses/{name}:", "", f.read().rstrip("\n"), "",
                          "=" * 78, ""]
    return "\n".join(parts) + "\n"


# ---- what went into a program -------------------------------------------------------------

class Components:
    """The Debian source packages of everything a program is made of, with how each is in
    the release and the licence it is under."""

    def __init__(self):
        self.by_source = {}

    def add(self, path, how):
        package = package_of(path)
        source, version = package_fields(package)
        component = self.by_source.setdefault(source, {
            "source": source, "upstream": upstream_version(version), "packages": {},
            "how": set()})
        component["packages"][package] = version
        component["how"].add(how)
        first = sorted(component["packages"])[0]
        component["licence"] = licence_name(source, copyright_file(first))

    def __iter__(self):
        return iter(sorted(self.by_source.values(), key=lambda c: c["source"]))


def linked_files(map_path):
    """The archives of which the linker took a member, and the object files it loaded, from
    its map; the build's own files aside."""
    with open(map_path, errors="replace") as f:
        text = f.read()
    archives = {os.path.normpath(m) for m in re.findall(r"^(/[^\s(]+\.a)\(", text, re.M)}
    objects = {os.path.normpath(m) for m in re.findall(r"^LOAD (/\S+\.o(?:bj)?)$", text, re.M)}
    return sorted(p for p in archives | objects if p.startswith("/usr/"))


def shared_libraries(program):
    """(soname, path) of every library the program loads, as ldd resolves them here."""
    libraries = []
    for line in run("ldd", program).splitlines():
        match = re.match(r"\s*(\S+) => (.*?) \(0x", line)
        if "not found" in line:
            fail(f"{program}: {line.strip()}")
        if match and match.group(2):
            libraries.append((match.group(1), match.group(2)))
    return libraries


def glibc_needs(files):
    """The newest GLIBC_ and GLIBCXX_ symbol versions any of the ELF files asks for."""
    glibc, glibcxx = (0, 0), (0, 0, 0)
    for path in files:
        symbols = run("objdump", "-T", path)
        for v in re.findall(r"\bGLIBC_(\d+\.\d+(?:\.\d+)?)\b", symbols):
            glibc = max(glibc, version_tuple(v)[:2])
        for v in re.findall(r"\bGLIBCXX_(\d+\.\d+\.\d+)\b", symbols):
            glibcxx = max(glibcxx, version_tuple(v))
    return glibc, glibcxx


def windows_dlls(exe):
    return sorted(set(re.findall(r"DLL Name: (\S+)", run("x86_64-w64-mingw32-objdump", "-p", exe))),
                  key=str.lower)


# ---- staging ------------------------------------------------------------------------------

def show_facts(capture):
    """The frames and seconds of the whole show at 60 frames a second, from --list."""
    frames = 0
    for line in run(capture, "--list", "--fps", str(VIDEO_FPS), cwd=DATA).splitlines():
        fields = line.split("\t")
        if fields[0] == "scene":
            frames = max(frames, int(fields[3]) + int(fields[4]))
    return frames, frames / VIDEO_FPS


def copy_data(folder):
    os.makedirs(folder, exist_ok=True)
    for name in sorted(os.listdir(DATA)):
        shutil.copy(os.path.join(DATA, name), os.path.join(folder, name))


def write_licences(folder, components):
    os.makedirs(folder)
    for component in components:
        with open(os.path.join(folder, component["source"] + ".txt"), "w", encoding="utf-8") as f:
            f.write(licence_text(component))


def stage_linux(build, stage):
    """The Linux folder: bin/hopsasa, lib/, data/, the launcher; returns its components and
    the libraries put in lib/, each with its source package."""
    program = build["program"]
    system = installed_closure(desktop_packages() + ["libc6"])
    components = Components()
    bundled = []
    for soname, path in shared_libraries(program):
        package = package_of(path)
        if package in system:
            continue
        bundled.append((soname, path, package_fields(package)[0]))
        components.add(path, "in lib/")
    for path in linked_files(build["map"]):
        components.add(path, "in the program")
    for path in build["compiled_in"]:
        components.add(path, "in the program")

    os.makedirs(os.path.join(stage, "bin"))
    shutil.copy(program, os.path.join(stage, "bin", "hopsasa"))
    lib = os.path.join(stage, "lib")
    os.makedirs(lib)
    for soname, path, _ in bundled:
        target = os.path.join(lib, soname)
        shutil.copyfile(path, target)
        os.chmod(target, 0o644)
        # Each library finds the others it needs beside itself, as the program does.
        run("patchelf", "--set-rpath", "$ORIGIN", target)
    copy_data(os.path.join(stage, "data"))
    shutil.copy(os.path.join(HERE, "hopsasa.sh"), os.path.join(stage, "hopsasa"))
    os.chmod(os.path.join(stage, "hopsasa"), 0o755)

    # Every library now resolves to lib/ or to a desktop package.
    staged = os.path.join(stage, "bin", "hopsasa")
    for soname, path in shared_libraries(staged):
        inside = os.path.realpath(path).startswith(os.path.realpath(lib) + os.sep)
        if not inside and package_of(path) not in system:
            fail(f"{soname} resolves to {path}, outside lib/ and the desktop's libraries")
    return components, {soname: source for soname, _, source in bundled}


def stage_windows(build, stage):
    components = Components()
    for path in linked_files(build["map"]):
        components.add(path, "in the program")
    for path in build["compiled_in"]:
        components.add(path, "in the program")
    os.makedirs(stage)
    shutil.copy(build["program"], os.path.join(stage, "hopsasa.exe"))
    copy_data(stage)
    return components


# The page's own files, as scripts/build-web lays them out; data/ is copied afresh.
WEB_FILES = ["index.html", "page.js", "hopsasa.css", "hopsasa.js", "hopsasa.wasm", "files.txt"]


def stage_web(build, page, stage):
    """The page's folder: the page, its program (JavaScript and wasm) and data/."""
    components = Components()
    for path in build["compiled_in"]:
        components.add(path, "in the program")
    program = os.path.splitext(build["program"])[0]
    os.makedirs(stage)
    for name in WEB_FILES:
        source = os.path.join(page, name)
        if name.startswith("hopsasa.") and name != "hopsasa.css":
            # The program the build record names, not an older copy in the page.
            source = program + os.path.splitext(name)[1]
        if not os.path.isfile(source):
            fail(f"{source} is missing: run scripts/build-web")
        shutil.copy(source, os.path.join(stage, name))
    copy_data(os.path.join(stage, "data"))
    with open(os.path.join(stage, "files.txt")) as f:
        listed = f.read().split()
    if listed != sorted(os.listdir(DATA)):
        fail(f"{page}/files.txt does not name the files of data/: run scripts/build-web")
    return components


# ---- the info file ------------------------------------------------------------------------

def wrap(text, indent):
    return textwrap.fill(text, WIDTH - 1, initial_indent=indent, subsequent_indent=indent,
                         break_on_hyphens=False)


def licence_table(components):
    rows = []
    for c in components:
        head = f"   {c['source']} {c['upstream']}"
        how = "; ".join(sorted(c["how"]))
        line = f"{head:<34}{how:<17}"
        licence = textwrap.wrap(c["licence"], WIDTH - 1 - len(line), break_on_hyphens=False)
        rows.append(line + licence[0])
        rows += [" " * len(line) + more for more in licence[1:]]
    return "\n".join(rows)


def render_info(facts):
    with open(os.path.join(HERE, "info.txt.in")) as f:
        template = string.Template(f.read())
    text = template.substitute(facts)
    lines = [line.rstrip() for line in text.splitlines()]
    for number, line in enumerate(lines, 1):
        if len(line) >= WIDTH or not line.isascii():
            fail(f"info file line {number} is not ASCII within {WIDTH} columns: {line!r}")
    return "\n".join(lines).strip("\n") + "\n"


def info_facts(version, linux, windows, web, video, flash_verdict):
    glibc, glibcxx = linux["needs"]
    runs_on = [name for name, g, gxx in SYSTEMS if g >= glibc and gxx >= glibcxx][:3]
    glibc_text = ".".join(map(str, glibc))
    glibcxx_text = ".".join(map(str, glibcxx))
    gcc = GCC_OF_GLIBCXX.get(glibcxx, "?")
    needs = [
        f"a Linux with glibc {glibc_text} or newer and the C++ library of GCC {gcc} or newer "
        f"(GLIBCXX_{glibcxx_text}), such as {', '.join(runs_on[:-1])} or {runs_on[-1]}.",
        "OpenGL 1.1 through the system's libGL.so.1 (any driver; Mesa's software "
        "renderer will do), an X11 display (XWayland too) with an 800x600 mode at "
        "24 bits, the X11 client libraries (libX11, libXext, libXcursor, libXi, "
        "libXrandr, libXss) and libxkbcommon, and sound through ALSA (libasound.so.2) "
        "or PulseAudio/PipeWire.",
        "Every other library comes in lib/: " + ", ".join(sorted(linux["bundled"])) + ".",
    ]
    linux_needs = "\n".join(wrap(n, "   ") for n in needs)
    lgpl = sorted(c["source"] for c in linux["components"]
                  if "LGPL" in c["licence"] and c["source"] not in TOOLCHAIN)
    static_lgpl = [c["source"] for c in linux["components"] if "LGPL" in c["licence"]
                   and c["source"] not in TOOLCHAIN and "in the program" in c["how"]]
    static_lgpl += [c["source"] for c in windows["components"] if "LGPL" in c["licence"]
                    and c["source"] not in TOOLCHAIN]
    if static_lgpl:
        fail("linked into a program, but under the LGPL: " + ", ".join(static_lgpl))
    lgpl_files = sorted(soname for soname, source in linux["lib_sources"].items() if source in lgpl)
    lgpl_text = "\n\n".join([
        wrap("In the Linux bundle the libraries under the LGPL (" + ", ".join(lgpl) + ") are "
             "shared libraries in lib/: " + ", ".join(lgpl_files) + ". The program loads "
             "them from there before any of the system's. To run it with another build of "
             "one, put that build in lib/ under the same file name; to use the system's, "
             "delete the file from lib/. Nothing under the LGPL is linked into the programs "
             "but the C library's start-up code, which its licence allows without "
             "conditions.", " "),
        wrap("Each is Debian 12's build, unchanged: its source is Debian's source package "
             "of the version its licence file names (sources.debian.org, "
             "snapshot.debian.org).", " "),
    ])
    licences = "\n".join([
        "   Linux bundle",
        licence_table(linux["components"]),
        "",
        "   Windows zip",
        licence_table(windows["components"]),
        "",
        "   Web page",
        licence_table(web["components"]),
    ])
    video_text = wrap(
        f"{VIDEO} is the whole show, drawn frame by frame by our capture tool: "
        f"{VIDEO_SIZE.replace('x', ' x ')} pixels, {VIDEO_FPS} frames a second, H.264 "
        f"(yuv420p) with the soundtrack in AAC; {video['frames']} frames, "
        f"{video['seconds']:.2f} seconds. The 4:3 picture is pillarboxed. {SCREENSHOT} is "
        f"the show at {SCREENSHOT_AT} seconds, drawn at that size as on a compo machine's "
        "display.", " ")
    if flash_verdict:
        flashing = wrap(
            "Every frame of the show at 60 frames a second was checked for flashing that can "
            "set off seizures in people with photosensitive epilepsy, with the thresholds of "
            "WCAG 2.3.1 and ITU-R BT.1702 (no more than three flashes in any one second over "
            "a quarter of the screen or more, general or red): " + flash_verdict + ".", " ")
    else:
        flashing = wrap("This build was made without the flash check (scripts/release "
                        "--no-video).", " ")
    return {
        "version": version,
        "length": f"{video['seconds']:.0f}",
        "flashing": flashing,
        "linux_needs": linux_needs,
        "windows_dlls": wrap(", ".join(windows["dlls"]) + ".", "   "),
        "video": video_text,
        "licences": licences,
        "lgpl": lgpl_text,
    }


# ---- archives -----------------------------------------------------------------------------

def source_date():
    """The time stamp of every file in the archives: the last commit's, so that the same
    sources give the same bytes."""
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    if shutil.which("git"):
        commit = subprocess.run(["git", "-C", SOURCE_DIR, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True)
        if commit.returncode == 0 and commit.stdout.strip():
            return int(commit.stdout)
    # A copy of the sources without their history.
    return int(os.path.getmtime(os.path.join(SOURCE_DIR, "CMakeLists.txt")))


def walk(top):
    """Every folder and file under `top`, relative to its parent, in sorted order."""
    parent = os.path.dirname(top)
    for folder, folders, files in os.walk(top):
        folders.sort()
        yield os.path.relpath(folder, parent), True
        for name in sorted(files):
            yield os.path.relpath(os.path.join(folder, name), parent), False


def write_tar_gz(top, path, stamp):
    with open(path, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", filename="",
                                                 mtime=stamp) as gz:
        with tarfile.open(fileobj=gz, mode="w", format=tarfile.GNU_FORMAT) as tar:
            for name, is_folder in walk(top):
                info = tar.gettarinfo(os.path.join(os.path.dirname(top), name), arcname=name)
                info.mtime, info.uid, info.gid, info.uname, info.gname = stamp, 0, 0, "", ""
                info.mode = 0o755 if is_folder or info.mode & 0o100 else 0o644
                if is_folder:
                    tar.addfile(info)
                else:
                    with open(os.path.join(os.path.dirname(top), name), "rb") as f:
                        tar.addfile(info, f)


def write_zip(top, path, stamp, comment):
    date = time.gmtime(max(stamp, 315532800))[:6]  # zip dates begin in 1980
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.comment = comment.encode()
        for name, is_folder in walk(top):
            info = zipfile.ZipInfo(name + ("/" if is_folder else ""), date)
            info.create_system = 3
            info.external_attr = (0o40755 if is_folder else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            if is_folder:
                z.writestr(info, b"")
            else:
                with open(os.path.join(os.path.dirname(top), name), "rb") as f:
                    z.writestr(info, f.read())


def write_sums(out):
    lines = []
    for name in sorted(os.listdir(out)):
        if name != SUMS:
            with open(os.path.join(out, name), "rb") as f:
                lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    with open(os.path.join(out, SUMS), "w") as f:
        f.writelines(lines)


# ---- commands -----------------------------------------------------------------------------

def load_build(folder, system):
    path = os.path.join(folder, "bundle.json")
    if not os.path.isfile(path):
        fail(f"{path} is missing: configure {folder} with -DHOPSASA_BUNDLE=ON and build it")
    with open(path) as f:
        build = json.load(f)
    if build["system"] != system:
        fail(f"{folder} is a {build['system']} build, not {system}")
    return build


def pack(args):
    linux_build = load_build(args.linux, "Linux")
    windows_build = load_build(args.windows, "Windows")
    version = linux_build["version"]
    if windows_build["version"] != version:
        fail("the Linux and Windows builds are of different versions")
    folder = f"hopsasa-{version}"
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    web_build = load_build(os.path.join(args.web, "cmake"), "Emscripten")
    if web_build["version"] != version:
        fail("the Linux and web builds are of different versions")
    for name in (LINUX_ARCHIVE, WINDOWS_ARCHIVE, WEB_ARCHIVE, INFO, SUMS):
        if os.path.exists(os.path.join(out, name)):
            os.remove(os.path.join(out, name))

    work = tempfile.mkdtemp(prefix="hopsasa-release-")
    try:
        linux_stage = os.path.join(work, "linux", folder)
        linux_components, bundled = stage_linux(linux_build, linux_stage)
        windows_stage = os.path.join(work, "windows", folder)
        windows_components = stage_windows(windows_build, windows_stage)
        web_stage = os.path.join(work, "web", folder)
        web_components = stage_web(web_build, os.path.join(args.web, "hopsasa-web"), web_stage)
        elf = [os.path.join(linux_stage, "bin", "hopsasa")] + \
            [os.path.join(linux_stage, "lib", name) for name in bundled]
        frames, seconds = show_facts(linux_build["capture"])
        facts = info_facts(version, {
            "components": list(linux_components), "bundled": bundled,
            "needs": glibc_needs(elf),
            "lib_sources": bundled,
        }, {
            "components": list(windows_components),
            "dlls": windows_dlls(windows_build["program"]),
        }, {
            "components": list(web_components),
        }, {"frames": frames, "seconds": seconds}, flash_verdict(args.flash))
        info = render_info(facts)

        write_licences(os.path.join(linux_stage, "licences"), linux_components)
        write_licences(os.path.join(windows_stage, "licences"), windows_components)
        write_licences(os.path.join(web_stage, "licences"), web_components)
        with open(os.path.join(linux_stage, INFO), "w", newline="\n") as f:
            f.write(info)
        # Windows's own text tools expect a carriage return before each line feed.
        with open(os.path.join(windows_stage, INFO), "w", newline="\r\n") as f:
            f.write(info)
        with open(os.path.join(web_stage, INFO), "w", newline="\n") as f:
            f.write(info)
        with open(os.path.join(out, INFO), "w", newline="\n") as f:
            f.write(info)

        stamp = source_date()
        write_tar_gz(linux_stage, os.path.join(out, LINUX_ARCHIVE), stamp)
        write_zip(windows_stage, os.path.join(out, WINDOWS_ARCHIVE), stamp,
                  f"hopsasa {version} for 64-bit Windows")
        write_zip(web_stage, os.path.join(out, WEB_ARCHIVE), stamp,
                  f"hopsasa {version} for web browsers")
        write_sums(out)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for name in sorted(os.listdir(out)):
        path = os.path.join(out, name)
        print(f"release: {path}  {os.path.getsize(path)} bytes")


def flash_verdict(path):
    """The flash check's verdict as `flash` wrote it, or None without one."""
    if not path:
        return None
    with open(path) as f:
        verdict = f.read().strip()
    if not verdict.startswith("pass: "):
        fail(f"{path} holds no passing flash check: {verdict!r}")
    return "passed, " + verdict.removeprefix("pass: ")


def flash(args):
    build = load_build(args.linux, "Linux")
    out = os.path.abspath(args.out)
    if os.path.exists(out):
        os.remove(out)
    check = subprocess.run(["/usr/bin/python3", FLASH_CHECK, "--show", DATA, "--capture",
                            build["capture"], "--fps", str(VIDEO_FPS),
                            "--csv", os.path.splitext(out)[0] + ".csv"],
                           stdout=subprocess.PIPE, text=True)
    verdict = check.stdout.strip()
    if check.returncode != 0:
        fail(f"the flash check failed: {verdict or f'status {check.returncode}'}")
    with open(out, "w") as f:
        f.write(verdict + "\n")
    print(f"release: the flash check: {verdict}")


def screenshot(args):
    build = load_build(args.linux, "Linux")
    out = os.path.abspath(args.out)
    with tempfile.TemporaryDirectory() as frames:
        capture = subprocess.run([build["capture"], "--frames", frames, "--size", VIDEO_SIZE,
                                  "--from", SCREENSHOT_AT, "--to", f"{SCREENSHOT_AT}.01"],
                                 cwd=DATA, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                 text=True)
        drawn = sorted(os.listdir(frames))
        if capture.returncode != 0 or len(drawn) != 1:
            fail(f"the capture tool ended with status {capture.returncode}: {capture.stderr}")
        shutil.move(os.path.join(frames, drawn[0]), out)
    with open(out, "rb") as f:
        header = f.read(24)
    width, height = (int(n) for n in VIDEO_SIZE.split("x"))
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[16:24] != width.to_bytes(4, "big") + \
            height.to_bytes(4, "big"):
        fail(f"{out} is not a {VIDEO_SIZE} PNG")
    print(f"release: {out}: the show at {SCREENSHOT_AT} s, {VIDEO_SIZE}")


def video(args):
    build = load_build(args.linux, "Linux")
    frames, seconds = show_facts(build["capture"])
    out = os.path.abspath(args.out)
    capture = subprocess.run([build["capture"], "--video", out, "--size", VIDEO_SIZE,
                              "--fps", str(VIDEO_FPS)], cwd=DATA)
    if capture.returncode != 0:
        fail(f"the capture tool ended with status {capture.returncode}")
    probe = json.loads(run("ffprobe", "-v", "error", "-count_frames", "-show_streams",
                           "-show_format", "-of", "json", out))
    streams = {s["codec_type"]: s for s in probe["streams"]}
    width, height = (int(n) for n in VIDEO_SIZE.split("x"))
    v, a = streams.get("video", {}), streams.get("audio", {})
    checks = [
        ("streams", sorted(streams), ["audio", "video"]),
        ("video codec", (v.get("codec_name"), v.get("pix_fmt")), ("h264", "yuv420p")),
        ("picture size", (v.get("width"), v.get("height")), (width, height)),
        ("frame rate", v.get("avg_frame_rate"), f"{VIDEO_FPS}/1"),
        ("frames", int(v.get("nb_read_frames", 0)), frames),
        ("audio codec", a.get("codec_name"), "aac"),
    ]
    duration = float(probe["format"]["duration"])
    if abs(duration - seconds) > 0.1:
        checks.append(("duration", duration, seconds))
    wrong = [f"{what}: {got!r}, not {want!r}" for what, got, want in checks if got != want]
    if wrong:
        fail(f"{out}: " + "; ".join(wrong))
    print(f"release: {out}: {frames} frames at {VIDEO_FPS} fps, {duration:.2f} s, "
          f"H.264 {VIDEO_SIZE} + AAC")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("pack")
    p.add_argument("--linux", required=True)
    p.add_argument("--windows", required=True)
    p.add_argument("--web", required=True, help="the folder scripts/build-web made")
    p.add_argument("--out", required=True)
    p.add_argument("--flash", help="the verdict file `flash` wrote")
    p.set_defaults(func=pack)
    v = commands.add_parser("video")
    v.add_argument("--linux", required=True)
    v.add_argument("--out", required=True)
    v.set_defaults(func=video)
    s = commands.add_parser("screenshot")
    s.add_argument("--linux", required=True)
    s.add_argument("--out", required=True)
    s.set_defaults(func=screenshot)
    f = commands.add_parser("flash")
    f.add_argument("--linux", required=True)
    f.add_argument("--out", required=True)
    f.set_defaults(func=flash)
    args = parser.parse_args()
    args.func(args)


if __name__ == "__main__":
    main()
