#!/usr/bin/env bash
# Checks that the subsystem libraries link in one direction only: a library may use symbols of the
# libraries before it in the order below, never of one after it. Reads the built archives with nm,
# prints how many symbols each library takes from each other one ("lib -> lib : count"), and fails
# with a line naming the symbol and both libraries for every symbol taken from a later library.
# Type information and virtual tables are left out (every library that uses a class may emit them),
# and so are symbols that only weak definitions provide (inline functions and templates, which any
# library may carry a copy of).
# With SOURCE_DIR it also fails for every #include of a later library's header.
# Usage: check_layers.sh BUILD_DIR [SOURCE_DIR]
set -u
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
build=${1:?usage: check_layers.sh BUILD_DIR [SOURCE_DIR]}
source_dir=${2:-}
order=(core physics net client dispatch render ui audio app)

if [ -n "$source_dir" ]; then
  included=0
  for rank in "${!order[@]}"; do
    for later in "${order[@]:rank+1}"; do
      while IFS= read -r hit; do
        echo "FAIL: ${hit#"$source_dir"/} includes a header of $later, which comes after ${order[$rank]}"
        included=$((included + 1))
      done < <(grep -rnH --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$later/" \
                 "$source_dir/${order[$rank]}" 2>/dev/null)
    done
  done
  [ "$included" -eq 0 ] || exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# defs: "symbol rank strength" for every global definition; undefs: "rank symbol" for every symbol an
# archive leaves undefined and does not define itself.
missing=0
for rank in "${!order[@]}"; do
  name=${order[$rank]}
  archive=$build/$name/libbz_$name.a
  if [ ! -f "$archive" ]; then
    echo "FAIL: $archive is not built"
    missing=$((missing + 1))
    continue
  fi
  if ! nm -g --defined-only "$archive" >"$tmp/$name.def" 2>"$tmp/err" ||
     ! nm -u "$archive" >"$tmp/$name.undef" 2>>"$tmp/err"; then
    echo "FAIL: nm could not read $archive: $(cat "$tmp/err")"
    exit 1
  fi
  awk -v rank="$rank" 'NF == 3 { print $3, rank, ($2 ~ /^[WVu]$/ ? "weak" : "strong") }' "$tmp/$name.def" >>"$tmp/defs"
  awk 'NF == 3 { print $3 }' "$tmp/$name.def" | sort -u >"$tmp/$name.own"
  awk '$1 == "U" { print $2 }' "$tmp/$name.undef" | sort -u | comm -23 - "$tmp/$name.own" |
    awk -v rank="$rank" '{ print rank, $1 }' >>"$tmp/undefs"
done
[ "$missing" -eq 0 ] || exit 1

# A symbol comes from the earliest earlier library that defines it, else from the earliest library
# with a strong definition of it.
awk -v names="${order[*]}" '
  BEGIN { n = split(names, name, " ") }
  FNR == NR {
    if ($1 ~ /^_ZT[ISVT]/) next
    if ($3 == "strong" && (!($1 in home) || $2 < home[$1])) home[$1] = $2
    if (!($1 in lowest) || $2 < lowest[$1]) lowest[$1] = $2
    next
  }
  ($2 in home) {
    user = $1; sym = $2
    owner = lowest[sym] < user ? lowest[sym] : home[sym]
    count[user " " owner]++
    if (owner > user) print "UP", name[user + 1], name[owner + 1], sym > "/dev/stderr"
  }
  END { for (e in count) { split(e, r, " "); print e, name[r[1] + 1] " -> " name[r[2] + 1] " : " count[e] } }
' "$tmp/defs" "$tmp/undefs" 2>"$tmp/up" | sort -n -k1,1 -k2,2 | cut -d' ' -f3- >"$tmp/table"

echo "Symbols each library takes from another:"
cat "$tmp/table"
if [ -s "$tmp/up" ]; then
  while read -r _ user owner sym; do
    echo "FAIL: bz_$user uses $(c++filt "$sym"), defined in bz_$owner, which comes after it"
  done <"$tmp/up"
  echo "$(wc -l <"$tmp/up") symbols used against the order: ${order[*]}"
  exit 1
fi
echo "ok: every library uses only those before it (${order[*]})"
