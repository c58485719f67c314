"""The installed ZelControl: `cmake --install` (what `make install` runs) into a temporary prefix,
the example host program built against it with CMake and with pkg-config, the installed zel and
Python module used from there."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

BUILD = os.environ["ZEL_BUILD_DIR"]
SOURCE = os.environ["ZEL_SOURCE_DIR"]
CMAKE = os.environ.get("ZEL_CMAKE", "cmake")
CXX = os.environ.get("ZEL_CXX", "c++")
HOST = os.path.join(SOURCE, "examples", "host")


def run(args, **kwargs):
    """Runs a program of the build machinery, without the sanitizer runtime the test may carry."""
    env = dict(os.environ, **kwargs.pop("env", {}))
    env.pop("LD_PRELOAD", None)
    result = subprocess.run(args, capture_output=True, text=True, env=env, **kwargs)
    if result.returncode != 0:
        raise AssertionError(f"{args} failed ({result.returncode}):\n{result.stdout}\n{result.stderr}")
    return result.stdout


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="zelinstall-")
        cls.prefix = os.path.join(cls.dir, "prefix")
        run([CMAKE, "--install", BUILD, "--prefix", cls.prefix, "--strip"])
        cls.zel = os.path.join(cls.prefix, "bin", "zel")
        cls.catalogue = os.path.join(cls.dir, "demo.zel")
        run([cls.zel, "create", cls.catalogue])
        run([cls.zel, "import", cls.catalogue, os.path.join(SOURCE, "examples", "collection.xml"),
             "--quiet"])
        found = json.loads(run([cls.zel, "appearances", cls.catalogue, "T. Keller", "--json"]))
        cls.expected = {hit["ProfileID"] for hit in found["Appearances"]
                        if hit["Kind"] == "profile"}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def check_host(self, program):
        out = run([program, self.catalogue, "T. Keller"]).splitlines()
        self.assertEqual(out[0], "T. Keller (Tomas Keller)")
        # One line per credit (zel appearances gathers them by title).
        self.assertEqual({line.split()[1] for line in out[1:-1] if line.startswith("title")},
                         self.expected)
        self.assertEqual(out[-1], f"{len(out) - 2} appearances")

    def test_host_program_builds_with_cmake_against_the_installed_package(self):
        build = os.path.join(self.dir, "host-cmake")
        run([CMAKE, "-S", HOST, "-B", build, f"-DCMAKE_PREFIX_PATH={self.prefix}",
             f"-DCMAKE_CXX_COMPILER={CXX}"])
        run([CMAKE, "--build", build])
        self.check_host(os.path.join(build, "appearances"))

    def test_host_program_builds_with_pkg_config(self):
        pkg_config = os.path.join(self.prefix, "lib", "pkgconfig")
        flags = run(["pkg-config", "--cflags", "--libs", "zelcontrol"],
                    env={"PKG_CONFIG_PATH": pkg_config}).split()
        program = os.path.join(self.dir, "host-pkg-config")
        run([CXX, "-std=c++20", os.path.join(HOST, "appearances.cpp"), "-o", program] + flags)
        self.check_host(program)

    def test_python_module_lands_where_python3_looks_for_the_prefix(self):
        found = [root for root, _, files in os.walk(self.prefix)
                 if any(name.startswith("zelcontrol.") and name.endswith(".so") for name in files)]
        self.assertEqual(len(found), 1)
        relative = os.path.relpath(found[0], self.prefix)
        # Installed with the default prefix, the interpreter finds it without PYTHONPATH.
        self.assertIn(os.path.join("/usr/local", relative), sys.path)
        env = {"PYTHONPATH": found[0]}
        if os.environ.get("ZEL_PYTHON_PRELOAD"):
            # The interpreter, not built with the sanitizers, loads their runtime first.
            env.update(LD_PRELOAD=os.environ["ZEL_PYTHON_PRELOAD"], ASAN_OPTIONS="detect_leaks=0")
        result = subprocess.run(
            [sys.executable, "-c", "import zelcontrol, sys; db = zelcontrol.Control().OpenDatabase("
             "sys.argv[1]); print(zelcontrol.__file__); print(db.Profiles.Count)", self.catalogue],
            capture_output=True, text=True, env=dict(os.environ, **env))
        self.assertEqual(result.returncode, 0, result.stderr)
        out = result.stdout.split()
        self.assertTrue(out[0].startswith(self.prefix))
        self.assertEqual(out[1], "30")


if __name__ == "__main__":
    unittest.main()
