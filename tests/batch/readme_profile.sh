#!/bin/sh
# The README's worked profile, run as written: each "$ " line of the checked block must print
# the lines that follow it. Usage: readme_profile.sh TALVO_BATCH SOURCE_DIR
set -eu
exe=$1
source=$2
cd "$source"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^<!-- checked by tests\/batch\/readme_profile.sh -->$/ { found = 1; next }
     found && /^```$/ { if (inside) exit; inside = 1; next }
     inside' README.md > "$work/block"
[ -s "$work/block" ] || { echo "no checked block in README.md" >&2; exit 1; }
status=0
command=
flush() {
    [ -n "$command" ] || return 0
    sh -c "$(printf '%s' "$command" | sed "s#build/release/bin/talvo-batch#$exe#g")" > "$work/got" 2>&1
    if ! diff -u "$work/wanted" "$work/got"; then
        echo "README: $command" >&2
        status=1
    fi
}
while IFS= read -r line; do
    case $line in
    '$ '*) flush; command=${line#'$ '}; : > "$work/wanted" ;;
    *) printf '%s\n' "$line" >> "$work/wanted" ;;
    esac
done < "$work/block"
flush
exit $status
