#!/bin/sh
# Recovery data made by darvolt-split and by par2 create, one PAR2 file to
# an entry, for the PAR2 reader's fuzz target: split-program corpus-folder.
set -eu
split=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus"
cd "$work"
seq 1 40000 > data.bin
"$split" --custom 64 --recovery 50 data.bin > /dev/null
for made in DATA_PARTS/*.par2; do
    cp "$made" "$corpus/darvolt-$(basename "$made")"
done
if command -v par2 > /dev/null; then
    cd DATA_PARTS
    par2 create -q -q -s32768 -c4 two.par2 data.bin.!0* > /dev/null
    for made in two*.par2; do
        cp "$made" "$corpus/par2-$made"
    done
fi
