#!/usr/bin/env python3
"""make bench: the installer's download, extraction and search, measured in one run beside
curl, unzip and a raw WinHTTP loop on the same data over loopback.

    run_bench.py BUILD_DIR

Sizes come from the environment so that a small run can come first, e.g.
BENCH_RUNS=2 BENCH_DOWNLOAD_RUNS=2 BENCH_DOWNLOAD_MIB=32 BENCH_EXTRACT_MIB=20 BENCH_EXTRACT_FILES=300.
"""
import base64
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(REPO, "bench"), os.path.join(REPO, "tests")]
import bench_data  # noqa: E402
import bench_report  # noqa: E402
import imports_test  # noqa: E402  (reads the installer's import and delay-import tables)
from cutting_relay import CuttingRelay  # noqa: E402
from nginx_server import NginxServer  # noqa: E402

MIB = bench_data.MIB
SETTINGS = {  # name: (environment variable, default)
    "runs": ("BENCH_RUNS", 5),
    "download_runs": ("BENCH_DOWNLOAD_RUNS", 7),
    "download_mib": ("BENCH_DOWNLOAD_MIB", 512),
    "memory_small_mib": ("BENCH_MEMORY_SMALL_MIB", 16),
    "memory_large_mib": ("BENCH_MEMORY_LARGE_MIB", 1024),
    "extract_mib": ("BENCH_EXTRACT_MIB", 200),
    "extract_files": ("BENCH_EXTRACT_FILES", 3000),
    "single_entry_mib": ("BENCH_SINGLE_ENTRY_MIB", 256),
    "search_entries": ("BENCH_SEARCH_ENTRIES", 20000),
    "look_entries": ("BENCH_LOOK_ENTRIES", 20000),
    "look_mib": ("BENCH_LOOK_MIB", 40),
}


def log(text):
    print("[bench] " + text, file=sys.stderr, flush=True)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def mib_per_s(size, seconds):
    return size / MIB / seconds


class BenchProgram:
    """tovarelin_bench.exe under Wine, through the tests' runner and its prefix."""

    def __init__(self, build):
        self.build = build
        self.exe = os.path.join(build, "bin", "tovarelin_bench.exe")
        self.env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        self.env["TOVARELIN_HOST_NETWORK"] = "1"  # nginx listens outside the run

    def run(self, *args, timeout=300):
        runner = os.path.join(REPO, "tests", "wine", "run.sh")
        # A session of its own: on a time-out the runner, Xvfb and the program end together.
        child = subprocess.Popen([runner, self.build, self.exe, *args], env=self.env,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 start_new_session=True)
        try:
            out, err = child.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.communicate()
            prefix = os.path.join(self.build, "wine", "prefix")
            subprocess.run(["wineserver", "-k"], env=dict(self.env, WINEPREFIX=prefix))
            raise RuntimeError("%s did not finish within %d s" % (args[0], timeout))
        lines = [l for l in out.decode("utf-8", "replace").splitlines() if l.startswith("{")]
        if not lines:
            raise RuntimeError("bench program printed nothing (exit %d): %s"
                               % (child.returncode, err.decode("utf-8", "replace")[-500:]))
        result = json.loads(lines[-1])
        if "error" in result:
            raise RuntimeError("%s failed: %s" % (args[0], result["error"]))
        return result


def expect_size(what, got, want):
    if got != want:
        raise RuntimeError("%s delivered %d bytes, expected %d" % (what, got, want))


def published_fields(path, work):
    """The package_sha256 and package_signature of the file, and the key's point, as a
    publisher makes them with openssl (a key pair made here for the run)."""
    key = os.path.join(work, "publisher.pem")
    public = os.path.join(work, "publisher.pub.pem")
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", key],
                   check=True)
    subprocess.run(["openssl", "ec", "-in", key, "-pubout", "-out", public], check=True,
                   capture_output=True)
    point = subprocess.run([os.path.join(REPO, "tools", "package_key.sh"), public], check=True,
                           capture_output=True, text=True).stdout.strip()
    digest = subprocess.run(["sha256sum", path], check=True, capture_output=True,
                            text=True).stdout.split()[0]
    signature = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path], check=True,
                               capture_output=True).stdout
    return [digest, point, base64.b64encode(signature).decode()]


