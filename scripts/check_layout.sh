#!/usr/bin/env bash
# The rules of the house, checked by the test suite (`ctest -R layout`):
#
# 1. Only the host layer (platform/host/) includes POSIX headers. The rule
#    covers all of platform/ but the host layer and the test helpers of
#    platform/testing/ (which fork and kill other programs), and every
#    program folder (engine/ to spfinish/, format/). Host tools (tools/),
#    scenario tests (tests/) and benchmarks (bench/) run on the host and
#    keep their own host code.
# 2. Program folders see the device only through platform/include/: no file
#    of theirs, tests included, names a header of a kernel folder. Tests
#    reach the kernel through the helpers of platform/testing/.
# 3. No include circle between the files of one room, nor between rooms
#    (scripts/house.sh).
set -uo pipefail
cd "${1:-$(dirname "$0")/..}"

status=0
complain() {
  echo "$1"
  status=1
}

posix='unistd|fcntl|dirent|pthread|signal|poll|spawn|sched|time|termios|dlfcn|pwd|grp|semaphore|glob|fnmatch|syslog|netdb|aio|mqueue|utime|wordexp'
program_folders=()
for d in engine registry data app fixups restore spfinish format; do [ -d "$d" ] && program_folders+=("$d"); done
kernel_folders=()
for d in platform/*/; do
  d=${d%/}
  case "$d" in platform/include | platform/testing) ;; *) kernel_folders+=("$d") ;; esac
done

# 1
while IFS= read -r hit; do
  complain "POSIX header outside the host layer: $hit"
done < <(grep -rnE "^#include <(($posix)\.h|(sys|netinet|arpa)/[^>]+)>" "${kernel_folders[@]}" "${program_folders[@]}" \
           --include='*.h' --include='*.cc' | grep -v '^platform/host/')

# 2: a name is a kernel header when a kernel folder has it and no program folder does.
kernel_headers=$(find "${kernel_folders[@]}" -name '*.h' -printf '%f\n' | sort -u)
program_headers=$(find "${program_folders[@]}" -name '*.h' -printf '%f\n' | sort -u)
forbidden=$(comm -23 <(echo "$kernel_headers") <(echo "$program_headers"))
while IFS= read -r hit; do
  complain "kernel header in a program folder: $hit"
done < <(grep -rnE '^#include "[^"]+"' "${program_folders[@]}" --include='*.h' --include='*.cc' |
           awk -v forbidden="$forbidden" '
             BEGIN { n = split(forbidden, names, "\n"); for (i = 1; i <= n; ++i) bad[names[i]] = 1 }
             { name = $0; sub(/^[^"]*"/, "", name); sub(/".*$/, "", name); sub(/^.*\//, "", name)
               if (name in bad) print }')

# 3
if ! cycles=$(scripts/house.sh --cycles); then
  complain "$cycles"
fi

[ $status -eq 0 ] && echo "layout rules hold"
exit $status
