#!/usr/bin/env python3
"""The benchmark's own logic: its verdicts, and the data it makes."""
import os
import random
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_data  # noqa: E402
import bench_report  # noqa: E402

MIB = 1 << 20


def results(httpget, ceiling, messages, small_peak, large_peak, size, imports, check,
            checks=0.2, look=0.1, undo=0.5, held=0.75, resumed=4.0, wire=1.01):
    return {
        "host": "h", "cores": 2, "date": "d", "bench_seconds": 1.0,
        "download": {"mib": 512, "httpget_mib_s": httpget, "curl_mib_s": [500.0] * len(httpget),
                     "ceiling_mib_s": [110.0], "writing_ceiling_mib_s": ceiling,
                     "progress_messages": [messages], "last_percent": [100],
                     "check_seconds": [checks], "resumed_seconds": [resumed],
                     "wire_per_package": [1.0, wire]},
        # Keys as JSON gives them back: strings, and "1024" sorts before "16" as text.
        "download_memory": {"peak_working_set": {"16": small_peak, "1024": large_peak}},
        "extraction": {"files": 3, "bytes": MIB, "packed_bytes": MIB,
                       "stand_in_mib_s": [50.0], "unzip_mib_s": [100.0],
                       "extract_seconds": [4.0, 2.0], "check_seconds": check},
        "extraction_memory": {"error": "not run"},
        "look": {"entries": 10, "empty_seconds": [0.05], "full_seconds": [look],
                 "full_first_seconds": 0.4},
        "switch": {"entries": 10, "extract_seconds": [[4.0, 2.0, 3.0]], "commit_seconds": [1.0],
                   "undo_seconds": [undo], "held_seconds": [held], "renames": 3,
                   "held_renames": 9, "held_folder": "a\\b"},
        "search": {"entries": 10, "entries_before_match": 9, "found_seconds": [0.1],
                   "none_seconds": [0.1]},
        "size": {"bytes": size, "imports": imports, "delay_loaded": ["winhttp.dll"],
                 "coff_symbols": 0},
    }


class Verdicts(unittest.TestCase):
    def verdicts(self, **changes):
        base = dict(httpget=[95.0], ceiling=[100.0], messages=101, small_peak=20 * MIB,
                    large_peak=27 * MIB, size=200 * 1024, imports=["KERNEL32.dll"],
                    check=[1.0, 0.5])
        base.update(changes)
        lines, targets, summary = bench_report.evaluate(results(**base))
        self.assertEqual(summary, lines[-1])
        return {name: target["met"] for name, target in targets.items()}

    def test_each_target_is_met_at_its_bound_and_missed_past_it(self):
        self.assertTrue(all(self.verdicts().pop(k) for k in
                            ("httpget_vs_ceiling", "progress_messages", "download_memory",
                             "extraction_vs_unzip", "check_vs_extraction", "installer_size",
                             "installer_imports", "checks_vs_download", "look_full",
                             "switch_commit", "switch_undo", "switch_held",
                             "resume_vs_download", "resume_wire")))
        cases = [
            ({"httpget": [94.9]}, "httpget_vs_ceiling"),
            ({"messages": 102}, "progress_messages"),
            ({"check": [1.0, 0.52]}, "check_vs_extraction"),
            ({"checks": 0.27}, "checks_vs_download"),  # 512 MiB at 95 MiB/s: 5.4 s to download
            ({"look": 0.101}, "look_full"),  # a fifth of the 500 ms pause
            ({"undo": 0.51}, "switch_undo"),  # against the 2 s extraction before it
            ({"held": 0.76}, "switch_held"),  # against the 3 s extraction before it
            ({"resumed": 4.32}, "resume_vs_download"),  # 512 MiB at 95 MiB/s: 5.39 s whole
            ({"wire": 1.0101}, "resume_wire"),
            ({"large_peak": 28 * MIB}, "download_memory"),
            ({"size": 200 * 1024 + 1}, "installer_size"),
            ({"imports": ["KERNEL32.dll", "libstdc++-6.dll"]}, "installer_imports"),
        ]
        for change, target in cases:
            self.assertFalse(self.verdicts(**change)[target], change)

    def test_httpget_is_compared_with_the_ceiling_of_its_own_round(self):
        # Two runs of each per round. A slow round slows both, and the faster second place
        # goes to each in turn; the rounds agree where the runs one by one would not.
        drift = {"httpget": [93.0, 93.0, 100.0, 100.0, 92.0, 92.0],
                 "ceiling": [100.0, 100.0, 101.0, 101.0, 96.0, 96.0]}
        self.assertTrue(self.verdicts(**drift)["httpget_vs_ceiling"])
        places = {"httpget": [60.0, 130.0, 62.0, 128.0], "ceiling": [130.0, 60.0, 128.0, 62.0]}
        self.assertTrue(self.verdicts(**places)["httpget_vs_ceiling"])
        behind = {"httpget": [90.0, 90.0, 100.0, 100.0, 110.0, 110.0],
                  "ceiling": [100.0, 100.0, 110.0, 110.0, 90.0, 90.0]}
        self.assertFalse(self.verdicts(**behind)["httpget_vs_ceiling"])

    def test_a_phase_that_failed_counts_as_missed(self):
        self.assertFalse(self.verdicts()["extraction_memory"])


class Data(unittest.TestCase):
    def test_entry_sizes_are_mixed_and_add_up_to_the_total(self):
        sizes = bench_data._entry_sizes(random.Random(1), 3000, 200 * MIB)
        self.assertEqual(200 * MIB, sum(sizes))
        self.assertLess(min(sizes), 1024)
        self.assertGreater(max(sizes), MIB)

    def test_package_is_the_same_every_time_and_holds_the_product(self):
        with tempfile.TemporaryDirectory() as one, tempfile.TemporaryDirectory() as two:
            first, second = (bench_data.package_zip(d, 1, 40) for d in (one, two))
            with open(first, "rb") as a, open(second, "rb") as b:
                self.assertEqual(a.read(), b.read())
            with zipfile.ZipFile(first) as archive:
                names = archive.namelist()
                self.assertIsNone(archive.testzip())
            self.assertEqual(40, len(names))
            self.assertIn("Tovarelin/" + bench_data.PRODUCT_EXE, names)
            self.assertLessEqual(max(n.count("/") for n in names), 6)


if __name__ == "__main__":
    unittest.main()
