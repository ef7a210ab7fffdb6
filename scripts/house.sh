#!/usr/bin/env bash
# Draws the house from its includes: each folder of platform/ and each
# program folder is a room, each pair of x.h and x.cc a node, each include
# between them an edge. Tests and the API surface (platform/include/) are
# left out.
#
#   scripts/house.sh            Graphviz dot text of the files, by room
#   scripts/house.sh --rooms    dot text of the rooms and what they include
#   scripts/house.sh --cycles   lists include circles between files of one
#                               room and between rooms; exits 1 when there
#                               is one
#   scripts/house.sh --png FILE renders the files' picture (installs
#                               graphviz first when it is missing)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=files
out=
case "${1:-}" in
  "") ;;
  --rooms) mode=rooms ;;
  --cycles) mode=cycles ;;
  --png) mode=files; out=${2:?--png needs a file name} ;;
  *) echo "usage: scripts/house.sh [--rooms | --cycles | --png FILE]" >&2; exit 2 ;;
esac

folders=()
for d in platform/*/ engine registry data app fixups restore spfinish format; do
  d=${d%/}
  [ -d "$d" ] || continue
  case "$d" in platform/include | platform/testing) continue ;; esac
  folders+=("$d")
done

sources=$(find "${folders[@]}" \( -name '*.h' -o -name '*.cc' \) -not -name '*_test.cc' -not -path '*/testdata/*' |
  sort)

graph() {
  {
    for f in $sources; do echo "FILE $f"; done
    # shellcheck disable=SC2086
    grep -H '^#include "' $sources | sed -E 's/^([^:]+):#include "([^"]+)".*/INC \1 \2/'
  } | awk -v mode="$1" '
    function room(path,   r) { r = path; sub(/\/[^\/]+$/, "", r); return r }
    function node(path,   n) { n = path; sub(/\.(h|cc)$/, "", n); return n }
    function label(n,   l) { l = n; sub(/^.*\//, "", l); return l }
    $1 == "FILE" { files[$2] = 1; n = node($2); nodes[n] = 1; roomof[n] = room($2); next }
    $1 == "INC" {
      from = node($2); target = ""
      # The header next to the includer wins, then any file whose path ends in the name.
      here = room($2) "/" $3
      if (here in files) target = here
      else for (f in files) if (length(f) > length($3) && substr(f, length(f) - length($3)) == "/" $3) { target = f; break }
      if (target == "") next
      to = node(target)
      if (to != from) edges[from SUBSEP to] = 1
    }
    function visit(n,   e, parts, m, i, cycle) {
      state[n] = 1; stack[++depth] = n
      for (e in edges) {
        split(e, parts, SUBSEP)
        if (parts[1] != n || roomof[parts[2]] != roomof[n]) continue
        m = parts[2]
        if (state[m] == 1) {
          for (i = depth; i >= 1 && stack[i] != m; --i) {}
          cycle = ""
          for (; i <= depth; ++i) cycle = cycle label(stack[i]) " -> "
          print "circle in " roomof[n] ": " cycle label(m)
          found = 1
        } else if (!state[m]) visit(m)
      }
      --depth; state[n] = 2
    }
    function visitroom(r,   e, parts, m, i, cycle) {
      rstate[r] = 1; rstack[++rdepth] = r
      for (e in roomedges) {
        split(e, parts, SUBSEP)
        if (parts[1] != r) continue
        m = parts[2]
        if (rstate[m] == 1) {
          for (i = rdepth; i >= 1 && rstack[i] != m; --i) {}
          cycle = ""
          for (; i <= rdepth; ++i) cycle = cycle rstack[i] " -> "
          print "circle between rooms: " cycle m
          found = 1
        } else if (!rstate[m]) visitroom(m)
      }
      --rdepth; rstate[r] = 2
    }
    END {
      for (e in edges) {
        split(e, parts, SUBSEP)
        a = roomof[parts[1]]; b = roomof[parts[2]]
        if (a != b) roomedges[a SUBSEP b] = 1
      }
      if (mode == "cycles") {
        for (n in nodes) if (!state[n]) visit(n)
        for (n in nodes) if (!rstate[roomof[n]]) visitroom(roomof[n])
        exit found ? 1 : 0
      }
      print "digraph house {"
      print "  rankdir=LR; node [shape=box, fontsize=10];"
      if (mode == "rooms") {
        for (n in nodes) rooms[roomof[n]] = 1
        for (r in rooms) print "  \"" r "\";"
        for (e in roomedges) { split(e, parts, SUBSEP); print "  \"" parts[1] "\" -> \"" parts[2] "\";" }
      } else {
        for (n in nodes) byroom[roomof[n]] = byroom[roomof[n]] " " n
        c = 0
        for (r in byroom) {
          print "  subgraph cluster_" c++ " { label=\"" r "\";"
          split(substr(byroom[r], 2), members, " ")
          for (i in members) print "    \"" members[i] "\" [label=\"" label(members[i]) "\"];"
          print "  }"
        }
        for (e in edges) { split(e, parts, SUBSEP); print "  \"" parts[1] "\" -> \"" parts[2] "\";" }
      }
      print "}"
    }'
}

if [ "$mode" = cycles ]; then
  graph cycles
elif [ -n "$out" ]; then
  if ! command -v dot >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq graphviz
  fi
  graph files | dot -Tpng -o "$out"
else
  graph "$mode"
fi
