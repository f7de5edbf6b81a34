#!/bin/sh
# Makes the certificates of the HTTPS tests, afresh, into DIR (made when missing):
#   authority.pem  a test certificate authority (certificate only), to be trusted by a test
#   good.pem       from the authority for 127.0.0.1, valid now
#   other.pem      from the authority for other.example, valid now
#   expired.pem    from the authority for 127.0.0.1, expired in 2020
#   self.pem       self-signed for 127.0.0.1
# Each server file holds the certificate and then its private key, as tests/server/
# http_server.py --tls takes them. The names carry 127.0.0.1 as a DNS name besides the IP
# address: Wine's name check compares DNS names only. Usage: make-test-certificates.sh DIR
set -e
dir=$1
[ -n "$dir" ] || { echo "usage: $0 DIR" >&2; exit 2; }
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >ca.cnf <<'EOF'
[ ca ]
default_ca = test_ca
[ test_ca ]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[ any ]
commonName = supplied
EOF
: >index.txt
echo 01 >serial

quiet() { "$@" >/dev/null 2>&1 || { "$@"; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 30 \
  -subj "/CN=Haulix Test Authority $(date +%s)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"

# issue NAME COMMON_NAME ALT_NAMES START END
issue() {
  quiet openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" \
    -addext "subjectAltName=$3"
  quiet openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in "$1.csr" \
    -out "$1.crt" -startdate "$4" -enddate "$5" -notext
  cat "$1.crt" "$1.key" >"$dir/$1.pem"
}

yesterday=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
in_a_month=$(date -u -d '+30 day' +%Y%m%d%H%M%SZ)
local_names="IP:127.0.0.1,DNS:127.0.0.1"
issue good 127.0.0.1 "$local_names" "$yesterday" "$in_a_month"
issue other other.example "DNS:other.example" "$yesterday" "$in_a_month"
issue expired 127.0.0.1 "$local_names" 20200101000000Z 20200201000000Z

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.crt -days 30 \
  -subj "/CN=127.0.0.1" -addext "subjectAltName=$local_names"
cat self.crt self.key >"$dir/self.pem"
cp ca.crt "$dir/authority.pem"
