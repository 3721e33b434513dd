"""The two launchers as the build generates them: valid for the desktop
tools, and saying what each program is and how it takes a photo."""

import sys

sys.dont_write_bytecode = True

import unittest  # noqa: E402

import packaging_support as support  # noqa: E402

GRAY, COLOR = support.PROGRAMS


class GeneratedEntries(unittest.TestCase):
    def entry_path(self, program):
        return support.BUILD_DIR / "packaging" / f"{program}.desktop"

    def test_desktop_tools_accept_both_without_a_word(self):
        for program in support.PROGRAMS:
            with self.subTest(program=program):
                result = support.run(["desktop-file-validate", str(self.entry_path(program))])
                self.assertEqual(result.stdout + result.stderr, "")

    def test_each_starts_its_own_program_once_per_photo(self):
        for program in support.PROGRAMS:
            with self.subTest(program=program):
                entry = support.read_desktop_entry(self.entry_path(program))
                self.assertEqual(entry["Type"], "Application")
                # One file per run; the path reaches the program whole.
                self.assertEqual(support.exec_argv(entry, self.entry_path(program), ["/a b/c d.jpg"]),
                                 [[program, "/a b/c d.jpg"]])
                self.assertEqual(entry["TryExec"], program)
                self.assertEqual(entry["StartupWMClass"], program)
                self.assertEqual(entry["Terminal"], "false")
                self.assertEqual(entry["Icon"], "orvessa")
                self.assertEqual(entry["MimeType"].split(";"), ["image/jpeg", "image/bmp", ""])
                self.assertIn("Graphics", entry["Categories"].split(";"))

    def test_names_tell_the_editions_apart_in_both_languages(self):
        entries = {p: support.read_desktop_entry(self.entry_path(p)) for p in support.PROGRAMS}
        for key in ("Name", "Name[ja]", "GenericName", "GenericName[ja]", "Comment", "Comment[ja]"):
            with self.subTest(key=key):
                self.assertNotEqual(entries[GRAY][key], entries[COLOR][key])
        self.assertIn("gray", entries[GRAY]["Comment"])
        self.assertIn("モノクロ", entries[GRAY]["Comment[ja]"])
        self.assertIn("colour", entries[COLOR]["Comment"])
        self.assertIn("カラー", entries[COLOR]["Comment[ja]"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
