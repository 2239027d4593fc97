"""Runs the end-to-end tests (tests/e2e/test_*.py) and prints the closing count line.

Called by run_e2e.sh inside its namespace; arguments are test names (test_startup,
test_startup.StartupTest.test_close_box) or -k patterns, as unittest takes them.
"""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


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
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
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
