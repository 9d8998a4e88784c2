# The shared harness (tests/e2e).
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import *  # noqa: E402,F401,F403
