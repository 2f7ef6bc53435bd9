#!/usr/bin/env bash
# Fails when a program (or Python module) that the scripts, the build, the
# package step or the tests use is not installed by a package that
# scripts/setup.sh names, by one of their dependencies, or by the base system
# that every Debian root has (the "required" packages, which a minimal
# debootstrap installs). A machine that happens to have the program already
# would otherwise hide the missing install step until a fresh one fails.
#   setup_provides_programs.sh SOURCE_DIR
# Exit 77 (skipped) when the package lists it needs are not on this machine.
set -euo pipefail
source_dir=$1

programs=(
  # scripts/setup.sh, test.sh, run.sh, check_package.sh
  apt-get apt-cache dpkg-query dpkg-deb localedef locale cmake ninja
  mktemp grep sed tr sort cut tail id ls rm
  # the build and the fuzz targets
  c++ pkg-config clang clang++
  # CPack's Debian generator: file finds the programs, dpkg-shlibdeps their
  # library packages
  file dpkg-shlibdeps
  # the tests (Debian's own Python, whatever else is first on PATH)
  /usr/bin/python3 xvfb-run xauth pdftoppm
)
# Modules the Python checks import, from Debian's Python.
python_modules=(numpy hyperspy PyMca5)

command -v dpkg-query >/dev/null && command -v apt-cache >/dev/null ||
  { echo "not a Debian system: nothing to check"; exit 77; }

mapfile -t listed < <(sed -n '/^packages=(/,/^)/p' "$source_dir/scripts/setup.sh" |
  sed '1d;$d' | sed 's/#.*//' | tr ' ' '\n' | grep -v '^$')
[ ${#listed[@]} -gt 0 ] || { echo "no package list found in scripts/setup.sh"; exit 1; }

# Everything the listed packages pull in (Depends and Pre-Depends, as
# apt-get install --no-install-recommends does).
if ! closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
  --no-breaks --no-replaces --no-enhances "${listed[@]}" 2>/dev/null); then
  echo "apt-cache cannot resolve the package list (run apt-get update): not checked"
  exit 77
fi
declare -A provided
while read -r name; do provided[$name]=1; done < <(grep -v '^ ' <<<"$closure" | tr -d '<>')
while read -r name priority; do
  [ "$priority" = required ] && provided[$name]=1
done < <(dpkg-query -W -f='${Package} ${Priority}\n')

# The package that owns a file, trying the paths a merged /usr gives it.
owner() {
  local path=$1 real candidate
  real=$(readlink -f "$path")
  for candidate in "$real" "$path" "${real#/usr}" "${path#/usr}"; do
    if pkg=$(dpkg-query -S "$candidate" 2>/dev/null | grep -v '^diversion' | head -1); then
      [ -n "$pkg" ] && { echo "${pkg%%:*}" | sed 's/,.*//'; return 0; }
    fi
  done
  return 1
}

failures=0
check() {
  local what=$1 path=$2 pkg
  if ! pkg=$(owner "$path"); then
    echo "FAIL: $what ($path) belongs to no Debian package"
    failures=$((failures + 1))
  elif [ -z "${provided[$pkg]:-}" ]; then
    echo "FAIL: $what comes from package $pkg, which scripts/setup.sh does not install"
    failures=$((failures + 1))
  else
    echo "ok: $what from $pkg"
  fi
}

for program in "${programs[@]}"; do
  if ! path=$(command -v "$program"); then
    echo "FAIL: $program is not installed"
    failures=$((failures + 1))
    continue
  fi
  check "$program" "$path"
done
for module in "${python_modules[@]}"; do
  if ! path=$(/usr/bin/python3 -c "import $module; print($module.__file__)" 2>/dev/null); then
    echo "FAIL: Python module $module is not installed"
    failures=$((failures + 1))
    continue
  fi
  check "Python module $module" "$path"
done

total=$(( ${#programs[@]} + ${#python_modules[@]} ))
echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