def measure_download(cfg, bench, server, data, work):
    size = cfg["download_mib"] * MIB
    path = bench_data.download_file(data, cfg["download_mib"])
    url = server.url(os.path.basename(path))
    target = os.path.join(work, "download.bin")
    published = published_fields(path, work)
    ours, curl, ceiling, writing, messages, checks = [], [], [], [], [], []
    resumed, wire = [], []
    # Under a name the installer takes for a direct link, as DownloadPackage is given it.
    package = os.path.splitext(path)[0] + ".zip"
    if not os.path.exists(package):
        os.link(path, package)

    def httpget():
        # The checks throw, and the program reports an error, unless hash and signature hold.
        got = bench.run("download", url, windows_path(target), *published)
        expect_size("HttpGet", got["bytes"], size)
        if got["went_backwards"]:
            raise RuntimeError("progress went backwards")
        ours.append(mib_per_s(size, got["seconds"]))
        checks.append(got["check_seconds"])
        messages.append((got["messages"], got["last_percent"]))
        os.remove(target)

    def raw_winhttp():
        got = bench.run("ceiling", url)
        expect_size("raw WinHTTP", got["bytes"], size)
        ceiling.append(mib_per_s(size, got["seconds"]))

    def writing_winhttp():
        got = bench.run("ceiling", url, windows_path(target))
        expect_size("raw WinHTTP writing", got["bytes"], size)
        expect_size("raw WinHTTP's file", os.path.getsize(target), size)
        writing.append(mib_per_s(size, got["seconds"]))
        os.remove(target)

    def warm_up():
        bench.run("ceiling", url, windows_path(target))
        os.remove(target)

    def cut_and_resumed():
        # The link breaks at half; the next run asks nginx for the rest and checks the whole.
        folder = fresh_folder(os.path.join(work, "resume"))
        with CuttingRelay(server.port, size // 2) as relay:
            cut = bench.run("resume", relay.url(os.path.basename(package)), windows_path(folder),
                            *published)
        expect_size("the cut run's kept part", cut["kept_bytes"], size // 2)
        got = bench.run("resume", server.url(os.path.basename(package)), windows_path(folder),
                        *published)
        status, sent = server.last_logged()
        if cut["failure"] != "网络请求失败" or got["failure"] or status != 206:
            raise RuntimeError("cut: %r; resumed: %r, answered %d" % (cut["failure"],
                                                                        got["failure"], status))
        expect_size("the resumed run", got["kept_bytes"], size)
        if got["first_percent"] != 50:
            raise RuntimeError("the resumed run's bar started at %d" % got["first_percent"])
        resumed.append(got["seconds"])
        wire.append((relay.passed + sent) / size)
        shutil.rmtree(folder)

    def curl_o():
        out = subprocess.run(["curl", "--noproxy", "*", "-sS", "-o", target, "-w",
                              "%{size_download} %{time_total}", url],
                             check=True, capture_output=True, text=True).stdout.split()
        expect_size("curl", int(out[0]), size)
        curl.append(mib_per_s(size, float(out[1])))
        os.remove(target)

    for run in range(cfg["download_runs"]):
        # HttpGet and the writing ceiling twice each, in the order A B B A (A taking turns), so
        # that each round compares them on the machine as it is then and neither gains from its
        # place. The first file written after curl's was often far slower, whoever wrote it:
        # an untimed write goes first.
        pair = [httpget, writing_winhttp] if run % 2 == 0 else [writing_winhttp, httpget]
        order = [curl_o, raw_winhttp, warm_up] + pair + pair[::-1] + [cut_and_resumed]
        log("download %d/%d: %s (%d MiB each)" % (
            run + 1, cfg["download_runs"], ", ".join(f.__name__ for f in order),
            cfg["download_mib"]))
        for transfer in order:
            os.sync()  # each transfer starts with no writes of an earlier one pending
            transfer()
    return {"mib": cfg["download_mib"], "httpget_mib_s": ours, "curl_mib_s": curl,
            "ceiling_mib_s": ceiling, "writing_ceiling_mib_s": writing, "progress_messages": [m for m, _ in messages],
            "last_percent": [p for _, p in messages], "check_seconds": checks,
            "resumed_seconds": resumed, "wire_per_package": wire}


def measure_download_memory(cfg, bench, server, data, work):
    peaks = {}
    for key in ("memory_small_mib", "memory_large_mib"):
        mib = cfg[key]
        log("memory: HttpGet of %d MiB in a process of its own" % mib)
        url = server.url(os.path.basename(bench_data.download_file(data, mib)))
        target = os.path.join(work, "memory.bin")
        got = bench.run("download", url, windows_path(target))
        expect_size("HttpGet", got["bytes"], mib * MIB)
        os.remove(target)
        peaks[mib] = got["peak_working_set"]
    return {"peak_working_set": peaks}


def expect_tree(what, folder, files, size):
    got = tree_summary(folder)
    if got != (files, size):
        raise RuntimeError("%s left %d files of %d bytes, expected %d files of %d bytes"
                           % ((what,) + got + (files, size)))


def tree_summary(folder):
    files = total = 0
    for parent, _, names in os.walk(folder):
        for name in names:
            files += 1
            total += os.path.getsize(os.path.join(parent, name))
    return files, total


def zip_summary(path):
    with zipfile.ZipFile(path) as archive:
        entries = [e for e in archive.infolist() if not e.is_dir()]
    return len(entries), sum(e.file_size for e in entries), sum(e.compress_size for e in entries)


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def extract_ours(bench, package, folder):
    got = bench.run("extract", windows_path(package), windows_path(fresh_folder(folder)))
    if not got["ok"]:
        raise RuntimeError("ExtractZipArchive returned false for %s" % package)
    return got


def measure_extraction(cfg, bench, data, work):
    log("extraction: making the %d MiB package of %d files (once)" % (cfg["extract_mib"], cfg["extract_files"]))
    package = bench_data.package_zip(data, cfg["extract_mib"], cfg["extract_files"])
    files, size, packed = zip_summary(package)
    ours, unzip, extract_s, check_s = [], [], [], []
    for run in range(cfg["runs"]):
        log("extraction %d/%d: ExtractZipArchive, completion check, unzip -q"
            % (run + 1, cfg["runs"]))
        folder = os.path.join(work, "extract")
        got = extract_ours(bench, package, folder)
        expect_tree("ExtractZipArchive", folder, files, size)
        ours.append(mib_per_s(size, got["seconds"]))
        # The check as after the shell's copy: every file read back, right after it was written.
        check = bench.run("complete", windows_path(package), windows_path(folder))
        if not check["ok"]:
            raise RuntimeError("the completion check found the extracted tree incomplete")
        extract_s.append(got["seconds"])
        check_s.append(check["seconds"])
        fresh_folder(folder)
        start = time.perf_counter()
        subprocess.run(["unzip", "-q", package, "-d", folder], check=True,
                       env=dict(os.environ, LC_ALL="C.UTF-8"))
        unzip.append(mib_per_s(size, time.perf_counter() - start))
        expect_tree("unzip", folder, files, size)
        shutil.rmtree(folder)
    return {"files": files, "bytes": size, "packed_bytes": packed,
            "stand_in_mib_s": ours, "unzip_mib_s": unzip,
            "extract_seconds": extract_s, "check_seconds": check_s}


def measure_extraction_memory(cfg, bench, data, work):
    peaks = {}
    for mib in (1, cfg["single_entry_mib"]):
        log("memory: ExtractZipArchive of one %d MiB entry in a process of its own" % mib)
        folder = os.path.join(work, "single")
        got = extract_ours(bench, bench_data.single_entry_zip(data, mib), folder)
        expect_tree("ExtractZipArchive", folder, 1, mib * MIB)
        shutil.rmtree(folder)
        peaks[mib] = got["peak_working_set"]
    return {"peak_working_set": peaks}


def measure_look(cfg, bench, data, work):
    """The look at the tree that each pause makes while the shell copies: over an empty folder,
    and over the whole tree with one byte of one file still missing, so that no content is read
    yet. The first look over the whole tree lists every folder; the later ones only what the
    earlier found not yet in place."""
    log("look: making the %d MiB package of %d files (once)" % (cfg["look_mib"], cfg["look_entries"]))
    package = bench_data.package_zip(data, cfg["look_mib"], cfg["look_entries"])
    folder = fresh_folder(os.path.join(work, "look"))
    log("look: %d times over an empty folder" % cfg["runs"])
    empty = bench.run("look", windows_path(package), windows_path(folder), str(cfg["runs"]))
    extract_ours(bench, package, folder)
    product = os.path.join(folder, "Tovarelin", bench_data.PRODUCT_EXE)
    os.truncate(product, os.path.getsize(product) - 1)
    log("look: %d times over the whole tree but one byte" % cfg["runs"])
    full = bench.run("look", windows_path(package), windows_path(folder), str(cfg["runs"]))
    shutil.rmtree(folder)
    _, size, _ = zip_summary(package)
    if empty["bytes_in_place"] != 0 or full["bytes_in_place"] != size - 1 or full["complete"]:
        raise RuntimeError("the look measured %d and %d bytes in place of %d"
                           % (empty["bytes_in_place"], full["bytes_in_place"], size))
    return {"entries": full["entries"], "empty_seconds": empty["seconds"],
            "full_seconds": full["seconds"], "full_first_seconds": full["first_seconds"]}


def measure_switch(cfg, bench, data, work):
    """The switch of the look's package over an installed copy of it, round by round beside our
    reader's extraction of it into the staging folder: committed, then undone at its last
    rename, then committed with the deepest installed folder held as a current folder (Windows'
    rule: what lies above it cannot move whole). Each leaves one whole version."""
    package = bench_data.package_zip(data, cfg["look_mib"], cfg["look_entries"])
    files, size, _ = zip_summary(package)
    rounds = []
    for run in range(cfg["runs"]):
        log("switch %d/%d: over an installed version, committed, undone, committed with a folder "
            "held" % (run + 1, cfg["runs"]))
        folder = os.path.join(work, "switch")
        extract_ours(bench, package, folder)
        got = bench.run("switch", windows_path(package), windows_path(folder))
        if "error" in got:
            raise RuntimeError(got["error"])
        # The list of placed files is the one file the installation adds to the package's.
        expect_tree("the switch", os.path.join(folder, "Tovarelin"), files, size)
        if os.path.exists(os.path.join(folder, "_download")):
            raise RuntimeError("the switch left its download folder behind")
        rounds.append(got)
        shutil.rmtree(folder)
    return {"entries": cfg["look_entries"],
            "extract_seconds": [r["extract_seconds"] for r in rounds],
            "commit_seconds": [r["commit_seconds"] for r in rounds],
            "undo_seconds": [r["undo_seconds"] for r in rounds],
            "held_seconds": [r["held_seconds"] for r in rounds],
            "renames": rounds[-1]["renames"], "held_renames": rounds[-1]["held_renames"],
            "held_folder": rounds[-1]["held_folder"]}


def measure_search(cfg, bench, data):
    root, exe = bench_data.search_tree(data, cfg["search_entries"])
    log("search: FindProductExecutable %d times, with the product last and with none" % cfg["runs"])
    found = bench.run("find", windows_path(root), str(cfg["runs"]), windows_path(exe))
    if found["found"] != windows_path(exe):
        raise RuntimeError("search found %r, expected %r" % (found["found"], windows_path(exe)))
    aside = os.path.join(data, "aside.exe")
    os.rename(exe, aside)
    try:
        none = bench.run("find", windows_path(root), str(cfg["runs"]), windows_path(exe))
    finally:
        os.rename(aside, exe)
    if none["found"]:
        raise RuntimeError("search without the product found %r" % none["found"])
    return {"entries": found["entries"], "entries_before_match": found["entries_before_match"],
            "found_seconds": found["seconds"], "none_seconds": none["seconds"]}


def measure_size(build):
    exe = os.path.join(build, "bin", "TovarelinInstaller.exe")
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True,
                          capture_output=True, text=True).stdout
    with open(exe, "rb") as image:
        content = image.read()
    coff = int.from_bytes(content[0x3C:0x40], "little") + 4
    symbols = int.from_bytes(content[coff + 12:coff + 16], "little")
    return {"bytes": len(content), "imports": sorted(imports_test.ordinary_imports(dump)),
            "delay_loaded": sorted(imports_test.Image(content).delay_imports()),
            "coff_symbols": symbols}


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-bench")
    cfg = {name: int(os.environ.get(var, default)) for name, (var, default) in SETTINGS.items()}
    data = os.path.join(build, "bench-data")
    work = fresh_folder(os.path.join(build, "bench-work"))
    bench = BenchProgram(build)
    started = time.time()
    results = {"host": socket.gethostname(), "cores": os.cpu_count(),
               "date": time.strftime("%Y-%m-%d %H:%M:%S"), "config": cfg}

    def phase(name, measure, *args):
        try:
            results[name] = measure(*args)
        except Exception as failure:  # one broken phase must not hide the others' figures
            log("%s failed: %s" % (name, failure))
            results[name] = {"error": str(failure)}

    log("making the files to download (once)")
    for mib in (cfg["download_mib"], cfg["memory_small_mib"], cfg["memory_large_mib"]):
        bench_data.download_file(os.path.join(data, "www"), mib)
    server = NginxServer(os.path.join(build, "nginx"), os.path.join(data, "www"))
    server.start()
    try:
        phase("download", measure_download, cfg, bench, server, os.path.join(data, "www"), work)
        phase("download_memory", measure_download_memory, cfg, bench, server, os.path.join(data, "www"), work)
    finally:
        server.stop()
    phase("extraction", measure_extraction, cfg, bench, data, work)
    phase("extraction_memory", measure_extraction_memory, cfg, bench, data, work)
    phase("look", measure_look, cfg, bench, data, work)
    phase("switch", measure_switch, cfg, bench, data, work)
    phase("search", measure_search, cfg, bench, data)
    phase("size", measure_size, build)
    shutil.rmtree(work, ignore_errors=True)
    results["bench_seconds"] = round(time.time() - started, 1)

    lines, results["targets"], results["summary"] = bench_report.evaluate(results)
    with open(os.path.join(build, "bench.json"), "w") as out:
        json.dump(results, out, indent=2, ensure_ascii=False)
    print("\n".join(lines))
    return 1 if any("error" in v for v in results.values() if isinstance(v, dict)) else 0


if __name__ == "__main__":
    sys.exit(main())
