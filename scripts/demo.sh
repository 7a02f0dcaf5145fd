#!/usr/bin/env bash
# Builds a small store in ./demo-store and shows it through storeadm.
# Usage: scripts/demo.sh [build directory]   (make demo passes its own)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."
storeadm="$build/storeadm"
providers=("$build/libqxaiso.so" "$build/libqxaipo.so")
for needed in "$storeadm" "${providers[@]}"; do
  if [ ! -e "$needed" ]; then
    echo "demo: $needed is missing; build first (make demo)" >&2
    exit 1
  fi
done

store=$(pwd)/demo-store
rm -rf "$store"
mkdir -p "$store"

# The option and postoffice providers are loaded from "Application
# Directory" + "64", so both are linked into programs64/, with the option
# provider's file beside them.
mkdir -p "$store/programs64"
for provider in "${providers[@]}"; do
  ln -s "$provider" "$store/programs64/$(basename "$provider")"
done
cat > "$store/programs64/options.ini" <<EOF
; Options of the option provider (libqxaiso.so), one section per postoffice.
[Postoffice BRANCH]
PostofficeRoot=$store/branch-office
EOF

# Two postoffices: MAIN under the mail root, BRANCH moved to its own root.
mail="$store/mail"
mkdir -p "$mail/MAIN/MAILROOT/alice/INBOX" "$mail/MAIN/MAILROOT/alice/Sent" \
         "$mail/MAIN/MAILROOT/bob/INBOX" "$mail/MAIN/PUBROOT/Sales" \
         "$mail/MAIN/FILEROOT/alice/Docs" "$mail/MAIN/VCFROOT/Work" \
         "$store/branch-office/MAILROOT/carol/INBOX"
cat > "$mail/MAIN/MAILROOT/alice/INBOX/00000000000000000000000000000001.MAI" <<'EOF'
From: bob@example.org
To: alice@example.org
Subject: Welcome to the demo store
Date: Mon, 1 Jan 2024 10:00:00 +0000

This message lives in MAIN\MAILROOT\alice\INBOX.
EOF

reg_text() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }
cat > "$store/registry.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]
"Mail Root"="$(reg_text "$mail")"
"Application Directory"="$(reg_text "$store/programs")"
"Allow Custom Postoffice Paths"=dword:00000001
"Public Folders Enabled"=dword:00000001

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tal Mera\\Tal Mera\\Providers]
"Write Wait Timeout"=dword:0000001e
EOF

export QXSTORE_REGISTRY="$store/registry.reg"
export QXSTORE_PROGRAM="$build/STOREADM.EXE"

show() {
  printf '\n$ storeadm'
  printf ' %q' "$@"
  printf '\n'
  "$storeadm" "$@"
}

echo "demo store: $store"
echo "registry:   $QXSTORE_REGISTRY"
show config
show paths MAIN alice ""
show paths MAIN alice 'Sent'
show paths MAIN alice '\Public\Sales'
show paths MAIN alice '$FILEROOT/Docs'
show paths MAIN alice '$VCFROOT/Work'
show paths BRANCH carol 'Inbox'

# A mailbox with a few hundred varied messages, indexed as the services
# index a folder: first a scan, then a reuse, then a rebuild from scratch.
mkdir -p "$mail/MAIN/MAILROOT/alice/Projects"
show demo-messages "$mail/MAIN/MAILROOT/alice/INBOX" 300
show demo-messages "$mail/MAIN/MAILROOT/alice/Projects" 120
show index MAIN alice Inbox
show index MAIN alice Inbox
show index MAIN alice Projects --rebuild

# Sizes go through the postoffice provider; alice has a quota of 20 MB.
echo 20480 > "$mail/MAIN/MAILROOT/alice/_QUOTA.TXT"
show size MAIN
echo
echo "The store stays in $store; run storeadm against it with"
echo "  QXSTORE_REGISTRY=$QXSTORE_REGISTRY $storeadm <command>"
