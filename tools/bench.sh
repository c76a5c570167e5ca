#!/usr/bin/env bash
# Prints the figures behind the tools' speed and memory goals: time and peak
# memory of extracting and rebuilding a 1 GiB image, of listing 100,000
# images (with the number of write calls when strace is at hand), and of
# archives whose counts or sizes run far past their end.
# Usage: tools/bench.sh [BUILD_DIR]   (default build/default; needs /usr/bin/time)
set -euo pipefail
bin=$(realpath "${1:-build/default}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'PY'
import struct
with open("big.spr", "wb") as f:  # one DXT1 image of 8192 x 8192, 1 GiB of data
    f.write(struct.pack("<fII6I", 1.1, 1, 1, 0x31545844, 0, 0, 8192, 8192, 1 << 30))
    f.truncate(8 + 4 + 24 + (1 << 30))
with open("many.spr", "wb") as f:  # one section of 100,000 images of no data
    f.write(struct.pack("<fII", 1.1, 1, 100000))
    f.write(struct.pack("<6I", 0x31545844, 4, 4, 4, 4, 0) * 100000)
with open("far.spr", "wb") as f:  # 4294967295 sections in 12 bytes
    f.write(struct.pack("<fII", 1.1, 0xFFFFFFFF, 0))
with open("huge.spr", "wb") as f:  # a 4 GiB image declared in a 36-byte file
    f.write(struct.pack("<fII6I", 1.1, 1, 1, 0x31545844, 0, 0, 0, 0, 0xFFFFFFFF))
PY

measure() {  # label, command...
  local label=$1
  shift
  local figures
  # A run that stops or fails exits with 1; its figures count all the same.
  figures=$({ /usr/bin/time -f "%e s, peak %M KB" "$@" </dev/null >/dev/null || true; } 2>&1 |
    grep -v '^Command exited')
  printf '%-40s %s\n' "$label" "$figures"
}

measure "extract a 1 GiB image" "$bin/Zerbolt" big.spr
measure "rebuild a 1 GiB image" "$bin/Zerbolt" big.rep
cmp -s <(tail -c +5 big.spr) <(tail -c +5 "big(new).spr") && echo "rebuilt archive equals the original"
measure "list 100,000 images" "$bin/Quandrel" many.spr
if command -v strace >/dev/null; then
  writes=$(strace -f -c -e trace=write "$bin/Quandrel" many.spr </dev/null 2>&1 >/dev/null |
    awk '$NF == "write" {print $4}')
  echo "write calls listing 100,000 images:      $writes"
fi
measure "list 4294967295 sections in 12 bytes" "$bin/Quandrel" far.spr
measure "extract a 4 GiB image declared in 36 B" "$bin/Zerbolt" huge.spr
echo "image files it wrote (it stops instead):  $(find . -name 'huge-*.dds' | wc -l)"
