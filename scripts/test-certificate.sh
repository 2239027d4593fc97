#!/usr/bin/env bash
# Makes a throwaway certificate authority and a code-signing certificate issued by it, for tests
# of the signed release only (never for a real one). Into FOLDER, which the caller removes:
#   ca.pem         the authority's certificate (osslsigncode verify -CAfile FOLDER/ca.pem ...)
#   signer.p12     the signing key with its certificate and the authority's (KALVANE_SIGN_PKCS12)
#   password       a random password for signer.p12 (KALVANE_SIGN_PASSWORD_FILE)
# RSA keys: their PKCS#1 v1.5 signatures are deterministic, so signed builds can be compared.
#
#   bash scripts/test-certificate.sh FOLDER
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: test-certificate.sh FOLDER" >&2; exit 2; }
mkdir -p "$1"
cd "$1"
umask 077

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 7 \
  -subj "/CN=Kalvane Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Kalvane Test Signer" 2>/dev/null
cat >signer.ext <<'EOF'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EOF
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 7 \
  -extfile signer.ext -out signer.pem 2>/dev/null
openssl rand -hex 16 >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
  -name "Kalvane Test Signer" -passout file:password -out signer.p12
