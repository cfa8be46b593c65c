#!/bin/sh
# The command-line tool on a copy of the samples: the check, a dry run that writes nothing,
# the page rewrite and its undo, category changes, JSON and the exit status of a usage error.
#
#   cli_test.sh GLOBALSTAB SAMPLES
set -eu
tool=$1 samples=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAILED: $*"; exit 1; }
cp -R "$samples" "$work/data"
tree() { (cd "$work/data" && find . -path ./Docs/.globalstab -prune -o -type f -print0 |
    sort -z | xargs -0 md5sum); }

"$tool" --data-root "$work/data" check "Orion Suite 2024" >"$work/out" || fail "samples drifted"
grep -q "is consistent" "$work/out" || fail "no verdict: $(cat "$work/out")"

printf '**Vega Toolkit 3**' >"$work/data/Docs/Orion Suite 2024/Stray.htm"
if "$tool" --data-root "$work/data" --json check "Orion Suite 2024" >"$work/out"; then
    fail "drift not reported"
fi
grep -q '"text": "Vega Toolkit 3"' "$work/out" || fail "no JSON finding: $(cat "$work/out")"
# The repair: planned without a write, then done; the check is then clean, and every file the
# repair changed was in its plan.
before=$(tree)
"$tool" --data-root "$work/data" --dry-run check "Orion Suite 2024" --repair >"$work/plan" ||
    fail "repair dry run refused"
[ "$(tree)" = "$before" ] || fail "the repair dry run wrote"
"$tool" --data-root "$work/data" check "Orion Suite 2024" --repair >"$work/out" ||
    fail "repair left drift: $(cat "$work/out")"
after=$(tree)
echo "$before" >"$work/before"
echo "$after" >"$work/after"
diff "$work/before" "$work/after" | sed -n 's/^> [0-9a-f]*  \.\///p' | while read -r file; do
    grep -qF "$file" "$work/plan" || fail "$file changed outside the plan"
done

before=$(tree)
"$tool" --data-root "$work/data" --dry-run update-pages Nova "Docs/Orion Suite 2024" \
    "Orion Suite 2024" >"$work/out" || fail "dry run refused"
grep -q "token(s) replaced" "$work/out" || fail "no plan: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "the dry run wrote"

"$tool" --data-root "$work/data" update-pages Nova "Docs/Orion Suite 2024" "Orion Suite 2024" ||
    fail "update-pages refused"
# Pages are written back as UTF-16, as the tab writes them.
iconv -f UTF-16 -t UTF-8 "$work/data/Docs/Orion Suite 2024/Release Notes/Whats_New.htm" |
    grep -q '\*\*Nova\*\*' || fail "the token was not replaced"
"$tool" --data-root "$work/data" undo >"$work/out" || fail "undo refused"
[ "$(tree)" = "$before" ] || fail "undo left changes"

# Categories: a delete planned without a write, a rename refused with the tab's text, then
# the delete done and undone.
"$tool" --data-root "$work/data" --dry-run category "Orion Suite 2024" delete Administration \
    >"$work/out" || fail "category dry run refused"
grep -q "PX_TOC.xml" "$work/out" || fail "no category plan: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "the category dry run wrote"
if "$tool" --data-root "$work/data" category "Orion Suite 2024" rename Administration \
    tutorials 2>"$work/err"; then
    fail "a listed category name was accepted"
fi
grep -q "Category already Exists" "$work/err" || fail "not the tab's refusal: $(cat "$work/err")"
[ "$(tree)" = "$before" ] || fail "a refused rename wrote"
"$tool" --data-root "$work/data" --json category "Orion Suite 2024" delete Administration \
    >"$work/out" || fail "category delete refused"
grep -q '"Administration"' "$work/out" && fail "the category is still there"
"$tool" --data-root "$work/data" undo >/dev/null || fail "undo of the delete refused"
[ "$(tree)" = "$before" ] || fail "undo left the delete's changes"

# Global pages: an add planned without a write, a refused link type, then added and deleted.
printf '<html><body>Notes</body></html>' >"$work/notes.htm"
"$tool" --data-root "$work/data" --dry-run page "Orion Suite 2024" add Notes "$work/notes.htm" \
    >"$work/out" || fail "page dry run refused"
grep -q "_Global Information/notes.htm: created" "$work/out" || fail "no page plan: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "the page dry run wrote"
if "$tool" --data-root "$work/data" page "Orion Suite 2024" add Notes "$work/notes.exe" \
    2>"$work/err"; then
    fail "a link of another type was accepted"
