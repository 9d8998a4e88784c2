# Sourced first by every script in scripts/. `--help` or `-h` as the script's first argument
# prints its usage, the comment at its top, on standard output and ends it with status 0,
# before it does anything else. usage_error prints a problem and the usage on standard
# error and ends the script with status 2; no_arguments refuses any argument that way.
usage() { sed -n '2,/^[^#]/{/^#/{s/^# \{0,1\}//;p}}' "$0"; }
usage_error() {
    echo "$(basename "$0"): $1" >&2
    usage >&2
    exit 2
}
no_arguments() { [ $# -eq 0 ] || usage_error "takes no arguments, not '$1'"; }
case "${1:-}" in -h | --help)
    usage
    exit 0
    ;;
esac
