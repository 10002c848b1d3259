# Zig builds its C and C++ runtime from its own sources the first time a program or a DLL is
# linked, and passes on the warnings those sources give; they say nothing about this project.
# Drops each warning located in Zig's library folder (lib, with the lines that belong to it) and
# the "N warnings generated." counts. Errors, and every diagnostic of the project's own sources,
# pass unchanged.
{
    if ($0 ~ /^[0-9]+ warnings? generated\.$/) {
        next
    }
    if ($0 ~ /^(In file included from |[^ ]+:[0-9]+:[0-9]+: )/) {
        skip = index($0, lib) == 1 && $0 ~ /: (warning|note): /
    }
    if (!skip) {
        print
    }
}
