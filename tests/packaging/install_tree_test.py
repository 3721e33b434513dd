"""`cmake --install` into a prefix of its own: everything lands where the
desktop, man and a reader of the documents look for it."""

import os
import sys

sys.dont_write_bytecode = True

import unittest  # noqa: E402

import packaging_support as support  # noqa: E402

GRAY, COLOR = support.PROGRAMS


def render_manual(page):
    """The page as man shows it, in a UTF-8 locale since it quotes the
    programs' Japanese messages; troff's warnings are on stderr."""
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80", MANPAGER="cat", PAGER="cat")
    return support.run(["man", "--warnings", "-E", "UTF-8", "-l", str(page)], env=env)


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = support.fresh_scratch("install-tree") / "prefix with spaces"
        support.install(cls.prefix)
        cls.tree = support.tree(cls.prefix)

    def test_programs_are_installed_executable(self):
        for program in support.PROGRAMS:
            path = self.prefix / "bin" / program
            self.assertTrue(os.access(path, os.X_OK), path)

    def test_icons_fill_the_hicolor_sizes_they_are_named_for(self):
        sizes = sorted(p.parent.parent.name for p in (support.SOURCE_DIR / "assets/icon/hicolor").glob("*/apps/orvessa.png"))
        self.assertIn("48x48", sizes)
        for size in sizes:
            with self.subTest(size=size):
                icon = self.prefix / "share/icons/hicolor" / size / "apps/orvessa.png"
                width, height = support.png_size(icon)
                self.assertEqual(f"{width}x{height}", size)

    def test_launchers_find_their_program_and_icon_and_claim_photos(self):
        applications = self.prefix / "share/applications"
        for program in support.PROGRAMS:
            with self.subTest(program=program):
                path = applications / f"{program}.desktop"
                self.assertEqual(support.run(["desktop-file-validate", str(path)]).stderr, "")
                entry = support.read_desktop_entry(path)
                self.assertTrue((self.prefix / "bin" / entry["TryExec"]).is_file())
                self.assertTrue((self.prefix / "share/icons/hicolor/48x48/apps" / f"{entry['Icon']}.png").is_file())
        # What a desktop's "Open With" list is built from.
        support.run(["update-desktop-database", str(applications)])
        cache = (applications / "mimeinfo.cache").read_text(encoding="utf-8").splitlines()
        for mime_type in ("image/jpeg", "image/bmp"):
            line = next(line for line in cache if line.startswith(mime_type + "="))
            self.assertEqual(sorted(filter(None, line.split("=", 1)[1].split(";"))),
                             sorted(f"{p}.desktop" for p in support.PROGRAMS))

    def test_one_manual_page_serves_both_programs_without_warnings(self):
        man1 = self.prefix / "share/man/man1"
        self.assertEqual(self.tree[f"share/man/man1/{COLOR}.1.gz"], f"-> {GRAY}.1.gz")
        page = render_manual(man1 / f"{GRAY}.1.gz")
        self.assertEqual(page.stderr, "")
        text = " ".join(page.stdout.split())
        for expected in ("NAME", "orvessa, orvessa-color", "SYNOPSIS", "Orvessa ～ name.jpg",
                         "600 x 600 のOrvessa形式で保存しました。",
                         "アイコン（実行ファイル）上に画像ファイルをドロップしてください。",
                         "/info.php?pf=w&sn=orvessa"):
            self.assertTrue(expected in text, f"{expected!r} is not on the page")
        self.assertEqual(render_manual(man1 / f"{COLOR}.1.gz").stdout, page.stdout)

    def test_documents_and_the_sample_photo_come_along(self):
        docs = self.prefix / "share/doc/orvessa"
        for name in ("README.md", "LICENSE", "LICENSE-artwork.md", "examples/README.md"):
            self.assertEqual(self.tree.get(f"share/doc/orvessa/{name}"), "file", name)
        self.assertEqual((docs / "examples/rocket.jpg").read_bytes(),
                         (support.SOURCE_DIR / "assets/sample/rocket.jpg").read_bytes())

    def test_nothing_else_is_installed(self):
        expected_top = {"bin", "share"}
        self.assertEqual({path.split("/")[0] for path in self.tree}, expected_top)
        self.assertEqual(sorted(path for path in self.tree if path.startswith("bin/")), sorted(f"bin/{p}" for p in support.PROGRAMS))
        self.assertEqual({path.split("/")[1] for path in self.tree if path.startswith("share/")},
                         {"applications", "icons", "man", "doc"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
