#!/bin/sh
# The commands on a copy of the samples: a dry run of every command writes nothing (undo,
# recover and the repair included), refusals leave every byte as it was (no copied document,
# no lock file, no journal), a page's file must be a file, a rank must be one, and every
# change is undone whole.
#
#   commands_test.sh GLOBALSTAB SAMPLES
. "$(dirname "$0")/lib.sh"

tree()
{
    (cd "$data" && find . -path ./Docs/.globalstab -prune -o -type f -print0 | sort -z |
        xargs -0 md5sum)
}
# Cuts the newest journal log off before its end, as a kill would have: the action's last
# changes are recorded, its end is not.
cut_off()
{
    python3 - "$data/Docs/.globalstab/journal" <<'PYTHON'
import os, sys
folder = sys.argv[1]
log = os.path.join(folder, sorted(f for f in os.listdir(folder) if f.endswith(".log"))[-1])
data = open(log, "rb").read()
records, at = [], 0
while at < len(data):
    end = data.index(b"\n", at)
    fields = data[at:end].split(b"\t")
    records.append((fields[0], at))
    at = end + 1 + int(fields[-2])
cut = max(i for i, (kind, _) in enumerate(records) if kind in (b"E", b"F"))
while records[cut - 1][0] == b"H":
    cut -= 1
open(log, "r+b").truncate(records[cut][1])
PYTHON
}

before=$(tree)

# A dry run of each command: a plan in words, nothing written, not even the journal or the
# lock (the samples have neither yet).
dry category "$orion" delete Administration
says "Docs/$orion/PX_BookCategories.xml: category \"Administration\" removed" "$out"
says 'book AR categories: "Administration" removed' "$out"
dry category "$orion" add Security
says 'category "Security" added: no books' "$out"
dry category "$orion" rename Administration Admin_Tasks
says 'category "Administration" renamed to "Admin_Tasks"' "$out"
dry category "$orion" move Licensing down
says "categories reordered:" "$out"
printf '<html><body>Notes</body></html>' >"$work/notes.htm"
dry page "$orion" add Notes "$work/notes.htm"
says "Docs/$orion/_Global Information/notes.htm: created" "$out"
says 'page "Notes" added: document "notes.htm"' "$out"
dry page "$orion" edit Welcome Hello Welcome.htm
dry page "$orion" delete Welcome
says 'page "Welcome" removed' "$out"
dry rename-project "$orion" "Nova 7" --id=NV
says "Docs/$orion -> Docs/Nova 7: folder moved" "$out"
says "Docs/PX_Selection.xml: project \"$orion\" replaced by \"Nova 7\"" "$out"
dry update-pages Nova "Docs/$orion" "$orion"
says 'token "**Orion Suite 2024**" replaced by "**Nova**" 1 time(s)' "$out"
dry check "$orion" --repair
says "\"$orion\" would be consistent." "$out"
dry recover
says "Nothing to put back." "$out"
[ ! -e "$data/Docs/.globalstab" ] || fail "a dry run made the journal's folder"
# Nothing to undo: a dry run says so as the undo does.
refused 1 --dry-run undo
says "globalstab: nothing to undo" "$err"
refused 1 undo

# A change, then its undo planned (nothing put back) and made.
run 0 category "$orion" move Licensing down
dry undo
says 'would undo the category move "Licensing" down' "$out"
says "Docs/$orion/PX_BookCategories.xml: categories reordered" "$out"
run 0 undo
says 'undid the category move "Licensing" down: 1 file(s)' "$out"
[ "$(tree)" = "$before" ] || fail "the undo left the move"

# An action cut off before its end: a dry run says so and plans from the files as they are;
# the dry run of recover plans the putting back; recover puts it back.
run 0 category "$orion" add Security
cut_off
dry category "$orion" add Drafts
says "globalstab: the journal holds an action cut off before its end" "$err"
dry recover
says 'would put back the category add "Security"' "$out"
says 'category "Security" removed' "$out"
run 0 recover
says 'put back the category add "Security"' "$out"
[ "$(tree)" = "$before" ] || fail "recover left the cut-off add"

