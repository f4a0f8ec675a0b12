#!/usr/bin/env bash
# Checks that every program of tools/programs.list is installed by a Debian package that
# tools/setup.sh installs, or by a package one of those depends on, and is found where that package
# put it. A copy put on the PATH by hand does not count: the programs are looked up on the packaged
# path only, and the file found must belong to such a package. Prints a line a program and exits
# non-zero when any fails; a missing program names the package that brings it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export PATH=/usr/sbin:/usr/bin:/sbin:/bin

# The packages setup.sh installs; each package programs.list names must be one of them.
listed=$(bash "$here/setup.sh" packages | sort -u)
failed=0 passed=0
while read -r package; do
  grep -qxF "$package" <<<"$listed" && continue
  echo "FAIL: tools/programs.list names package $package, which tools/setup.sh does not install"
  failed=$((failed + 1))
done < <(grep -v '^\s*#' "$here/programs.list" | awk 'NF >= 2 { print $2 }' | sort -u)

# Every installed package with what it depends on, then the packages the listed ones bring in:
# alternatives and virtual packages count through whichever installed package satisfies them.
closure=$(dpkg-query -W -f='${Package}\t${db:Status-Abbrev}\t${Depends}, ${Pre-Depends}\t${Provides}\n' |
  awk -F'\t' -v listed="$listed" '
    function bare(s) { sub(/\(.*/, "", s); sub(/:.*/, "", s); gsub(/[ \t]/, "", s); return s }
    $2 ~ /^ii/ {
      installed[$1] = 1; deps[$1] = $3
      n = split($4, p, ","); for (i = 1; i <= n; i++) if (bare(p[i]) != "") provider[bare(p[i])] = provider[bare(p[i])] " " $1
    }
    END {
      n = split(listed, queue, "\n"); head = 1
      while (head <= n) {
        pkg = queue[head++]
        if (pkg == "" || (pkg in seen)) continue
        seen[pkg] = 1
        if (!(pkg in installed)) continue
        print pkg
        m = split(deps[pkg], items, ",")
        for (i = 1; i <= m; i++) {
          k = split(items[i], alts, "|")
          for (j = 1; j <= k; j++) {
            d = bare(alts[j]); if (d == "") continue
            if (d in installed) queue[++n] = d
            c = split(provider[d], prov, " "); for (q = 1; q <= c; q++) queue[++n] = prov[q]
          }
        }
      }
    }' | sort -u)

while read -r program package; do
  if [[ $program == /* ]]; then found=$program; else found=$(command -v "$program" 2>/dev/null); fi
  if [ -z "$found" ] || [ ! -x "$found" ]; then
    echo "FAIL: $program is not installed: Debian package $package brings it (bash tools/setup.sh installs it)"
    failed=$((failed + 1)); continue
  fi
  real=$(readlink -f "$found")
  # Packages that predate the merged /usr record their files under /bin and /sbin.
  owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null)
  owner=${owner%%: *}; owner=${owner%%:*}
  if [ -z "$owner" ]; then
    echo "FAIL: $program is $real, which no Debian package installed: install $package"
    failed=$((failed + 1))
  elif ! grep -qxF "$owner" <<<"$closure"; then
    echo "FAIL: $program is $real from package $owner, which no package tools/setup.sh installs brings in (listed here: $package)"
    failed=$((failed + 1))
  else
    echo "ok: $program is $real from $owner"
    passed=$((passed + 1))
  fi
done < <(grep -v '^\s*#' "$here/programs.list" | awk 'NF >= 2 { print $1, $2 }')
[ -n "$listed" ] || { echo "FAIL: no packages listed"; failed=$((failed + 1)); }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
