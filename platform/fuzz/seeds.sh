#!/bin/sh
# Seed corpus of the profile (INI) fuzz target, made fresh at every run:
# settings files as the station and the original platform write them (CR LF
# and LF, a byte order mark, GBK and Big5 values, code pages the files
# declare, quotes, comments, a last line without its end). The input's last three bytes choose one write.
# Usage: platform/fuzz/seeds.sh SEEDROOT [BUILDDIR]
set -eu
out="$1/platform_profile_fuzz"
mkdir -p "$out"
printf '[Language]\r\ncurrentLang=1033\r\n[checkinfo]\r\nchoseBootloader=1\r\nchoseKernel=1\r\nchoseSYS=1\r\n[FilePath]\r\nQFMfile=/srv/res/release.QFM\r\niNandfile=/srv/res\r\n\001\004\003' > "$out/downtoolcfg"
printf '[ProjectType]\r\nProject0=T745\r\nProject1=T760\r\n' > "$out/prtcfg"
printf '\357\273\277; settings\n[ExdFile]\nfilename1 = "app.zip"\nfilecode1=0x1F\nfilename2='"'"'gps'"'"'\nfilecode2=-3\n\n[Project]\nphontype=55zz' > "$out/quoted"
printf '[FilePath]\r\nResfile=D:\\\\\304\332\326\303\327\312\324\264\r\nGPSfile=D:\\\\GPS\r\n[checkinfo]\r\nchoseGPS=1\r\n' > "$out/gbk"
printf '[FilePath]\r\nResfile=\244\272\270\155\270\352\267\275\r\n\r\n[Language]\r\ncurrentLang=1028\r\n\001' > "$out/big5"
printf '[a]\r\nx=1\r\n[A]\r\nx=2\r\n[ b ]\r\n y = 3 \r\n=4\r\n[c\r\nz=\377\201\r\n' > "$out/odd"
# Code pages the files declare (a first byte that is even: the target then
# reads the file by its own declaration).
printf '\n[Station]\r\ncodePage=950\r\n[ExdFile]\r\nfilename1=\250\164\262\316\r\n' > "$out/big5-declared"
printf '\n[Station]\ncodePage=1252\n[Project]\nphontype=caf\351 \201\n' > "$out/cp1252-declared"
