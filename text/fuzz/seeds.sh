#!/bin/sh
# Seed corpus of the language file fuzz target, made fresh at every run:
# the shipped language files, and the Chinese ones in the legacy code pages
# the station also reads (GBK, Big5).
# Usage: text/fuzz/seeds.sh SEEDROOT [BUILDDIR]
set -eu
out="$1/text_language_fuzz"
lang="$(cd "$(dirname "$0")/../../lang" && pwd)"
mkdir -p "$out"
n=0
for f in "$lang"/*.lng; do
  n=$((n + 1))
  cp "$f" "$out/utf8-$n"
done
if command -v iconv >/dev/null 2>&1; then
  iconv -c -f UTF-8 -t GBK "$lang/简体中文.lng" > "$out/gbk" 2>/dev/null || true
  iconv -c -f UTF-8 -t BIG5 "$lang/繁體中文.lng" > "$out/big5" 2>/dev/null || true
fi
printf '[Language]\r\nLanguage=0x804\r\nFontName="  SimSun  "\r\nFontSize=300\r\n[Text]\r\n100=a\r\n324=b\r\n[Station]\r\npackageChanged=\r\n[Download]\r\n1001="  "\r\n' > "$out/small"
