#!/usr/bin/env bash
# Signs DLLs and installers (Authenticode, SHA-256) with the integrator's code-signing
# certificate through osslsigncode, in place and all or nothing: every file is signed into a copy
# beside it (.NAME.kxsign.tmp) and every signature verified before any copy is renamed over its
# file. The copies sit in the file's own folder because only there is replacing a rename; from a
# temporary folder on another file system it would be a copy that can stop halfway. A failure or
# a signal removes the copies and leaves every file as it was.
# No key material touches the disk or a command line: openssl takes the password from the
# environment, osslsigncode through a pipe, and the decrypted key is only ever in a pipe.
#   KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=... bash scripts/sign.sh FILE...
# KX_SIGN_PKCS12     the certificate with its private key (PKCS#12)
# KX_SIGN_PASSWORD   its password (read from the environment, never put on a command line or on disk)
# KX_SIGN_TIMESTAMP  optional: an RFC 3161 timestamp server, e.g. http://timestamp.example.com
# KX_SIGN_CAFILE     optional: the PEM root(s) the verification trusts (default: the system's
#                    bundle; a self-signed certificate names itself)
# KX_SIGN_TSA_CAFILE optional: the same for the timestamp server's certificate
# SOURCE_DATE_EPOCH  optional: the signing time when no timestamp server is named (else now)
# The driver package's catalog (.cat) is not made here: Inf2Cat makes it on Windows.
set -euo pipefail
fail() { echo "sign.sh: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "name the DLLs and installers to sign"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (Debian package osslsigncode)"
p12=${KX_SIGN_PKCS12:-}
[ -n "$p12" ] || fail "KX_SIGN_PKCS12 names no certificate"
[ -r "$p12" ] || fail "cannot read the certificate $p12"
[ -n "${KX_SIGN_PASSWORD+set}" ] || fail "KX_SIGN_PASSWORD is not set"
. "$(dirname "$0")/../cmake/product.sh"
product=$(kx_product PRODUCT_NAME)
cafile=${KX_SIGN_CAFILE:-/etc/ssl/certs/ca-certificates.crt}
tsa_cafile=${KX_SIGN_TSA_CAFILE:-/etc/ssl/certs/ca-certificates.crt}
for file in "$@"; do
    [ -f "$file" ] || fail "no file $file"
    case ${file,,} in *.dll | *.msi) ;; *) fail "$file is neither a DLL nor an installer" ;; esac
    [ -w "$(dirname -- "$file")" ] || fail "cannot write to the folder of $file"
done

# A wrong password or a file that holds no key must say so, not surface as a signing error.
# Certificates exported by Windows may use the legacy ciphers, which OpenSSL 3 reads only so.
# grep -c reads to the end, so openssl never writes into a closed pipe and fails for it.
count_keys() {
    openssl pkcs12 "$@" -in "$p12" -passin env:KX_SIGN_PASSWORD -nocerts -nodes 2>/dev/null |
        { grep -c "PRIVATE KEY" || true; }
}
keys=$(count_keys) || keys=$(count_keys -legacy) ||
    fail "cannot open $p12: wrong password, or not a PKCS#12 file"
[ "$keys" -gt 0 ] || fail "$p12 holds no private key"

timestamp=()
verify_timestamp=()
if [ -n "${KX_SIGN_TIMESTAMP:-}" ]; then
    timestamp=(-ts "$KX_SIGN_TIMESTAMP")
    verify_timestamp=(-TSA-CAfile "$tsa_cafile")
elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    # Without a timestamp server the signing time is the release's, so that signing one release
    # twice gives the same bytes; Windows trusts only a countersigned time in any case.
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]{1,12}$ ]] || fail "SOURCE_DATE_EPOCH '$SOURCE_DATE_EPOCH' is not a count of seconds"
    timestamp=(-time "$SOURCE_DATE_EPOCH")
fi
staged=()
trap 'rm -f -- "${staged[@]}"' EXIT
trap 'fail "interrupted: nothing was replaced"' HUP INT TERM
for file in "$@"; do
    stage="$(dirname -- "$file")/.$(basename -- "$file").kxsign.tmp"
    # Left by a run that was killed outright, or the same file named twice.
    [ ! -e "$stage" ] || fail "$stage is in the way (is $file named twice?): nothing was replaced"
    staged+=("$stage")
    # osslsigncode 2.5 takes a password only from a path: /dev/fd/3 is a pipe from printf, a
    # builtin, so no process shows the password. It drops the newline, which an empty password needs.
    log=$(osslsigncode sign -pkcs12 "$p12" -readpass /dev/fd/3 -h sha256 "${timestamp[@]}" \
        -n "$product" -in "$file" -out "$stage" \
        2>&1 3< <(printf '%s\n' "$KX_SIGN_PASSWORD")) ||
        { echo "$log" >&2; fail "signing $file failed: nothing was replaced"; }
    log=$(osslsigncode verify -CAfile "$cafile" "${verify_timestamp[@]}" -in "$stage" 2>&1) ||
        { echo "$log" >&2; fail "the signature of $file does not verify: nothing was replaced"; }
    chmod --reference="$file" -- "$stage" # the rename replaces the file, so keep its permissions
    echo "signed and verified: $file ($(printf '%s\n' "$log" | grep -m1 -i 'Subject:' | sed 's/^[[:space:]]*//'))"
done
# A signal between two renames would leave some files signed and others not.
trap '' HUP INT TERM
index=0
for file in "$@"; do
    mv -f -- "${staged[index]}" "$file"
    index=$((index + 1))
done
