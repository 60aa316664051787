"""Deterministic inputs for the benchmark, made once and kept in the build folder."""
import math
import os
import random
import zipfile

SEED = 20240607
MIB = 1 << 20
PRODUCT_EXE = "霁岚舟.exe"


def _entry(name):
    """A deflated entry with a fixed date, so that the same sizes make the same file."""
    info = zipfile.ZipInfo(name, date_time=(2024, 6, 7, 12, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def _done_marker(path):
    return path + ".complete"


def _is_made(path):
    return os.path.exists(_done_marker(path))


def _mark_made(path):
    open(_done_marker(path), "w").close()


def download_file(folder, mib):
    """A file of pseudo-random bytes (not compressible) for nginx to serve."""
    path = os.path.join(folder, "package-%d.bin" % mib)
    if _is_made(path):
        return path
    os.makedirs(folder, exist_ok=True)
    block = random.Random(SEED).randbytes(MIB)
    with open(path, "wb") as out:
        for _ in range(mib):
            out.write(block)
    _mark_made(path)
    return path


def _text_pool(rng, size):
    """Text-like bytes: lines of words from a random vocabulary (deflates to about a third)."""
    letters = "abcdefghijklmnopqrstuvwxyz"
    words = ["".join(rng.choices(letters, k=rng.randint(2, 11))) for _ in range(6000)]
    lines, total = [], 0
    while total < size:
        line = " ".join(rng.choices(words, k=rng.randint(4, 16))) + "\n"
        lines.append(line)
        total += len(line)
    pool = "".join(lines).encode()[:size]
    return pool + pool  # so that any slice up to len(pool) can start anywhere


class _Text:
    def __init__(self, rng, pool_size=4 * MIB):
        self.rng = rng
        self.pool = _text_pool(rng, pool_size)
        self.half = len(self.pool) // 2

    def take(self, size):
        pieces = []
        while size > 0:
            n = min(size, self.half)
            start = self.rng.randrange(self.half)
            pieces.append(self.pool[start:start + n])
            size -= n
        return b"".join(pieces)


def _entry_sizes(rng, count, total):
    """Mixed sizes: mostly small, one in ten large, scaled to the total."""
    raw = []
    for _ in range(count):
        low, high = (100, 256 * 1024) if rng.random() < 0.9 else (256 * 1024, 8 * MIB)
        raw.append(math.exp(rng.uniform(math.log(low), math.log(high))))
    scale = total / sum(raw)
    sizes = [max(1, int(r * scale)) for r in raw]
    sizes[-1] += total - sum(sizes)
    return sizes


def _folders(rng, count):
    """Nested folder names, up to five levels, a few of them Chinese."""
    folders = ["Tovarelin"]
    for i in range(count):
        parent = rng.choice(folders)
        name = ("资料%03d" % i) if i % 10 == 0 else ("dir%03d" % i)
        folders.append(parent + "/" + name if parent.count("/") < 4 else "Tovarelin/" + name)
    return folders


def package_zip(folder, mib, files):
    """A deflated package of about MIB MiB in FILES entries, with the product in its top folder."""
    path = os.path.join(folder, "package-%d-%d.zip" % (mib, files))
    if _is_made(path):
        return path
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(SEED)
    text = _Text(rng)
    folders = _folders(rng, max(1, files // 20))
    sizes = _entry_sizes(rng, files - 1, mib * MIB)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr(_entry("Tovarelin/" + PRODUCT_EXE), text.take(2 * MIB))
        for i, size in enumerate(sizes):
            archive.writestr(_entry("%s/file%04d.txt" % (rng.choice(folders), i)), text.take(size))
    _mark_made(path)
    return path


def single_entry_zip(folder, mib):
    """One deflated entry of MIB MiB: memory must not follow the entry's size."""
    path = os.path.join(folder, "single-%d.zip" % mib)
    if _is_made(path):
        return path
    os.makedirs(folder, exist_ok=True)
    text = _Text(random.Random(SEED + mib))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        with archive.open(_entry("big.txt"), "w", force_zip64=True) as entry:
            for _ in range(mib):
                entry.write(text.take(MIB))
    _mark_made(path)
    return path


def search_tree(folder, entries):
    """About ENTRIES empty files and folders; the product sits in the walk's last folder.

    Returns (root, path of the product file). The product's folder is last in name order;
    where the walk really meets it is counted by the bench program, not assumed.
    """
    root = os.path.join(folder, "tree-%d" % entries)
    exe = os.path.join(root, "d19", "e19", "zz", PRODUCT_EXE)
    if _is_made(root):
        return root, exe
    files_per_leaf = max(1, round((entries - 422) / 400))  # 420 folders, zz and the product
    for top in range(20):
        for sub in range(20):
            leaf = os.path.join(root, "d%02d" % top, "e%02d" % sub)
            os.makedirs(leaf, exist_ok=True)
            for i in range(files_per_leaf):
                open(os.path.join(leaf, "f%03d.dat" % i), "w").close()
    os.makedirs(os.path.dirname(exe), exist_ok=True)
    open(exe, "w").close()
    _mark_made(root)
    return root, exe
