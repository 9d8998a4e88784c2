#!/bin/sh
# Starts the show from any working directory: the show reads its pictures and music from
# the folder it runs in, which is data/ beside this script.
here=$(dirname "$(readlink -f "$0")") || exit 1
cd "$here/data" || exit 1
exec "$here/bin/hopsasa" "$@"
