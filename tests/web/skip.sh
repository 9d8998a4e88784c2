#!/bin/sh
# A test that cannot run here: says why, and exits with CTest's skip status.
echo "skipped: $1"
exit 77