fi
grep -q "Linked page should be of type" "$work/err" || fail "not the tab's refusal: $(cat "$work/err")"
"$tool" --data-root "$work/data" page "Orion Suite 2024" add Notes "$work/notes.htm" \
    >"$work/out" || fail "page add refused"
grep -q "Page is added to Global Information" "$work/out" || fail "no result: $(cat "$work/out")"
# An edit that changes nothing is refused as the panel refuses it; a new name is taken.
if "$tool" --data-root "$work/data" page "Orion Suite 2024" edit Notes Notes notes.htm \
    2>"$work/err"; then
    fail "an unchanged page was saved"
fi
grep -q "Page Name Already Exists." "$work/err" || fail "not the tab's refusal: $(cat "$work/err")"
"$tool" --data-root "$work/data" page "Orion Suite 2024" edit Notes "Read Me" notes.htm \
    >"$work/out" || fail "page edit refused"
"$tool" --data-root "$work/data" --json page "Orion Suite 2024" delete "Read Me" >"$work/out" ||
    fail "page delete refused"
grep -q '"Read Me"' "$work/out" && fail "the page is still listed"
for change in delete edit add; do
    "$tool" --data-root "$work/data" undo >/dev/null || fail "undo of the page $change refused"
done
[ "$(tree)" = "$before" ] || fail "undo left the page changes"

# A rename: planned without a write, refused with the tab's text, then done whole.
"$tool" --data-root "$work/data" --dry-run rename-project "Orion Suite 2024" "Nova 7" --id NV \
    >"$work/out" || fail "rename dry run refused"
grep -q "project folder renamed" "$work/out" || fail "no rename plan: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "the rename dry run wrote"
if "$tool" --data-root "$work/data" rename-project "Orion Suite 2024" "vega toolkit 3" \
    --id NV 2>"$work/err"; then
    fail "a taken name was accepted"
fi
grep -q "Error:Project Name vega toolkit 3 already Exists" "$work/err" ||
    fail "not the tab's refusal: $(cat "$work/err")"
"$tool" --data-root "$work/data" rename-project "Orion Suite 2024" "Nova 7" --id NV \
    >"$work/out" || fail "rename refused"
grep -q "Applied the project information" "$work/out" || fail "no result: $(cat "$work/out")"
"$tool" --data-root "$work/data" check "Nova 7" >/dev/null || fail "the renamed project drifted"

# A command's --help is that command's part of the usage.
"$tool" page --help >"$work/out" || fail "page --help failed"
grep -q "page PROJECT add NAME FILE" "$work/out" || fail "no page help: $(cat "$work/out")"
grep -q "rename-project" "$work/out" && fail "page --help shows other commands"

status=0
"$tool" --data-root "$work/data" frobnicate 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a usage error exits $status"

# A rename that reports an error goes on as the tab does, but does not exit 0; the book it
# could not read is named on stderr, which the tab keeps silent about.
printf '<Book_Master>' >"$work/data/Docs/Nova 7/Release Notes/RN_Book.xml"
chmod 0444 "$work/data/Docs/Nova 7/Admin Reference/AR_Book.XML"
status=0
"$tool" --data-root "$work/data" rename-project "Nova 7" "Nova 8" --id NV >"$work/out" \
    2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "a rename with an error reported exits $status"
grep -q "Applied the project information" "$work/out" || fail "no result: $(cat "$work/out")"
grep -q "warning: '.*RN_Book.xml' was left as it was" "$work/err" ||
    fail "the skipped book was not named: $(cat "$work/err")"
grep -q "UpdateProductInfoInBook" "$work/err" || fail "the error was not shown: $(cat "$work/err")"
[ -d "$work/data/Docs/Nova 8" ] || fail "the rename did not stay"

# Two writers at once, from two processes: both categories stay, or one is refused before
# it changes anything, naming the lock.
for i in 1 2 3 4; do
    "$tool" --data-root "$work/data" category "Nova 8" add "First $i" >/dev/null \
        2>"$work/err1" &
    first=$!
    "$tool" --data-root "$work/data" category "Nova 8" add "Second $i" >/dev/null \
        2>"$work/err2" &
    second=$!
    s1=0 s2=0
    wait $first || s1=$?
    wait $second || s2=$?
    set=$(cat "$work/data/Docs/Nova 8/PX_BookCategories.xml")
    for n in 1 2; do
        eval "st=\$s$n"
        name=$([ $n -eq 1 ] && echo First || echo Second)
        if [ "$st" -eq 0 ]; then
            echo "$set" | grep -q "$name $i" || fail "an add that exited 0 was lost"
        else
            grep -q "globalstab/lock" "$work/err$n" || fail "refused without the lock: \
$(cat "$work/err$n")"
        fi
    done
done
echo OK
