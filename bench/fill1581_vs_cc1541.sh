#!/usr/bin/env bash
# Fills a blank 1581 image with 296 files in one `tessarind-cli insert` call against cc1541
# doing the same; see insert_vs_cc1541.sh.
# usage: fill1581_vs_cc1541.sh [TESSARIND_CLI] [ROUNDS]
exec "$(dirname "$0")/insert_vs_cc1541.sh" "${1:-}" "${2:-15}" d81
