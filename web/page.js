// The page around the show: fetches the show's data files (listed in files.txt beside the
// page) into the in-memory file system while the start screen waits for a click, starts
// the show from that click (browsers allow sound and fullscreen only in answer to one),
// and shows the end screen when the show has ended, with "watch again".
//
// Address options, for tests and for a look at one moment:
//   ?fps=N       the frame clock: the show's counter moves 1/N s per presented frame
//                instead of with real time, so every frame is drawn at an exact moment
//   ?from=S      start the show S seconds in (hopsasa --from S)
//
// window.hopsasaPage tells how the page stands: its state ("loading", "ready", "playing",
// "ended" or "failed"), the lines the show printed, the files that could not be fetched,
// and the frame statistics (frames presented, the show's work per frame in milliseconds).
"use strict";

(function () {
  const params = new URLSearchParams(window.location.search);
  const stage = document.getElementById("stage");
  const canvas = document.getElementById("canvas");
  const startScreen = document.getElementById("start");
  const endScreen = document.getElementById("end");
  const startButton = document.getElementById("start-button");
  const againButton = document.getElementById("again-button");
  const status = document.getElementById("status");

  const page = {
    state: "loading",
    printed: [],
    missing: [],
    // Presents, the show's work per frame (ms, from the animation frame to the present),
    // and the times of the first and latest present (performance.now()).
    frames: { presented: 0, workSum: 0, workMax: 0, work: [] },
    exitStatus: null,
  };
  window.hopsasaPage = page;

  const setState = (state, text) => {
    page.state = state;
    status.textContent = text || "";
  };

  let runtimeReady;
  const runtime = new Promise((resolve) => { runtimeReady = resolve; });

  // What the show writes to standard output reaches the console as it is printed.
  const print = (line) => {
    page.printed.push(line);
    console.log(line);
  };

  window.Module = {
    canvas: canvas,
    hopsasaFullscreenElement: stage,
    hopsasaFrameRate: Number.parseInt(params.get("fps") || "0", 10) || 0,
    noInitialRun: true,
    print: print,
    // Emscripten's GL emulation announces itself on the error stream when the context is
    // made; those notices are about the emulation, not the show.
    printErr: (line) => {
      if (!line.startsWith("WARNING: using emscripten GL"))
        console.error(line);
    },
    onRuntimeInitialized: () => runtimeReady(),
    hopsasaFramePresented: (drawnAt, presented, worked) => {
      const f = page.frames;
      const now = performance.now();
      if (f.firstAt === undefined)
        f.firstAt = now;
      f.lastAt = now;
      f.presented = presented;
      if (worked > 0) {
        f.workSum += worked;
        f.workMax = Math.max(f.workMax, worked);
        if (f.work.length < 20000)
          f.work.push(worked);
      }
      if (page.onFrame)
        page.onFrame(drawnAt, presented, worked);
    },
  };

  // The data files, fetched at once; a file the server does not have is left out, and the
  // show reports it as it would a missing file on disk.
  const fetchFiles = async () => {
    const list = await fetch("files.txt").then((r) => {
      if (!r.ok)
        throw new Error("files.txt: " + r.status);
      return r.text();
    });
    const names = list.split("\n").map((s) => s.trim()).filter((s) => s.length > 0);
    let done = 0;
    const files = await Promise.all(names.map(async (name) => {
      const response = await fetch("data/" + encodeURIComponent(name));
      done += 1;
      setState("loading", "loading " + done + " of " + names.length);
      if (!response.ok) {
        page.missing.push(name);
        return null;
      }
      return { name: name, bytes: new Uint8Array(await response.arrayBuffer()) };
    }));
    return files.filter((f) => f !== null);
  };

  const ready = Promise.all([fetchFiles(), runtime]).then(([files]) => {
    const FS = window.Module.FS;
    FS.mkdir("/show");
    for (const file of files)
      FS.writeFile("/show/" + file.name, file.bytes);
    FS.chdir("/show");
    setState("ready");
  });
  ready.catch((error) => setState("failed", "The show could not be loaded: " + error.message));

  const script = document.createElement("script");
  script.src = "hopsasa.js";
  script.onerror = () => setState("failed", "The show could not be loaded.");
  document.body.appendChild(script);

  // main(argc, argv) as the command line would call it.
  const runMain = (args) => {
    const M = window.Module;
    const words = ["hopsasa"].concat(args);
    const argv = M._malloc(4 * (words.length + 1));
    const strings = words.map((word) => {
      const size = M.lengthBytesUTF8(word) + 1;
      const at = M._malloc(size);
      M.stringToUTF8(word, at, size);
      return at;
    });
    strings.forEach((at, i) => M.HEAP32[(argv >> 2) + i] = at);
    M.HEAP32[(argv >> 2) + words.length] = 0;
    return M.ccall("main", "number", ["number", "number"], [words.length, argv], { async: true })
      .finally(() => {
        strings.forEach((at) => M._free(at));
        M._free(argv);
      });
  };

  let started = false;
  const start = async () => {
    if (started)
      return;
    started = true;
    if (page.state !== "ready")
      setState(page.state, "loading…");
    try {
      await ready;
    } catch (error) {
      started = false;
      return;
    }
    startScreen.hidden = true;
    endScreen.hidden = true;
    setState("playing");
    const from = params.get("from");
    try {
      page.exitStatus = await runMain(from ? ["--from", from] : []);
    } catch (error) {
      setState("failed", "The show stopped: " + error);
      startScreen.hidden = false;
      started = false;
      return;
    }
    canvas.style.visibility = "hidden";
    if (document.fullscreenElement)
      document.exitFullscreen().catch(() => {});
    endScreen.hidden = false;
    setState("ended");
    started = false;
    againButton.focus();
  };

  startButton.addEventListener("click", start);
  againButton.addEventListener("click", start);
  startButton.focus();
})();