# A page's FILE must exist and be a file; a refused add copies nothing.
refused 2 page "$orion" add Nope "$work/nonexistent.htm"
says 'no such file' "$err"
mkdir "$work/folder.htm"
refused 2 page "$orion" add Nope "$work/folder.htm"
says 'is not a file' "$err"
printf 'x' >"$work/notes.exe"
refused 1 page "$orion" add Notes "$work/notes.exe"
says "globalstab: Linked page should be of type" "$err"
cp "$work/notes.htm" "$work/Welcome-new.htm"
refused 1 page "$orion" add Welcome "$work/Welcome-new.htm"
says "globalstab: Global page Adding Failed" "$err"
[ ! -e "$data/Docs/$orion/_Global Information/Welcome-new.htm" ] ||
    fail "a refused add copied its document"

# A rank is a whole number from 1 to 32000, or a usage fault.
for rank in abc -5 0 32001 1.5 99999999999; do
    refused 2 rename-project "$orion" "Nova 7" --id=NV --rank="$rank"
    says "--rank takes a whole number from 1 to 32000" "$err"
done
refused 2 rename-project "$orion" "Nova 7" --id NV --rank -5

# Pages: added, edited (an unchanged edit refused as the panel refuses it), deleted, each
# undone.
run 0 page "$orion" add Notes "$work/notes.htm"
says "Page is added to Global Information" "$out"
refused 1 page "$orion" edit Notes Notes notes.htm
says "globalstab: Page Name Already Exists." "$err"
run 0 page "$orion" edit Notes "Read Me" notes.htm
run 0 page "$orion" delete "Read Me"
lacks "Read Me" "$out"
for change in delete edit add; do
    run 0 undo
    says "undid the global page $change" "$out"
done
[ "$(tree)" = "$before" ] || fail "undo left the page changes"

# Categories: a delete done and undone; a move with no neighbour refused.
run 0 category "$orion" delete Administration
lacks "Administration" "$out"
run 0 undo
[ "$(tree)" = "$before" ] || fail "undo left the delete's changes"
refused 1 category "$orion" move "Getting Started" up
refused 1 category "Lyra Reference" add Security
says "has no category set" "$err"

# The page tokens: rewritten as UTF-16, as the tab writes them, and undone.
run 0 update-pages Nova "Docs/$orion" "$orion"
says "page(s) written" "$out"
iconv -f UTF-16 -t UTF-8 "$data/Docs/$orion/Release Notes/Whats_New.htm" |
    grep -q '\*\*Nova\*\*' || fail "the token was not replaced"
run 0 undo
[ "$(tree)" = "$before" ] || fail "undo left the page tokens"

# A rename done whole; one that reports an error goes on as the tab does but exits 1, naming
# the book it left on stderr.
run 0 rename-project "$orion" "Nova 7" --id=NV
says "Applied the project information" "$out"
run 0 check "Nova 7"
printf '<Book_Master>' >"$data/Docs/Nova 7/Release Notes/RN_Book.xml"
chmod 0444 "$data/Docs/Nova 7/Admin Reference/AR_Book.XML"
run 1 rename-project "Nova 7" "Nova 8" --id NV
says "Applied the project information" "$out"
grep -q "globalstab: warning: Docs/Nova 8/Release Notes/RN_Book.xml was left as it was" "$err" ||
    fail "the skipped book was not named"
says "UpdateProductInfoInBook" "$err"
[ -d "$data/Docs/Nova 8" ] || fail "the rename did not stay"

# Two writers at once, from two processes: both categories stay, or one is refused before
# it changes anything, naming the lock.
for i in 1 2 3 4; do
    "$tool" --data-root="$data" category "Nova 8" add "First $i" >/dev/null 2>"$work/err1" &
    first=$!
    "$tool" --data-root="$data" category "Nova 8" add "Second $i" >/dev/null 2>"$work/err2" &
    second=$!
    s1=0 s2=0
    wait $first || s1=$?
    wait $second || s2=$?
    for n in 1 2; do
        eval "st=\$s$n"
        name=$([ $n -eq 1 ] && echo First || echo Second)
        if [ "$st" -eq 0 ]; then
            grep -q "$name $i" "$data/Docs/Nova 8/PX_BookCategories.xml" ||
                fail "an add that exited 0 was lost"
        else
            grep -q "globalstab/lock" "$work/err$n" ||
                fail "refused without the lock: $(cat "$work/err$n")"
        fi
    done
done
echo OK
