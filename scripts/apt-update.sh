#!/usr/bin/env bash
# Refreshes the package lists. A mirror caught mid-sync fails a list now and
# then ("File has unexpected size"), and one failed list (say the i386 half
# of the security archive) fails the whole update: try again a few times,
# then go on with the lists there are; the installation that follows says
# plainly if a package it needs cannot be found.
#   scripts/apt-update.sh
set -uo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
for attempt in 1 2 3; do
  if $SUDO apt-get update -qq; then exit 0; fi
  echo "apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" = 3 ] || sleep $((attempt * 5))
done
echo "apt-get update kept failing; going on with the package lists there are" >&2
exit 0
