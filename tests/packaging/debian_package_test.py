"""The Debian package CPack makes from the build: what dpkg and apt see in
it, and that unpacked it is the same tree `cmake --install` gives."""

import os
import sys

sys.dont_write_bytecode = True

import unittest  # noqa: E402

import packaging_support as support  # noqa: E402

GRAY, COLOR = support.PROGRAMS


def listed_dependencies(field):
    """Package names in a Depends-style field; alternatives stay together."""
    names = []
    for clause in filter(None, (c.strip() for c in field.split(","))):
        names.append(" | ".join(alt.split("(")[0].strip() for alt in clause.split("|")))
    return names


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = support.fresh_scratch("debian-package")
        support.run([support.setting("ORVESSA_CPACK"), "-G", "DEB", "-B", str(cls.scratch / "out"),
                     "--config", str(support.BUILD_DIR / "CPackConfig.cmake")], cwd=support.BUILD_DIR, timeout=300)
        packages = sorted((cls.scratch / "out").glob("*.deb"))
        if len(packages) != 1:
            raise AssertionError(f"expected one package, found {packages}")
        cls.deb = packages[0]

    def field(self, name):
        return support.run(["dpkg-deb", "--field", str(self.deb), name]).stdout.strip()

    def test_control_names_the_package_for_the_graphics_section(self):
        architecture = support.run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(self.deb.name, f"orvessa_{self.field('Version')}_{architecture}.deb")
        self.assertEqual(self.field("Package"), "orvessa")
        self.assertEqual(self.field("Architecture"), architecture)
        self.assertEqual(self.field("Section"), "graphics")
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^@<>]+@[^@<>]+>$")
        description = self.field("Description").splitlines()
        self.assertEqual(description[0], "mount a photo as a print and save it as a JPEG")
        self.assertGreater(len(description), 2)

    def test_depends_on_what_the_programs_load_at_run_time(self):
        depends = listed_dependencies(self.field("Depends"))
        for needed in ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libjpeg62-turbo",
                       "qt6-qpa-plugins", "fonts-ipafont-gothic | fonts-japanese-gothic"):
            self.assertIn(needed, depends)
        self.assertEqual(listed_dependencies(self.field("Recommends")), ["xdg-utils"])

    def test_apt_could_install_it_here(self):
        # A dry run: nothing on this machine changes.
        result = support.run(["apt-get", "--simulate", "--quiet", "install", str(self.deb)],
                             env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        self.assertRegex(result.stdout, r"(?m)^Inst orvessa ")

    def test_unpacks_to_the_tree_an_installation_into_usr_gives(self):
        root = self.scratch / "root"
        support.run(["dpkg-deb", "--extract", str(self.deb), str(root)])
        reference = self.scratch / "destdir"
        support.install("/usr", destdir=reference)
        self.assertEqual(support.tree(root), support.tree(reference))
        # Binaries differ only by being stripped; everything else is the same.
        for path, kind in support.tree(root).items():
            if kind == "file" and not path.startswith("usr/bin/"):
                self.assertEqual((root / path).read_bytes(), (reference / path).read_bytes(), path)

    def test_files_belong_to_root_with_ordinary_modes(self):
        listing = support.run(["dpkg-deb", "--contents", str(self.deb)]).stdout.splitlines()
        self.assertTrue(listing)
        for line in listing:
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            with self.subTest(path=path):
                self.assertEqual(owner, "root/root")
                if mode.startswith("d") or path.startswith("./usr/bin/"):
                    self.assertEqual(mode[1:], "rwxr-xr-x")
                elif mode.startswith("l"):
                    self.assertTrue(path.endswith(f"{COLOR}.1.gz -> {GRAY}.1.gz"))
                else:
                    self.assertEqual(mode, "-rw-r--r--")
        self.assertTrue(any(line.endswith(f"./usr/share/applications/{GRAY}.desktop") for line in listing))


if __name__ == "__main__":
    unittest.main(verbosity=2)
