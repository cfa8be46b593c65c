#!/bin/sh
# check as a linter: a project named exactly, an unreadable document reported with its line
# and nothing inferred from it, a repair that refuses while one is unreadable, leaves a new
# category alone and lists every change it makes, in text and JSON.
#
#   check_test.sh GLOBALSTAB SAMPLES
. "$(dirname "$0")/lib.sh"
toc="$data/Docs/$orion/PX_TOC.xml"
cp "$toc" "$work/toc"

run 0 check "$orion"
says "\"$orion\" is consistent." "$out"

# A project is named as the tab names it: exactly. Another letter case, or no name, is no
# project, refused before anything is read or written.
refused 2 check "orion suite 2024"
says 'no such project "orion suite 2024" (names are matched exactly, letter case included: "Orion Suite 2024"?)' "$err"
refused 2 check --repair "orion suite 2024"
refused 2 --dry-run check --repair "orion suite 2024"
refused 2 check ""
says 'no such project ""' "$err"
[ ! -s "$out" ] || fail "an unknown project was checked"

# A malformed and a truncated table of contents: one finding each, with the line and the
# parser's message, and nothing inferred; the repair, its dry run and a category add refuse.
sed 's#</Book_Name>#</Book_Nome>#' "$work/toc" >"$toc"
line=$(grep -n '</Book_Nome>' "$toc" | head -1 | cut -d: -f1)
for broken in malformed truncated; do
    if [ $broken = truncated ]; then
        head -c 600 "$work/toc" >"$toc"
        line=$(($(head -c 600 "$work/toc" | wc -l) + 1))
    fi
    run 1 check "$orion"
    [ "$(wc -l <"$out")" -eq 1 ] || fail "more than the unreadable document was reported"
    grep -q "^document cannot be read: \"PX_TOC.xml\" in Docs/$orion/PX_TOC.xml, line $line: ." "$out" ||
        fail "the $broken contents were not reported with their line $line"
    refused 1 check "$orion" --repair
    says "globalstab: the repair changes nothing while a document of the project cannot be read" "$err"
    refused 1 --dry-run check "$orion" --repair
    refused 1 category "$orion" add Security
    says "globalstab: cannot read Docs/$orion/PX_TOC.xml, line $line: " "$err"
    refused 1 page "$orion" delete Welcome
    refused 1 rename-project "$orion" "Nova 7" --id=NV
done
rm "$toc"
run 1 check "$orion"
says "document cannot be read: \"PX_TOC.xml\" in Docs/$orion/PX_TOC.xml: " "$out"
refused 1 category "$orion" add Security
cp "$work/toc" "$toc"

# A category just added has no books yet: no drift, and the repair keeps it.
run 0 category "$orion" add Security
run 0 check "$orion"
run 0 check "$orion" --repair
grep -q '<CategoryName>Security</CategoryName>' "$data/Docs/$orion/PX_BookCategories.xml" ||
    fail "the repair removed a category without books"

# Drift the repair mends: planned in words without a write, then made and listed.
printf '**Vega Toolkit 3**' >"$data/Docs/$orion/Stray.htm"
sed -i 's#<BookAcro>RN</BookAcro>##' "$data/Docs/$orion/PX_BookCategories.xml"
run 1 check "$orion"
says "page carries another project's token: \"Vega Toolkit 3\" in Docs/$orion/Stray.htm" "$out"
dry check "$orion" --repair
says "Docs/$orion/Stray.htm: token \"**Vega Toolkit 3**\" removed" "$out"
says "Docs/$orion/PX_BookCategories.xml: category \"Other Category\": no books -> books RN" "$out"
says "\"$orion\" would be consistent." "$out"
cp "$out" "$work/plan"
keep
run 0 --json check "$orion" --repair
python3 - "$out" "$work/plan" <<'PYTHON' || fail "the repair's JSON does not list its changes"
import json, sys
result = json.load(open(sys.argv[1]))["result"]
plan = open(sys.argv[2]).read()
paths = [change["path"] for change in result["changes"]]
assert "Docs/Orion Suite 2024/Stray.htm" in paths, paths
assert "Docs/Orion Suite 2024/PX_BookCategories.xml" in paths, paths
for path in paths:
    assert not path.startswith("/") and path + ": " in plan, path
assert result["consistent"] is True and result["findings"] == []
PYTHON
# Every file the repair changed is listed.
diff -rq "$work/pristine" "$data" | sed -n "s#^Files $work/pristine/\(.*\) and .* differ\$#\1#p" |
    grep -v '^Docs/.globalstab' >"$work/changed" || true
[ -s "$work/changed" ] || fail "the repair changed nothing"
while read -r file; do
    grep -qF "\"$file\"" "$out" || fail "$file changed but is not listed"
done <"$work/changed"
run 0 undo
run 0 check "$orion" --repair
says "repaired Docs/$orion/Stray.htm: token" "$out"
says "\"$orion\" is consistent." "$out"

# A project the selection list names, without its folder: checked, and found so.
mv "$data/Docs/Lyra Reference" "$work/Lyra Reference"
run 1 check "Lyra Reference"
says 'project folder missing: "Lyra Reference" in Docs' "$out"
refused 2 category "Lyra Reference" add Security
mv "$work/Lyra Reference" "$data/Docs/Lyra Reference"

# Drift the repair cannot mend: its dry run says what it would leave, and exits 1.
sed -i 's#>Reference<#>Tutorials<#' "$data/Docs/$orion/Admin Reference/AR_Book.XML"
keep
run 1 --dry-run check "$orion" --repair
unchanged "a dry run of the repair"
says "The repair would leave:" "$out"
says "book's categories differ from the table of contents" "$out"
echo OK
