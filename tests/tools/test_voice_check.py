#!/usr/bin/env python3
"""voice_check's figures over several noise seeds and SNRs, its list of the
clips that fail most often, its targets and its noise level, without the
recogniser (which the tests do not need installed)."""

import contextlib
import importlib.machinery
import importlib.util
import io
import math
import os
import sys
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "voice_check")
loader = importlib.machinery.SourceFileLoader("voice_check", TOOL)
spec = importlib.util.spec_from_loader("voice_check", loader)
vc = importlib.util.module_from_spec(spec)
loader.exec_module(vc)

PHRASES = {"SON6": "six", "SON60": "sixty", "SON7": "seven", "SON_FOG": "fog"}


def rows(heard):
    """(name, heard) rows: heard maps a clip to what was heard (its phrase if absent)."""
    return [(n, heard.get(n, PHRASES[n])) for n in PHRASES]


class Figures(unittest.TestCase):
    def setUp(self):
        self.results = {
            (20.0, 150): rows({}),
            (20.0, 151): rows({"SON60": "fifty"}),
            (12.0, 150): rows({"SON60": "fifty", "SON6": "third"}),
            (12.0, 151): rows({"SON60": "fifty", "SON6": "fifty", "SON_FOG": "june"}),
            (12.0, 152): rows({"SON60": "sixty one", "SON6": "third"}),
        }

    def test_mean_and_minimum_per_snr_highest_snr_first(self):
        figures = vc.snr_figures(self.results, PHRASES)
        self.assertEqual(list(figures), [20.0, 12.0])
        mean, low, per_seed = figures[20.0]
        self.assertAlmostEqual(mean, 87.5)
        self.assertAlmostEqual(low, 75.0)
        self.assertEqual(per_seed, [(150, 100.0), (151, 75.0)])
        mean, low, per_seed = figures[12.0]
        self.assertAlmostEqual(mean, (50 + 25 + 50) / 3)
        self.assertAlmostEqual(low, 25.0)
        self.assertEqual([s for s, _ in per_seed], [150, 151, 152])

    def test_most_failed_counts_every_noisy_trial_with_the_commonest_mistake(self):
        worst = vc.most_failed(self.results, PHRASES)
        self.assertEqual(worst[0], (4, 5, "SON60", "fifty"))
        self.assertEqual(worst[1], (3, 5, "SON6", "third"))
        self.assertEqual(worst[2], (1, 5, "SON_FOG", "june"))
        self.assertEqual(len(worst), 3)  # SON7 never failed

    def test_ties_keep_the_table_order(self):
        results = {(20.0, 150): rows({"SON_FOG": "june", "SON6": "third"})}
        self.assertEqual([n for _, _, n, _ in vc.most_failed(results, PHRASES)], ["SON6", "SON_FOG"])


class Targets(unittest.TestCase):
    def figures(self, low20, low12):
        return {20.0: (90.0, low20, []), 12.0: (80.0, low12, [])}

    def test_each_condition_is_judged_on_its_own(self):
        self.assertTrue(vc.targets_met(99.0, self.figures(88.0, 75.0), 1.0, -1.0, 0))
        self.assertFalse(vc.targets_met(98.9, self.figures(88.0, 75.0), 1.0, -1.0, 0))
        self.assertFalse(vc.targets_met(99.5, self.figures(87.9, 80.0), 0.5, -1.5, 0))
        self.assertFalse(vc.targets_met(99.5, self.figures(90.0, 74.9), 0.5, -1.5, 0))
        self.assertFalse(vc.targets_met(99.5, self.figures(90.0, 80.0), 1.1, -1.5, 0))
        self.assertFalse(vc.targets_met(99.5, self.figures(90.0, 80.0), 0.5, -0.9, 0))
        self.assertFalse(vc.targets_met(99.5, self.figures(90.0, 80.0), 0.5, -1.5, 1))

    def test_an_snr_without_a_target_and_skipped_measures_are_not_judged(self):
        self.assertTrue(vc.targets_met(99.5, {6.0: (40.0, 30.0, [])}, None, None, None))


class Noise(unittest.TestCase):
    def test_noise_sits_the_ratio_below_the_clip_without_its_padding(self):
        pad = 400
        tone = [8000.0 * math.sin(2 * math.pi * 440 * i / vc.RATE) for i in range(4000)]
        band = [0.0] * pad + tone + [0.0] * pad
        noise = [(-1.0) ** i for i in range(3000)]  # unit RMS, shorter than the clip: repeated
        for snr in (20.0, 12.0):
            mixed = vc.to_floats(vc.add_noise(band, pad, noise, snr))
            self.assertEqual(len(mixed), len(band))
            # the padding holds the noise alone
            self.assertAlmostEqual(vc.rms(mixed[:pad]) / vc.rms(tone), 10 ** (-snr / 20), delta=0.002)
            added = [m - b for m, b in zip(mixed, band)]
            self.assertAlmostEqual(20 * math.log10(vc.rms(tone) / vc.rms(added)), snr, delta=0.1)

    def test_samples_are_clipped_to_sixteen_bits(self):
        self.assertEqual(list(vc.to_floats(vc.to_pcm([40000.0, -40000.0, 1.4]))), [32767, -32768, 1])


class Options(unittest.TestCase):
    def test_snrs_from_repeated_and_comma_lists_without_duplicates(self):
        self.assertEqual(vc.parse_snrs(["20", "12,20", "6.5"]), [20.0, 12.0, 6.5])

    def test_bad_values_are_refused_with_a_message(self):
        for argv in (["--snr", "loud"], ["--seeds", "0"]):
            err = io.StringIO()
            old = sys.argv
            sys.argv = ["voice_check"] + argv
            try:
                with contextlib.redirect_stderr(err), self.assertRaises(SystemExit) as stop:
                    vc.main()
            finally:
                sys.argv = old
            self.assertEqual(stop.exception.code, 2)
            self.assertIn("voice_check: --s", err.getvalue())


if __name__ == "__main__":
    unittest.main()
