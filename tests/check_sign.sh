#!/usr/bin/env bash
# scripts/sign.sh on copies of the built DLL and installer with a throw-away certificate: both
# signed and verified; a wrong password, a missing certificate and a file that cannot be signed
# each fail with a message and leave every file as it was.
#   check_sign.sh DLL MSI
set -euo pipefail
sign=$(cd "$(dirname "$0")/.." && pwd)/scripts/sign.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
openssl req -x509 -newkey rsa:3072 -nodes -days 1 -subj "/CN=KX throw-away signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout pass:right
cp "$1" library.dll
cp "$2" installer.msi
printf 'not a program' >broken.dll
cp library.dll library.before
cp installer.msi installer.before
status=0
expect_refusal() {
    local what=$1
    shift
    if "$@" >out.log 2>&1; then
        echo "FAIL: $what was signed"; status=1
    elif ! grep -q "^sign.sh: " out.log; then
        echo "FAIL: $what failed without saying why:"; cat out.log; status=1
    elif ! cmp -s library.dll library.before || ! cmp -s installer.msi installer.before; then
        echo "FAIL: $what left a file changed"; status=1
    fi
}
expect_refusal "a wrong password" env KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=wrong bash "$sign" library.dll installer.msi
expect_refusal "a missing certificate" env KX_SIGN_PKCS12=none.p12 KX_SIGN_PASSWORD=right bash "$sign" library.dll installer.msi
expect_refusal "a file that cannot be signed" env KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=right KX_SIGN_CAFILE=cert.pem \
    bash "$sign" library.dll installer.msi broken.dll
KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=right KX_SIGN_CAFILE=cert.pem bash "$sign" library.dll installer.msi || status=1
for file in library.dll installer.msi; do
    osslsigncode verify -CAfile cert.pem -in "$file" >/dev/null 2>&1 || { echo "FAIL: $file is not signed"; status=1; }
done
[ $status = 0 ] && echo "signing: refusals and signatures as expected"
exit $status
