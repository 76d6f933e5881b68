#!/usr/bin/env python3
"""The test bundle's runner as it is used on Windows, here under Wine: the
bundle unpacked into a fresh prefix that the project's prefix script made
(and nothing else of the Linux harness), its run-tests.exe run there. Its
full run is the suite's run of the test programs.

Run by ctest with TW_BUILD, TW_TEST_BUNDLE and TW_PLANT (a test program that
leaves a file on the Desktop) set.
"""
import os
import re
import shutil
import subprocess
import unittest
import zipfile

TOOLS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "tools")
ROOT = os.path.join(os.environ["TW_BUILD"], "bundle-test")
# Not a CI job, as far as the runner can tell; each case says what it is.
ENV = {name: value for name, value in os.environ.items() if name not in ("CI", "GITHUB_ACTIONS")}
ENV["TW_BUILD"] = ROOT
BUNDLE = os.path.splitext(os.path.basename(os.environ["TW_TEST_BUNDLE"]))[0]
FOLDER = os.path.join(ROOT, "wineprefix", "drive_c", BUNDLE)


def run(*args, **env):
    done = subprocess.run([os.path.join(TOOLS, "wine-run"), "C:\\%s\\run-tests.exe" % BUNDLE, *args],
                          env=dict(ENV, **env), stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=840)
    return done.returncode, done.stdout.splitlines()


class BundleTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)
        shutil.rmtree(ROOT, ignore_errors=True)
        os.makedirs(ROOT)
        subprocess.run([os.path.join(TOOLS, "prefix-setup")], env=ENV, check=True)
        with zipfile.ZipFile(os.environ["TW_TEST_BUNDLE"]) as bundle:
            bundle.extractall(os.path.dirname(FOLDER))

    @classmethod
    def tearDownClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)

    def test_1_it_runs_every_program_at_each_dpi_and_tells_each_and_the_total(self):
        status, lines = run()
        with open(os.path.join(FOLDER, "dpi-runs.txt")) as table:
            dpi_runs = ["%s at %s dpi" % tuple(line.split()[:2]) for line in table]
        programs = sorted(name[:-4] for name in os.listdir(FOLDER) if name.endswith("_test.exe"))
        if status != 0:
            # What failed, in the words of the program that failed.
            for line in lines:
                if line.startswith("FAIL ") and ":" in line:
                    name = line[5:].split(":")[0].replace(" at ", "-").replace(" dpi", "dpi")
                    log = os.path.join(FOLDER, "results", name + ".log")
                    if os.path.exists(log):
                        with open(log, errors="replace") as output:
                            print(output.read())
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertEqual(lines[0], "run-tests: running on Wine")
        self.assertEqual(len(programs), 10)
        self.assertEqual([line[5:].split(":")[0] for line in lines[1:-1]], programs + dpi_runs)
        counts = [re.search(r": (\d+) passed, 0 failed(?:, (\d+) skipped)? ", line) for line in lines[1:-1]]
        passed = sum(int(count.group(1)) for count in counts)
        skipped = sum(int(count.group(2) or 0) for count in counts)
        # And one case for the machine, as it was.
        self.assertEqual(lines[-1], "%d passed, 0 failed" % (passed + 1) + (", %d skipped" % skipped if skipped else ""))
        with open(os.path.join(FOLDER, "results", "junit.xml")) as junit:
            text = junit.read()
        self.assertIn('<testcase name="TheMachineIsAsItWas" classname="run-tests"></testcase>', text)
        self.assertIn('<testsuite name="144dpi.PickerResourceTest"', text)
        self.assertEqual(text.count('failures="0"'), text.count("<testsuite "))
        with open(os.path.join(FOLDER, "results", "report.txt")) as report:
            self.assertEqual(report.read().splitlines(), lines[1:])

    def test_2_it_refuses_a_pc_that_may_be_somebodys(self):
        # What Windows outside a sandbox and a CI job would see.
        status, lines = run("--only", "catalogue_test", TW_RUNNER_AS_ON_WINDOWS="1")
        self.assertEqual(status, 3)
        self.assertTrue(lines[0].startswith("run-tests: refused."), lines)
        self.assertEqual(run("--only", "catalogue_test", "--disposable-machine", TW_RUNNER_AS_ON_WINDOWS="1")[0], 0)
        self.assertEqual(run("--only", "catalogue_test", TW_RUNNER_AS_ON_WINDOWS="1", CI="true")[0], 0)

    def test_3_a_file_a_test_leaves_on_the_desktop_is_a_failure_that_names_it(self):
        shutil.copyfile(os.environ["TW_PLANT"], os.path.join(FOLDER, "plant_test.exe"))
        try:
            status, lines = run("--only", "plant_test")
        finally:
            os.remove(os.path.join(FOLDER, "plant_test.exe"))
        self.assertEqual(status, 1)
        self.assertIn("FAIL the machine: the Desktop gained planted by a test.txt", lines)
        self.assertEqual(lines[-1], "1 passed, 1 failed")


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
