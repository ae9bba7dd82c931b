"""What the Python tests of --check share: NuSMV found as the tests find it,
checks that note a failure and go on, and a scratch folder to run in."""
import os
import shutil
import sys
import tempfile

NUSMV = os.environ.get("RUVELLO_NUSMV") or shutil.which("NuSMV")
failures = []


def need_nusmv():
    """Skips the test (status 77, which CTest reports) without NuSMV."""
    if not NUSMV or not os.access(NUSMV, os.X_OK):
        print("SKIPPED: no NuSMV (set RUVELLO_NUSMV, or put NuSMV on PATH)")
        sys.exit(77)
    os.environ["RUVELLO_NUSMV"] = NUSMV


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def run_in_scratch(test):
    """Runs `test` in a new folder, removed afterwards, and ends the script
    with the tests' status."""
    work = tempfile.mkdtemp()
    try:
        os.chdir(work)
        test()
    finally:
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        sys.exit(1)
    print("passed")
