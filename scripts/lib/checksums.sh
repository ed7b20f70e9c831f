# SPDX-License-Identifier: MIT
# Sourced by the stages that check a release command's SHA256SUMS.
# shellcheck shell=bash

# check_sums DIR FILE...: DIR/SHA256SUMS names exactly the FILEs, relative to
# DIR, and each one matches its sum, as a user checks a download.
check_sums() {
    local dir=$1 listed expected
    shift
    listed=$(sed 's/^[0-9a-f]\{64\} [ *]//' "$dir/SHA256SUMS" | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [ "$listed" != "$expected" ]; then
        echo "$dir/SHA256SUMS lists:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected" >&2
        return 1
    fi
    (cd "$dir" && sha256sum --check --strict SHA256SUMS)
}
