#!/usr/bin/env bash
# Writes the source tarball of a commit (default HEAD) from git alone, so no build folder, cache or
# untracked file gets in, and prints its path. Its bytes depend on the commit only (git archive
# stamps every file with the commit's time), so two runs give the same tarball.
# Usage: scripts/source-tarball.sh [REF] [OUT_DIR]   (default: HEAD, the current folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
ref="${1:-HEAD}"
out="${2:-.}"
version="$(git -C "$root" show "$ref:CMakeLists.txt" | sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p')"
[ -n "$version" ] || { echo "source-tarball.sh: no project version in $ref:CMakeLists.txt" >&2; exit 1; }
name="zyvora-configurator-$version"
git -C "$root" archive --format=tar --prefix="$name/" "$ref" | gzip -9n > "$out/$name.tar.gz"
echo "$out/$name.tar.gz"
