#!/bin/sh
# The command line as git-like tools read it: help, version, --opt=value, "--", usage on
# stderr with status 2, the same status for the same fault in every command, messages
# prefixed on stderr, paths relative to the data root, and the completions.
#
#   conventions_test.sh GLOBALSTAB SAMPLES SOURCE_DIR
. "$(dirname "$0")/lib.sh"
source_dir=$3

# Help and version, short and long, exit 0 on stdout.
for flag in -h --help; do
    "$tool" $flag >"$out" 2>"$err" || fail "$flag failed"
    says "usage: globalstab" "$out"
    says "rename-project" "$out"
done
for flag in -V --version; do
    "$tool" $flag >"$out" 2>"$err" || fail "$flag failed"
    grep -q '^globalstab [0-9]' "$out" || fail "$flag: no version"
done
# A command's help: its forms, its options and an example.
"$tool" check --help >"$out" 2>"$err" || fail "check --help failed"
says "usage: globalstab [options] check PROJECT [--repair]" "$out"
says "--repair" "$out"
says "Example" "$out"
lacks "rename-project OLD" "$out"
"$tool" category -h >"$out" 2>"$err" || fail "category -h failed"
says "category PROJECT move NAME up|down" "$out"
says "--install-type=N" "$out"

# A bare run prints the usage on stderr and exits 2; stdout stays empty.
status=0
"$tool" >"$out" 2>"$err" || status=$?
[ "$status" -eq 2 ] || fail "a bare run exits $status"
[ ! -s "$out" ] || fail "a bare run printed on stdout"
says "usage: globalstab" "$err"

# Usage faults, before or after the command, in either form of an option: status 2, one line
# prefixed, nothing written.
refused 2 frobnicate
refused 2 --frobnicate check "$orion"
refused 2 check "$orion" --frobnicate
refused 2 check "$orion" --repair=yes
refused 2 --repair check "$orion"
refused 2 check
refused 2 check "$orion" extra
refused 2 rename-project "$orion" Nova --id
refused 2 category "$orion" shuffle Licensing
refused 2 category "$orion" move Licensing sideways
refused 2 category "$orion" add X --install-type=x
refused 2 update-pages Nova "Docs/$orion" "$orion" --type=2
refused 2 update-pages Nova "Docs/Nowhere" "$orion"
refused 2 update-pages Nova "/etc" "$orion"
refused 2 undo again
status=0
"$tool" --data-root="$work/nowhere" check "$orion" >"$out" 2>"$err" || status=$?
[ "$status" -eq 2 ] || fail "a data root without Docs exits $status"
says "globalstab: no data root" "$err"
status=0
env -u GLOBALSTAB_DATA_ROOT "$tool" check "$orion" >"$out" 2>"$err" || status=$?
[ "$status" -eq 2 ] || fail "no data root at all exits $status"

# The same fault, the same status, in every command: no such project, category or page.
refused 2 check "Nowhere"
refused 2 rename-project "Nowhere" Nova --id=NV
refused 2 category "Nowhere" add Security
refused 2 page "Nowhere" delete Welcome
for verb in "rename Missing Found" "delete Missing" "move Missing up"; do
    # shellcheck disable=SC2086
    refused 2 category "$orion" $verb
    says 'no such category "Missing"' "$err"
done
refused 2 page "$orion" delete Missing
says 'no such global page "Missing"' "$err"
refused 2 page "$orion" edit Missing Found "$samples/Library/Glossary.xml"

# --data-root=DIR and --data-root DIR, the environment, and "--" before a name that starts
# with a dash.
"$tool" --data-root "$data" check "$orion" >"$out" 2>"$err" || fail "--data-root DIR failed"
GLOBALSTAB_DATA_ROOT=$data "$tool" check "$orion" >"$out" 2>"$err" ||
    fail "GLOBALSTAB_DATA_ROOT failed"
run 0 category "$orion" add -- -Drafts
grep -qx -- "-Drafts" "$out" || fail "the category after -- was not added"
run 0 category -- "$orion" delete -Drafts
lacks "-Drafts" "$out"

# Refusals of the tab's rules keep the tab's texts, after the prefix.
refused 1 category "$orion" rename Administration tutorials
says "globalstab: Category already Exists" "$err"
refused 1 rename-project "$orion" "vega toolkit 3" --id=NV
says "globalstab: Error:Project Name vega toolkit 3 already Exists" "$err"

# Paths are told relative to the data root, in plans, findings and warnings.
run 0 --dry-run category "$orion" delete Administration
says "Docs/$orion/PX_TOC.xml: " "$out"
lacks "$work" "$out"
printf '**Vega Toolkit 3**' >"$data/Docs/$orion/Stray.htm"
run 1 check "$orion"
says "in Docs/$orion/Stray.htm" "$out"
lacks "$work" "$out"
rm "$data/Docs/$orion/Stray.htm"

# Nothing but results on stdout and nothing on stderr when all goes well: no progress
# unless stderr is a terminal.
run 0 rename-project "$orion" "Nova 7" --id=NV
[ ! -s "$err" ] || fail "a rename without a terminal wrote on stderr"
run 0 undo

# Progress on a terminal, once the work is long: a folder of many pages. A run that took
# more than a second and a half must have shown it.
if command -v script >/dev/null 2>&1; then
    mkdir "$data/Docs/$orion/Many"
    i=0
    while [ $i -lt 6000 ]; do
        printf '<html>**%s** %s</html>' "$orion" $i >"$data/Docs/$orion/Many/p$i.htm"
        i=$((i + 1))
    done
    started=$(date +%s%N)
    script -qec "'$tool' --data-root='$data' update-pages Nova 'Docs/$orion/Many' '$orion'" \
        "$work/typescript" >/dev/null 2>&1 || fail "update-pages on a terminal failed"
    took=$((($(date +%s%N) - started) / 1000000))
    if [ $took -gt 1500 ]; then
        grep -q "globalstab: [0-9]* of [0-9]* files" "$work/typescript" ||
            fail "no progress on a terminal in $took ms"
    fi
    says "6000 page(s) written" "$work/typescript"
fi

# Completion: bash always, zsh where it is installed.
cat >"$work/complete.bash" <<'SCRIPT'
source "$1"
complete_words() {
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    _globalstab; printf '%s\n' "${COMPREPLY[@]}"
}
complete_words globalstab ""
complete_words globalstab --data-root="$2" check ""
complete_words globalstab --data-root "$2" category "Orion\ Suite\ 2024" move ""
complete_words globalstab --data-root "$2" category "Orion\ Suite\ 2024" move Licensing ""
complete_words globalstab --data-root "$2" page "Orion\ Suite\ 2024" delete ""
complete_words globalstab check --re
SCRIPT
bash "$work/complete.bash" "$source_dir/cli/completions/globalstab.bash" "$data" >"$out" 2>"$err" ||
    fail "bash completion failed"
for word in rename-project 'Orion\ Suite\ 2024' 'Lyra\ Reference' Licensing 'Getting\ Started' \
    down 'Terms\ \&\ Conditions' --repair; do
    grep -qxF -- "$word" "$out" || fail "bash completion does not offer $word"
done
lacks "Other\\ Category" "$out"
if command -v zsh >/dev/null 2>&1; then
    zsh "$(dirname "$0")/zsh_complete.zsh" "$source_dir/cli/completions" \
        "globalstab --data-root=$data category Orion\\ Suite\\ 2024 move " >"$out" 2>"$err" ||
        fail "zsh completion failed"
    says "Licensing" "$out"
    says "Getting\\ Started" "$out"
fi
echo OK
