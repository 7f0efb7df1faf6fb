#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes Bridgewick's test signing key and certificate, once: the build signs
# with the pair committed beside this script, so that two builds of the same
# commit sign alike. Run again only to replace the pair (then commit both);
# every test machine that trusts the old certificate must trust the new one.
#
# The certificate is valid from 2000 to the end of 2049 (the last year a
# certificate's UTC time can name), so that any signing time a build takes
# from its sources' date falls inside it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/ca.cnf" <<'CNF'
[ ca ]
default_ca = test
[ test ]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
x509_extensions = code_signing
[ any ]
commonName = supplied
organizationName = supplied
[ code_signing ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
cd "$scratch"
: >index.txt
openssl rand -hex 16 | sed 's/^[89a-f]/7/' >serial
openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out BridgewickTest.key
openssl req -new -key BridgewickTest.key -subj "/CN=Bridgewick Test Signing/O=Flashquill" -out request.csr
openssl ca -batch -config ca.cnf -selfsign -keyfile BridgewickTest.key -in request.csr \
  -startdate 20000101000000Z -enddate 20491231235959Z -notext -out BridgewickTest.crt 2>/dev/null
openssl x509 -in BridgewickTest.crt -noout -subject -dates
install -m 644 BridgewickTest.key BridgewickTest.crt "$here/"
