# Sourced by the scripts that package and sign: kx_product NAME prints the value that
# cmake/product.cmake sets for KX_NAME, the one place the product's names are defined.
kx_product() {
    local value
    value=$(sed -n "s/^set(KX_$1 \"\{0,1\}\([^\")]*\)\"\{0,1\})\$/\1/p" "$(dirname "${BASH_SOURCE[0]}")/product.cmake")
    [ -n "$value" ] || { echo "cmake/product.cmake sets no KX_$1" >&2; return 1; }
    printf '%s\n' "$value"
}
