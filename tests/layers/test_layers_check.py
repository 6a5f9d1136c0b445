#!/usr/bin/env python3
"""The layer check on small made-up trees: it must pass a tree that keeps its
layers and fail, naming the file, the line and both layers, on one that does not."""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "layers_check.py")

TABLE = """\
# bottom first
base:
base/ui:    base
logic:      base
top:        logic base/ui
(root):     top
"""


class LayersCheckTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        self.src = os.path.join(self.root, "src")
        self.table = os.path.join(self.root, "layers.txt")
        self.write_table(TABLE)
        self.write("base/Units.h", "#pragma once\n#include <QString>\n")
        self.write("base/ui/Picture.h", '#pragma once\n#include "base/Units.h"\n')
        self.write("logic/Reader.h", '#pragma once\n\n#include "base/Units.h"\n')
        self.write("logic/Reader.cpp", '#include "logic/Reader.h"\n')
        self.write("top/Window.cpp", '#include "logic/Reader.h"\n#include "base/ui/Picture.h"\n')
        self.write("main.cpp", '#include "top/Window.h"\n')
        self.write("top/Window.h", '#pragma once\n#include "base/Units.h" // two layers down\n')

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, relative, text):
        path = os.path.join(self.src, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def write_table(self, text):
        with open(self.table, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))

    def run_check(self):
        result = subprocess.run([sys.executable, CHECKER, "--src", self.src, "--table", self.table],
                                capture_output=True, text=True)
        return result.returncode, result.stderr

    def test_a_tree_that_keeps_its_layers_passes(self):
        code, errors = self.run_check()
        self.assertEqual(code, 0, errors)

    def test_an_upward_include_fails_with_file_line_and_both_layers(self):
        self.write("base/Units.cpp", '#include "base/Units.h"\n\n#include "logic/Reader.h"\n')
        code, errors = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("src/base/Units.cpp:3: upward include of logic/Reader.h: "
                      "layer base may not include layer logic", errors)
        self.assertEqual(errors.count("include of"), 1, errors)

    def test_an_include_two_layers_up_and_one_from_a_lower_window_fail(self):
        self.write("base/ui/Picture.cpp", '#include "top/Window.h"\n')
        self.write("logic/Decoder.cpp", '  #  include "top/Window.h"\n')
        code, errors = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("src/base/ui/Picture.cpp:1: upward include of top/Window.h", errors)
        self.assertIn("src/logic/Decoder.cpp:1: upward include of top/Window.h: layer logic", errors)

    def test_layers_the_table_does_not_stack_may_not_include_each_other(self):
        self.write("logic/Speech.cpp", '#include "base/ui/Picture.h"\n')
        code, errors = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("src/logic/Speech.cpp:1: sideways include of base/ui/Picture.h: "
                      "layer logic may not include layer base/ui", errors)

    def test_a_folder_missing_from_the_table_fails(self):
        self.write("extra/Thing.cpp", '#include "base/Units.h"\n')
        self.write("logic/Other.cpp", '#include "extra/Thing.h"\n')
        self.write("extra/Thing.h", "#pragma once\n")
        code, errors = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("src/extra/Thing.cpp:1: folder extra is not in the layer table", errors)
        self.assertIn("src/logic/Other.cpp:1: includes extra/Thing.h, whose folder extra", errors)

    def test_an_include_of_a_missing_file_fails(self):
        self.write("logic/Gone.cpp", '#include "logic/Nowhere.h"\n')
        code, errors = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn('src/logic/Gone.cpp:1: "logic/Nowhere.h" is not a file of src/', errors)

    def test_a_table_with_a_cycle_or_an_unknown_layer_is_refused(self):
        self.write_table(TABLE + "base/ui: top\n")
        code, errors = self.run_check()
        self.assertEqual(code, 2)
        self.assertIn("base/ui is listed twice", errors)

        self.write_table(TABLE.replace("base:\n", "base: top\n"))
        code, errors = self.run_check()
        self.assertEqual(code, 2)
        self.assertIn("the table has a cycle", errors)

        self.write_table(TABLE.replace("logic:      base", "logic:      base engine"))
        code, errors = self.run_check()
        self.assertEqual(code, 2)
        self.assertIn("logic may include engine, which the table does not list", errors)

    def test_includes_in_comments_of_the_line_and_angle_includes_are_not_edges(self):
        self.write("base/Tail.h", '#pragma once\n#include <vector>\n// #include "top/Window.h" is not an include\n')
        code, errors = self.run_check()
        self.assertEqual(code, 0, errors)


if __name__ == "__main__":
    unittest.main()
