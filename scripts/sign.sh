#!/usr/bin/env bash
# Signs DLLs and installers (Authenticode, SHA-256) with the integrator's code-signing
# certificate through osslsigncode, in place and all or nothing: every file is signed into a
# copy and every signature verified before any file is replaced.
# No key material touches the disk or a command line: openssl takes the password from the
# environment, osslsigncode through a pipe, and the decrypted key is only ever in a pipe.
#   KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=... bash scripts/sign.sh FILE...
# KX_SIGN_PKCS12     the certificate with its private key (PKCS#12)
# KX_SIGN_PASSWORD   its password (read from the environment, never put on a command line or on disk)
# KX_SIGN_TIMESTAMP  optional: an RFC 3161 timestamp server, e.g. http://timestamp.example.com
# KX_SIGN_CAFILE     optional: the PEM root(s) the verification trusts (default: the system's
#                    bundle; a self-signed certificate names itself)
# KX_SIGN_TSA_CAFILE optional: the same for the timestamp server's certificate
# The driver package's catalog (.cat) is not made here: Inf2Cat makes it on Windows.
set -euo pipefail
fail() { echo "sign.sh: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "name the DLLs and installers to sign"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (Debian package osslsigncode)"
p12=${KX_SIGN_PKCS12:-}
[ -n "$p12" ] || fail "KX_SIGN_PKCS12 names no certificate"
[ -r "$p12" ] || fail "cannot read the certificate $p12"
[ -n "${KX_SIGN_PASSWORD+set}" ] || fail "KX_SIGN_PASSWORD is not set"
cafile=${KX_SIGN_CAFILE:-/etc/ssl/certs/ca-certificates.crt}
tsa_cafile=${KX_SIGN_TSA_CAFILE:-/etc/ssl/certs/ca-certificates.crt}
for file in "$@"; do
    [ -f "$file" ] || fail "no file $file"
    case ${file,,} in *.dll | *.msi) ;; *) fail "$file is neither a DLL nor an installer" ;; esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
fi
index=0
for file in "$@"; do
    index=$((index + 1))
    signed="$work/$index-$(basename "$file")"
    # osslsigncode 2.5 takes a password only from a path: /dev/fd/3 is a pipe from printf, a
    # builtin, so no process shows the password. It drops the newline, which an empty password needs.
    osslsigncode sign -pkcs12 "$p12" -readpass /dev/fd/3 -h sha256 "${timestamp[@]}" \
        -n "KX Vantorel TZ7100 Network Explorer integration" -in "$file" -out "$signed" >"$work/log" 2>&1 \
        3< <(printf '%s\n' "$KX_SIGN_PASSWORD") ||
        { cat "$work/log" >&2; fail "signing $file failed: nothing was replaced"; }
    osslsigncode verify -CAfile "$cafile" "${verify_timestamp[@]}" -in "$signed" >"$work/log" 2>&1 ||
        { cat "$work/log" >&2; fail "the signature of $file does not verify: nothing was replaced"; }
    echo "signed and verified: $file ($(grep -m1 -i 'Subject:' "$work/log" | sed 's/^[[:space:]]*//'))"
done
index=0
for file in "$@"; do
    index=$((index + 1))
    mv -f "$work/$index-$(basename "$file")" "$file"
done
