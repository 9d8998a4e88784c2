"""What scripts/release makes: each archive unpacks to one folder with the program, its
data, the info file and licences/; the info file fits 80 columns of ASCII and states what
the files say; the licence files are those of what ldd and objdump find inside.

The facts are found here again by other means than the release's: the version from
CMakeLists.txt, the C library from objdump over every ELF file, the desktop's packages
from apt-cache, what the programs contain from their symbol tables.
"""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

from harness import RELEASE_DIR, SOURCE_DIR, show_frames

sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "release"))
from release import package_of  # noqa: E402
LINUX = "hopsasa-linux-x86_64.tar.gz"
WINDOWS = "hopsasa-windows-x64.zip"
WEB = "hopsasa-web.zip"
INFO = "hopsasa.txt"
DATA = os.path.join(SOURCE_DIR, "data")

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
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


def project_version():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        return re.search(r"project\(hopsasa VERSION (\S+)", f.read()).group(1)


def symbols(program, objdump="objdump"):
    """The names the program's symbol table defines (ELF or PE)."""
    table = run(objdump, "-t", program)
    return {line.split()[-1] for line in table.splitlines()
            if re.search(r"^[0-9a-f]{16} .*\s\S+$|^\[\s*\d+\]\(sec\s+[1-9]", line)
            and "*UND*" not in line}


def has(names, pattern):
    return any(re.fullmatch(pattern, name) for name in names)


def source_package(path):
    return run("dpkg-query", "-W", "-f=${source:Package}", package_of(path))


def system_library(soname):
    """Where this machine has `soname`: where its loader finds it, or else where a package
    put it (a library found through another's run path)."""
    for line in run("ldconfig", "-p").splitlines():
        match = re.match(r"\s*(\S+) \(libc6,x86-64[^)]*\) => (\S+)", line)
        if match and match.group(1) == soname:
            return match.group(2)
    found = subprocess.run(["dpkg-query", "-S", f"/usr/lib/x86_64-linux-gnu/*/{soname}"],
                           capture_output=True, text=True)
    if found.returncode == 0:
        return found.stdout.splitlines()[0].split(": ", 1)[1]
    raise AssertionError(f"{soname} is not installed here")


def needed(elf):
    return re.findall(r"NEEDED\s+(\S+)", run("objdump", "-p", elf))


def desktop_packages():
    with open(os.path.join(SOURCE_DIR, "tools", "release", "desktop-libraries")) as f:
        listed = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    tree = run("apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
               "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", *listed)
    return {line for line in tree.splitlines() if line and not line.startswith(" ")}


class ArchivesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = project_version()
        cls.folder = f"hopsasa-{cls.version}"
        cls.unpacked = tempfile.mkdtemp(prefix="hopsasa-release-")
        cls.linux = os.path.join(cls.unpacked, "linux")
        cls.windows = os.path.join(cls.unpacked, "windows")
        cls.web = os.path.join(cls.unpacked, "web")
        with tarfile.open(os.path.join(RELEASE_DIR, LINUX)) as tar:
            cls.linux_members = tar.getmembers()
            tar.extractall(cls.linux)
        with zipfile.ZipFile(os.path.join(RELEASE_DIR, WINDOWS)) as z:
            cls.windows_names = z.namelist()
            cls.zip_comment = z.comment.decode()
            z.extractall(cls.windows)
        with zipfile.ZipFile(os.path.join(RELEASE_DIR, WEB)) as z:
            cls.web_names = z.namelist()
            cls.web_comment = z.comment.decode()
            z.extractall(cls.web)
        with open(os.path.join(RELEASE_DIR, INFO), "rb") as f:
            cls.info = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.unpacked, ignore_errors=True)

    def test_each_archive_unpacks_to_one_folder_with_the_show(self):
        data = sorted(os.listdir(DATA))
        linux_top = os.path.join(self.linux, self.folder)
        windows_top = os.path.join(self.windows, self.folder)
        web_top = os.path.join(self.web, self.folder)
        cases = [
            (LINUX, [m.name for m in self.linux_members], linux_top,
             ["bin", "data", "hopsasa", INFO, "lib", "licences"], os.path.join(linux_top, "data"),
             ["hopsasa", "bin/hopsasa"]),
            (WINDOWS, self.windows_names, windows_top,
             sorted(data + ["hopsasa.exe", INFO, "licences"]), windows_top, []),
            (WEB, self.web_names, web_top,
             ["data", "files.txt", "hopsasa.css", "hopsasa.js", "hopsasa.wasm", "index.html",
              INFO, "licences", "page.js"], os.path.join(web_top, "data"), []),
        ]
        for archive, names, top, entries, data_folder, executables in cases:
            with self.subTest(archive=archive):
                self.assertEqual({n.split("/")[0] for n in names}, {self.folder})
                self.assertEqual(sorted(os.listdir(top)), sorted(entries))
                for name in data:
                    self.assertTrue(filecmp.cmp(os.path.join(DATA, name),
                                                os.path.join(data_folder, name), shallow=False),
                                    name)
                self.assertTrue(os.listdir(os.path.join(top, "licences")))
                for name in executables:
                    self.assertTrue(os.access(os.path.join(top, name), os.X_OK), name)
                with open(os.path.join(top, INFO), "rb") as f:
                    self.assertEqual(f.read().replace(b"\r\n", b"\n"), self.info)
        self.assertIn(self.version, self.zip_comment)
        self.assertIn(self.version, self.web_comment)
        # The page fetches the files files.txt names from data/.
        with open(os.path.join(web_top, "files.txt")) as f:
            self.assertEqual(f.read().split(), data)
        with open(os.path.join(RELEASE_DIR, "SHA256SUMS")) as f:
            listed = sorted(line.split()[1] for line in f)
        self.assertEqual(listed, sorted(n for n in os.listdir(RELEASE_DIR) if n != "SHA256SUMS"))
        subprocess.run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=RELEASE_DIR,
                       check=True)

    def test_info_file_is_80_columns_of_ascii_and_states_the_facts(self):
        text = self.info.decode("ascii")
        for number, line in enumerate(text.splitlines(), 1):
            self.assertLess(len(line), 80, f"line {number}: {line!r}")
        top = os.path.join(self.linux, self.folder)
        elf = [os.path.join(top, "bin", "hopsasa")] + \
            [os.path.join(top, "lib", name) for name in os.listdir(os.path.join(top, "lib"))]
        glibc = max((tuple(int(p) for p in v.split(".")) for e in elf
                     for v in re.findall(r"GLIBC_(\d+\.\d+)", run("objdump", "-T", e))))
        flat = " ".join(text.split())
        for fact in [f"hopsasa {self.version}", f"glibc {glibc[0]}.{glibc[1]} or newer",
                     "Escape quits", "hopsasa-1080p60.mp4", "60 frames a second",
                     f"{show_frames(60)} frames", "libGL.so.1", "libasound.so.2",
                     "hopsasa-web.zip", "WebGL"]:
            self.assertIn(fact, flat)
        for name in os.listdir(os.path.join(top, "lib")):
            self.assertIn(name, flat, "each library in lib/ is named")
        for archive in (self.linux, self.windows, self.web):
            for licence in os.listdir(os.path.join(archive, self.folder, "licences")):
                self.assertRegex(flat, rf"\b{re.escape(licence[:-len('.txt')])} \d",
                                 "each licence is listed with its version")

    def licences(self, top):
        return {name[:-len(".txt")] for name in os.listdir(os.path.join(top, "licences"))}

    def test_linux_licences_are_those_of_what_is_inside(self):
        top = os.path.join(self.linux, self.folder)
        program = os.path.join(top, "bin", "hopsasa")
        lib = os.path.join(top, "lib")
        names = symbols(program)
        inside = {source for source, pattern in LINUX_INSIDE.items() if has(names, pattern)}
        self.assertEqual(inside, set(LINUX_INSIDE), "every library meant to be linked in is")
        for pattern in LEFT_OUT:
            self.assertFalse(has(names, pattern), f"{pattern}: a format the show never reads")

        # Every library the program or a bundled library needs is in lib/ or comes with a
        # desktop package; each in lib/ is there for a reason.
        desktop = desktop_packages()
        bundled = set(os.listdir(lib))
        wanted = set()
        for elf in [program] + [os.path.join(lib, n) for n in bundled]:
            for soname in needed(elf):
                if soname in bundled:
                    wanted.add(soname)
                else:
                    package = package_of(system_library(soname))
                    self.assertTrue(package in desktop,
                                    f"{soname} ({package}), needed by {elf}, is neither in "
                                    "lib/ nor a desktop library")
        self.assertEqual(wanted, bundled, "nothing in lib/ that nothing needs")
        for name in bundled:
            self.assertEqual(subprocess.run(["patchelf", "--print-rpath", os.path.join(lib, name)],
                                            capture_output=True, text=True).stdout.strip(),
                             "$ORIGIN", name)
            inside.add(source_package(system_library(name)))
        self.assertEqual(self.licences(top), inside)

    def test_windows_licences_are_those_of_what_is_inside(self):
        top = os.path.join(self.windows, self.folder)
        exe = os.path.join(top, "hopsasa.exe")
        dlls = re.findall(r"DLL Name: (\S+)", run("x86_64-w64-mingw32-objdump", "-p", exe))
        self.assertEqual({d.lower() for d in dlls} - WINDOWS_DLLS, set(),
                         "nothing but what Windows provides")
        names = symbols(exe, "x86_64-w64-mingw32-objdump")
        inside = {source for source, pattern in WINDOWS_INSIDE.items() if has(names, pattern)}
        self.assertEqual(inside, set(WINDOWS_INSIDE))
        self.assertEqual(self.licences(top), inside)

    def test_web_licences_are_those_of_what_is_inside(self):
        top = os.path.join(self.web, self.folder)
        inside = set()
        for source, (name, pattern) in WEB_INSIDE.items():
            with open(os.path.join(top, name), "rb") as f:
                if re.search(pattern, f.read()):
                    inside.add(source)
        self.assertEqual(inside, set(WEB_INSIDE), "every part meant to be in the page is")
        self.assertEqual(self.licences(top), inside | WEB_COMPILED_IN)

    def test_licence_files_hold_the_full_texts_they_name(self):
        for archive in (self.linux, self.windows, self.web):
            folder = os.path.join(archive, self.folder, "licences")
            for name in os.listdir(folder):
                with self.subTest(licence=name):
                    with open(os.path.join(folder, name), encoding="utf-8") as f:
                        text = f.read()
                    self.assertRegex(text.splitlines()[0], rf"^{re.escape(name[:-4])} \d")
                    named_texts = re.findall(
                        r"/usr/share/common-licenses/([A-Za-z0-9.+-]*[A-Za-z0-9+])", text)
                    for named in set(named_texts):
                        if os.path.isfile(f"/usr/share/common-licenses/{named}"):
                            self.assertIn(f"/usr/share/common-licenses/{named}:\n", text)


if __name__ == "__main__":
    unittest.main()
