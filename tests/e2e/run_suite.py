"""Runs the end-to-end tests (tests/e2e/test_*.py) and prints the closing count line.

Called by run_e2e.sh inside its namespace; arguments are test names (test_startup,
test_startup.StartupTest.test_close_box) or -k patterns, as unittest takes them. When
KALVANE_E2E_JUNIT names a file, the outcome of every test is also written there as JUnit XML.
"""

import os
import sys
import unittest
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))


class RecordingResult(unittest.TextTestResult):
    """Also keeps the tests that passed, which unittest only counts."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.successes = []

    def addSuccess(self, test):
        super().addSuccess(test)
        self.successes.append(test)


def write_junit(result, path):
    """One <testcase> per outcome, counted as in the closing line: an expected failure is
    neither passed nor failed, so it goes in as skipped."""
    outcomes = [(test, None, "") for test in result.successes]
    outcomes += [(test, "failure", text) for test, text in result.failures]
    outcomes += [(test, "failure", "unexpected success") for test in result.unexpectedSuccesses]
    outcomes += [(test, "error", text) for test, text in result.errors]
    outcomes += [(test, "skipped", reason) for test, reason in result.skipped]
    outcomes += [(test, "skipped", "expected failure") for test, _ in result.expectedFailures]
    failures = len(result.failures) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped) + len(result.expectedFailures)
    suite = ElementTree.Element("testsuite", name="e2e", tests=str(len(outcomes)),
                                failures=str(failures), errors=str(len(result.errors)),
                                skipped=str(skipped))
    for test, kind, text in outcomes:
        # A subtest's id is its test's id and its parameters, which may hold dots.
        classname = getattr(test, "test_case", test).id().rpartition(".")[0]
        name = test.id()[len(classname) + 1:] if classname else test.id()
        case = ElementTree.SubElement(suite, "testcase", classname=classname, name=name)
        if kind:
            ElementTree.SubElement(case, kind).text = text
    ElementTree.ElementTree(suite).write(path, encoding="utf-8", xml_declaration=True)


def main(argv):
    sys.path.insert(0, HERE)
    loader = unittest.TestLoader()
    names, patterns = [], []
    args = iter(argv)
    for arg in args:
        if arg == "-k":
            patterns.append(next(args, "*"))
        else:
            names.append(arg)
    if patterns:
        loader.testNamePatterns = ["*%s*" % p if "*" not in p else p for p in patterns]
    if names:
        suite = loader.loadTestsFromNames(names)
    else:
        suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout,
                                     resultclass=RecordingResult).run(suite)
    if os.environ.get("KALVANE_E2E_JUNIT"):
        write_junit(result, os.environ["KALVANE_E2E_JUNIT"])
    # A test whose subtests fail counts once, as the test it is.
    failed = len({getattr(test, "test_case", test).id()
                  for test, _ in result.failures + result.errors}) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    passed = result.testsRun - failed - skipped - len(result.expectedFailures)
    if result.testsRun == 0:
        failed += 1  # a run that found no test is no pass
    line = "e2e: %d passed, %d failed" % (passed, failed)
    if skipped:
        line += ", %d skipped" % skipped
    print(line, flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
