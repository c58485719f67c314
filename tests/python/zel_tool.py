"""Running the zel program from the Python tests."""

import os
import subprocess

ZEL = os.environ.get("ZEL_BIN", "zel")

# Under the sanitizers the interpreter starts with their runtime preloaded; zel carries its own and
# refuses to run beside a second one.
ENVIRONMENT = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}


def run_zel(*args, check=False):
    """Runs zel with `args`; its exit code, output and errors are in the result."""
    return subprocess.run([ZEL, *args], capture_output=True, text=True, env=ENVIRONMENT,
                          check=check)
