# Sourced by the scripts that package and sign: kx_product NAME prints the value that
# cmake/product.cmake sets for KX_NAME, the one place the product's names are defined.
kx_product() {
    local value
    value=$(sed -n "s/^set(KX_$1 \"\{0,1\}\([^\")]*\)\"\{0,1\})\$/\1/p" "$(dirname "${BASH_SOURCE[0]}")/product.cmake")
    [ -n "$value" ] || { echo "cmake/product.cmake sets no KX_$1" >&2; return 1; }
    printf '%s\n' "$value"
}
# The release's time: SOURCE_DATE_EPOCH when set, else the time of the last commit. A clone that
# belongs to another user (a CI checkout) is read all the same: only its log is asked for.
kx_release_time() {
    if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        printf '%s\n' "$SOURCE_DATE_EPOCH"
        return
    fi
    local top
    top=$(dirname "${BASH_SOURCE[0]}")/..
    git -c safe.directory='*' -C "$top" log -1 --format=%ct 2>/dev/null ||
        { echo "not a git clone: set SOURCE_DATE_EPOCH to the release's time" >&2; return 1; }
}
# Exports the release's time as SOURCE_DATE_EPOCH, for every program a release script runs.
kx_export_release_time() {
    SOURCE_DATE_EPOCH=$(kx_release_time) || return 1
    export SOURCE_DATE_EPOCH
}
