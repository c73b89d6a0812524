#!/usr/bin/env bash
# Test certificates for the https peers, made with openssl inside the build tree.
#   tls-certs.sh authority DIR   the test authority, made once and installed
#                                into the machine's trust store
#   tls-certs.sh servers DIR CRL_URL
#                                the servers' certificates, signed by it; two
#                                of them revoked in the authority's list
#                                DIR/ca.crl (DER), one of which names CRL_URL
#                                as where the list is
# Wine reads the trust store when its wineserver starts, so "authority" runs
# before a test run starts its wineserver (scripts/test.sh does). Both steps
# do nothing when their files are already there.
set -euo pipefail
command=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
cd "$dir"

# One file per build tree, so that worktrees do not replace each other's authority.
installed_name="ravlix-test-$(printf '%s' "$dir" | sha256sum | cut -c1-12).crt"
store=/usr/local/share/ca-certificates

authority() {
  if [ ! -f ca.crt ] || [ ! -f ca.key ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 3650 \
      -subj "/CN=Ravlix Test Authority $(date +%s)" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  fi
  if ! cmp -s ca.crt "$store/$installed_name"; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo mkdir -p "$store"
    $sudo cp ca.crt "$store/$installed_name"
    $sudo update-ca-certificates >/dev/null 2>&1
  fi
}

# A minimal openssl ca setup: it alone can write validity dates in the past.
write_ca_config() {
  mkdir -p ca-db
  : >ca-db/index.txt
  [ -f ca-db/serial ] || echo 1000 >ca-db/serial
  [ -f ca-db/crlnumber ] || echo 1000 >ca-db/crlnumber
  cat >ca.cnf <<CNF
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = $dir/ca-db
database = \$dir/index.txt
serial = \$dir/serial
new_certs_dir = \$dir
certificate = $dir/ca.crt
private_key = $dir/ca.key
default_md = sha256
crlnumber = \$dir/crlnumber
default_crl_days = 3650
policy = any
unique_subject = no
copy_extensions = copy
[ any ]
commonName = supplied
CNF
}

# server NAME SUBJECT_ALT_NAMES [openssl ca date options...]
server() {
  local name=$1 names=$2
  shift 2
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=${names%%,*}" \
    -addext "subjectAltName=$names" -addext "extendedKeyUsage=serverAuth" 2>/dev/null
  openssl ca -batch -config ca.cnf -in "$name.csr" -out "$name.crt" -notext "$@" 2>/dev/null
}

servers() {
  local crl_url=$1
  [ -f ca.crt ] || authority
  # Certificates of an older run that lack the IPv6 address, or the revoked
  # ones, are made again.
  [ -f valid.crt ] && [ -f self-signed.crt ] && [ -f expired.crt ] && [ -f wrong-host.crt ] && [ -f ca.crl ] &&
    openssl x509 -in revoked-listed.crt -noout -text 2>/dev/null | grep -qF "URI:$crl_url" &&
    openssl x509 -in valid.crt -noout -text | grep -q "IP Address:0:0:0:0:0:0:0:1" && return 0
  write_ca_config
  server valid "DNS:localhost,IP:127.0.0.1,IP:::1" -days 30
  server wrong-host "DNS:wrong.example" -days 30
  server expired "DNS:localhost,IP:127.0.0.1" -startdate 20200101000000Z -enddate 20200201000000Z
  server revoked "DNS:localhost,IP:127.0.0.1,IP:::1" -days 30
  openssl req -newkey rsa:2048 -nodes -keyout revoked-listed.key -out revoked-listed.csr -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" -addext "extendedKeyUsage=serverAuth" \
    -addext "crlDistributionPoints=URI:$crl_url" 2>/dev/null
  openssl ca -batch -config ca.cnf -in revoked-listed.csr -out revoked-listed.crt -notext -days 30 2>/dev/null
  openssl ca -config ca.cnf -revoke revoked.crt 2>/dev/null
  openssl ca -config ca.cnf -revoke revoked-listed.crt 2>/dev/null
  openssl ca -config ca.cnf -gencrl 2>/dev/null | openssl crl -outform DER -out ca.crl
  openssl req -x509 -newkey rsa:2048 -nodes -keyout self-signed.key -out self-signed.crt -days 30 \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
}

case "$command" in
  authority) authority ;;
  servers) servers "${3:?the URL of the revocation list}" ;;
  *) echo "usage: tls-certs.sh authority DIR | servers DIR CRL_URL" >&2; exit 2 ;;
esac
