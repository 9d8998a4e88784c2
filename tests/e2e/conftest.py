# The shared harness: its helpers, fixtures and collection hooks.
from harness import *  # noqa: F401,F403
