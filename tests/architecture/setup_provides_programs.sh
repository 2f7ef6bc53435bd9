#!/usr/bin/env bash
# Fails when a program (or Python module) that the scripts, the build, the
# package step or the tests use is not installed by a package that
# scripts/setup.sh names, by one of their dependencies, or by the base system
# that every Debian root has (the "required" packages, which a minimal
# debootstrap installs). A machine that happens to have the program already
# would otherwise hide the missing install step until a fresh one fails.
#   setup_provides_programs.sh SOURCE_DIR
# Exit 77 (skipped) on a system without dpkg and apt.
set -euo pipefail
source_dir=$1

programs=(
  # scripts/setup.sh, test.sh, run.sh, check_package.sh and .ci/run (sudo,
  # used only when not run as root, is the one program a user must bring)
  bash env dirname cat apt-get apt-cache dpkg dpkg-query dpkg-deb localedef locale
  mktemp grep sed tr sort cut tail id ls rm
  # the build, the package and the fuzz targets
  cmake ctest cpack ninja c++ pkg-config ccache clang clang++
  # CPack's Debian generator: file and readelf find the programs,
  # dpkg-shlibdeps (with objdump) their library packages
  file readelf dpkg-shlibdeps objdump
  # the tests: std::system and popen run /bin/sh; Debian's own Python,
  # whatever else is first on PATH
  /bin/sh /usr/bin/python3 xvfb-run xauth pdftoppm
)
# Modules the Python checks import, from Debian's Python.
python_modules=(numpy hyperspy PyMca5 h5py xraylib fisx scipy)
# Files the scripts and tests need that are not programs: the locale source
# localedef compiles, libFuzzer's runtime, and umockdev's preload library
# (without it the hardware tests are left out without failing).
files=(
  /usr/share/i18n/locales/de_DE
  "$(ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null | head -1)"
  "$(ls /usr/lib/*/libumockdev-preload.so.0 2>/dev/null | head -1)"
)

command -v dpkg-query >/dev/null && command -v apt-get >/dev/null ||
  { echo "not a Debian system: nothing to check"; exit 77; }

mapfile -t listed < <(sed -n '/^packages=(/,/^)/p' "$source_dir/scripts/setup.sh" |
  sed '1d;$d' | sed 's/#.*//' | tr ' ' '\n' | grep -v '^$')
[ ${#listed[@]} -gt 0 ] || { echo "no package list found in scripts/setup.sh"; exit 1; }

# What a fresh minimal root ends up with once setup.sh has run: apt works
# out an install of the base system (the required and essential packages,
# and apt) together with setup.sh's list onto an empty system, choosing
# among alternatives as it would for real.
mapfile -t base < <(dpkg-query -W -f='${Package} ${Priority} ${Essential}\n' |
  awk '$2 == "required" || $3 == "yes" { print $1 }')
if ! plan=$(apt-get -s -o Dir::State::status=/dev/null install --no-install-recommends \
  "${base[@]}" apt "${listed[@]}" 2>&1); then
  echo "apt-get cannot plan the install of setup.sh's list (run apt-get update):"
  tail -5 <<<"$plan"
  exit 1
fi
declare -A provided
while read -r _ name _; do provided[$name]=1; done < <(grep '^Inst ' <<<"$plan")

# The package that owns a file: the path itself first (with and without a
# merged /usr), then one link further at a time, as alternatives such as
# c++ belong to no package until their target.
owner() {
  local path=$1 candidate pkg hops=0
  while [ $hops -lt 8 ]; do
    for candidate in "$path" "${path#/usr}" "/usr$path"; do
      pkg=$(dpkg-query -S "$candidate" 2>/dev/null | grep -v '^diversion' | head -1) || true
      if [ -n "$pkg" ]; then
        echo "${pkg%%:*}" | sed 's/,.*//'
        return 0
      fi
    done
    [ -L "$path" ] || return 1
    local target
    target=$(readlink "$path")
    case "$target" in /*) path=$target ;; *) path=$(dirname "$path")/$target ;; esac
    hops=$((hops + 1))
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

for file in "${files[@]}"; do
  if [ -z "$file" ] || [ ! -e "$file" ]; then
    echo "FAIL: a file the tests need is missing: ${file:-libFuzzer or umockdev runtime}"
    failures=$((failures + 1))
    continue
  fi
  check "$file" "$file"
done

total=$(( ${#programs[@]} + ${#python_modules[@]} + ${#files[@]} ))
echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
