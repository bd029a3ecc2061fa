#!/usr/bin/env bash
# Builds the Debian packages of a build folder with cpack, unpacks them into a scratch root
# (dpkg -x: nothing is installed on this machine) and checks them as a user would meet them:
# files, the batch tool running from its installed place, manual pages, dependencies, lintian.
# Usage: package_check.sh BUILD_DIR SCRATCH_DIR VERSION
set -euo pipefail
build=$1 out=$2 version=$3

# Files each package must hold, under /usr.
declare -A files=(
    [talvo]="bin/talvo share/man/man1/talvo.1.gz
        share/applications/org.talvo.SoilMoisture.desktop
        share/metainfo/org.talvo.SoilMoisture.metainfo.xml
        share/icons/hicolor/scalable/apps/org.talvo.SoilMoisture.svg"
    [talvo-batch]="bin/talvo-batch share/man/man1/talvo-batch.1.gz
        share/bash-completion/completions/talvo-batch"
    [talvo-map]="bin/talvo-map share/man/man1/talvo-map.1.gz
        share/bash-completion/completions/talvo-map"
    [r-cran-talvo]="lib/R/site-library/talvo/DESCRIPTION lib/R/site-library/talvo/libs/talvo.so"
    [python3-talvo]="$(/usr/bin/python3 -c 'import sys; print("lib/python%d.%d/dist-packages/talvo/__init__.py" % sys.version_info[:2])')"
)
# Packages each must depend on, and a pattern no dependency of it may match.
declare -A depends=([talvo]="libqt6widgets6 qt6-qpa-plugins fonts-liberation2")
declare -A must_not_depend=([talvo-batch]="qt|libx11|libgl|fonts-" [talvo-map]="qt|libx11|fonts-")

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$out"
mkdir -p "$out/root"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" ||
    { cat "$out/cpack.log" >&2; exit 1; }

for package in "${!files[@]}"; do
    deb=$out/${package}_${version}_$(dpkg --print-architecture).deb
    if [ ! -f "$deb" ]; then
        # The map tool and the Python and R packages have options of their own (the sanitizer
        # builds leave the modules out); the window and the batch tool are always there.
        case $package in
            talvo-map | python3-talvo | r-cran-talvo) continue ;;
        esac
        fail "no package $deb"
        continue
    fi
    dpkg -x "$deb" "$out/root"
    contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
    for file in ${files[$package]} share/doc/$package/copyright share/doc/$package/changelog.gz; do
        grep -qx "./usr/$file" <<<"$contents" || fail "$package lacks /usr/$file"
    done
    head -n 1 "$out/root/usr/share/doc/$package/copyright" |
        grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "$package: copyright is not in the machine-readable format"
    field=$(dpkg-deb --field "$deb" Depends)
    names=$(tr ',|' '\n' <<<"$field" | awk '{ print $1 }')
    for name in ${depends[$package]:-}; do
        grep -qx "$name" <<<"$names" || fail "$package does not depend on $name: $field"
    done
    pattern=${must_not_depend[$package]:-}
    if [ -n "$pattern" ] && grep -qiE "$pattern" <<<"$names"; then
        fail "$package pulls in a desktop: $field"
    fi
done

# The module's native part loads in one Python only: the package holds to it, and
# recommends what its pandas and xarray examples need.
python_deb=$out/python3-talvo_${version}_$(dpkg --print-architecture).deb
if [ -f "$python_deb" ]; then
    read -r major minor < <(/usr/bin/python3 -c 'import sys; print(*sys.version_info[:2])')
    field=$(dpkg-deb --field "$python_deb" Depends)
    for want in "python3 (>= $major.$minor~)" "python3 (<< $major.$((minor + 1)))"; do
        grep -qF "$want" <<<"$field" || fail "python3-talvo does not depend on $want: $field"
    done
    field=$(dpkg-deb --field "$python_deb" Recommends)
    for want in python3-pandas python3-xarray; do
        grep -qw "$want" <<<"$field" || fail "python3-talvo does not recommend $want: $field"
    done
fi

# The batch tool runs from where the package puts it.
batch_version=$("$out/root/usr/bin/talvo-batch" --version) || fail "talvo-batch --version failed"
[ "$batch_version" = "talvo-batch $version" ] || fail "talvo-batch --version said '$batch_version'"

# Every program has a manual page, and man renders each without a warning.
for program in "$out"/root/usr/bin/*; do
    page=$out/root/usr/share/man/man1/$(basename "$program").1.gz
    [ -f "$page" ] || { fail "no manual page for $(basename "$program")"; continue; }
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $(basename "$page"): $warnings"
done

# Lintian: errors fail the test; warnings are shown.
lintian --fail-on error "$out"/*.deb || fail "lintian reports errors"

[ "$failures" -eq 0 ]
