#!/usr/bin/env bash
# scripts/sign.sh on copies of the built DLL and installer, in two folders, with a throw-away
# certificate: both signed and verified; a wrong password, a missing certificate, one without its
# key, a signing time that is no count of seconds, a file that cannot be signed and a signal during
# signing each fail saying why, leave every file as it was and leave nothing beside them.
# Stand-ins for openssl and osslsigncode note after every call the password on their command line,
# any file in TMPDIR (which may be another file system, or a disk that outlives the run) and any
# file of the run holding the password or a key.
#   check_sign.sh DLL MSI
set -euo pipefail
sign=$(cd "$(dirname "$0")/.." && pwd)/scripts/sign.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run" "$work/run/tmp" "$work/run/other"
cat >"$work/bin/openssl" <<'SPY'
#!/usr/bin/env bash
# The real tool is the one PATH names after this folder.
PATH=${PATH#*:} "${0##*/}" "$@" && status=0 || status=$?
exec >>"${0%/*}/../findings"
[[ " $* " != *"$KX_SIGN_PASSWORD"* ]] || echo "the password on the command line of ${0##*/}"
ls -A "$TMPDIR" | sed 's/^/in TMPDIR: /'
grep -rlF -e "$KX_SIGN_PASSWORD" -e "PRIVATE KEY" "${0%/*}/../run" | sed 's/^/key material in: /' || true
# Asked to, it stops the run as an interrupt would, with a signed copy already made.
[ "$1 ${SPY_SIGNAL:-}" != "verify TERM" ] || { trap '' TERM; kill -TERM 0; }
exit $status
SPY
chmod +x "$work/bin/openssl" && ln -s openssl "$work/bin/osslsigncode"
cd "$work/run"
openssl req -x509 -newkey rsa:3072 -nodes -days 1 -subj "/CN=KX throw-away signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout pass:kx-7Qz-right
openssl pkcs12 -export -nokeys -in cert.pem -out nokey.p12 -passout pass:kx-7Qz-right
rm key.pem
cp "$1" library.dll
cp "$2" other/installer.msi
printf 'not a program' >broken.dll
cp library.dll library.before
cp other/installer.msi installer.before
listing=$(ls -AR)
as_signer=(setsid -w env PATH="$work/bin:$PATH" TMPDIR="$work/run/tmp" KX_SIGN_PKCS12=cert.p12
    KX_SIGN_PASSWORD=kx-7Qz-right KX_SIGN_CAFILE=cert.pem)
status=0
expect_refusal() {
    local what=$1 why=$2
    shift 2
    if "$@" >../out.log 2>&1; then
        echo "FAIL: $what was signed"; status=1
    elif ! grep -q "^sign.sh: .*$why" ../out.log; then
        echo "FAIL: $what failed without saying \"$why\":"; cat ../out.log; status=1
    elif ! cmp -s library.dll library.before || ! cmp -s other/installer.msi installer.before; then
        echo "FAIL: $what left a file changed"; status=1
    elif [ "$(ls -AR)" != "$listing" ]; then
        echo "FAIL: $what left files behind:"; diff <(echo "$listing") <(ls -AR); status=1
    fi
}
targets=(library.dll other/installer.msi)
sign_both=(bash "$sign" "${targets[@]}")
expect_refusal "a wrong password" "wrong password" "${as_signer[@]}" KX_SIGN_PASSWORD=kx-7Qz-wrong "${sign_both[@]}"
expect_refusal "a missing certificate" "cannot read" "${as_signer[@]}" KX_SIGN_PKCS12=none.p12 "${sign_both[@]}"
expect_refusal "a certificate without its key" "no private key" \
    "${as_signer[@]}" KX_SIGN_PKCS12=nokey.p12 "${sign_both[@]}"
expect_refusal "a signing time that is no time" "not a count of seconds" \
    "${as_signer[@]}" SOURCE_DATE_EPOCH="1e9" "${sign_both[@]}"
expect_refusal "a file that cannot be signed" "signing broken.dll failed" \
    "${as_signer[@]}" "${sign_both[@]}" broken.dll
expect_refusal "a signal during signing" "interrupted" "${as_signer[@]}" SPY_SIGNAL=TERM "${sign_both[@]}"
"${as_signer[@]}" "${sign_both[@]}" || status=1
for file in "${targets[@]}"; do
    osslsigncode verify -CAfile cert.pem -in "$file" >/dev/null 2>&1 || { echo "FAIL: $file is not signed"; status=1; }
done
[ ! -s ../findings ] || { echo "FAIL: the stand-ins found:"; sort -u ../findings; status=1; }
[ $status = 0 ] && echo "signing: refusals and signatures as expected"
exit $status
