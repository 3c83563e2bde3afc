#!/bin/sh
# Runs one test program with a folder of its own for everything a user's session would
# keep: home, configuration (Qt's file dialog history among it), data, cache, runtime
# folder, temporary files and an empty device root. The folder is removed when the program
# ends, whether it passed, failed a check or aborted; it lies below the first argument (in
# the build folder), so even a test killed at its time-out leaves nothing outside that.
# Usage: kevo-test-env.sh FOLDER PROGRAM [ARGUMENT...]
base=$1
shift
mkdir -p "$base" && dir=$(mktemp -d "$base/kevo-test-XXXXXX") || {
    echo "kevo-test-env: cannot make a temporary folder" >&2
    exit 1
}
trap 'rm -rf "$dir"' EXIT
trap 'exit 130' INT HUP TERM
mkdir "$dir/home" "$dir/config" "$dir/data" "$dir/cache" "$dir/tmp" "$dir/dev" || exit 1
mkdir -m 700 "$dir/runtime" || exit 1
HOME=$dir/home XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_CACHE_HOME=$dir/cache \
    XDG_RUNTIME_DIR=$dir/runtime TMPDIR=$dir/tmp VLCOM_DEV_ROOT=$dir/dev "$@"
