#!/bin/sh
# Every command's --json output against the documented shape, when it is done, planned,
# refused and misused: one object on stdout, nothing on stderr.
#
#   json_test.sh GLOBALSTAB SAMPLES
. "$(dirname "$0")/lib.sh"
shape=$(dirname "$0")/json_shape.py

# json STATUS ARGUMENT...: the run exits STATUS, prints one object of the shape on stdout and
# nothing on stderr.
json()
{
    want=$1
    shift
    run "$want" --json "$@"
    [ ! -s "$err" ] || fail "globalstab --json $* wrote on stderr"
    python3 "$shape" "$out" "$want" "$data" >"$work/shape" ||
        fail "globalstab --json $*: $(cat "$work/shape")"
}
# field EXPRESSION EXPECTED: a value of the last object, as Python prints it.
field()
{
    got=$(python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($1)" "$out")
    [ "$got" = "$2" ] || fail "$1 is $got, not $2"
}

printf '<html><body>Notes</body></html>' >"$work/notes.htm"
for dry in --dry-run ""; do
    json 0 $dry check "$orion"
    json 0 $dry check "$orion" --repair
    json 0 $dry category "$orion" add Security
    json 0 $dry category "$orion" move Licensing down
    json 0 $dry page "$orion" add Notes "$work/notes.htm"
    json 0 $dry update-pages Nova "Docs/$orion" "$orion"
    json 0 $dry recover
done
json 0 --dry-run undo
json 0 undo
json 0 --dry-run category "$orion" rename Administration Admin_Tasks
json 0 --dry-run category "$orion" delete Administration
json 0 --dry-run page "$orion" edit Welcome Hello Welcome.htm
json 0 --dry-run page "$orion" delete Welcome
json 0 --dry-run rename-project "$orion" "Nova 7" --id=NV --rank=007
field 'd["result"]["rank"]' 7
field 'all(set(i) == set(d["plan"][0]) for i in d["plan"])' True
json 0 --dry-run update-pages Nova "Docs/$orion" "$orion" --type=1
field 'd["plan"][0]["action"]' replace
json 0 rename-project "$orion" "Nova 7" --id=NV --rank=12
field 'd["result"]["rank"]' 12
json 0 undo
field 'd["result"]["undone"]' "['the project rename \"Orion Suite 2024\" to \"Nova 7\"']"

# Findings: kinds as words, lines as numbers.
printf '**Vega Toolkit 3**' >"$data/Docs/$orion/Stray.htm"
json 1 check "$orion"
field 'd["result"]["findings"][0]["kind"]' foreign-token
json 0 check "$orion" --repair
run 0 undo
rm "$data/Docs/$orion/Stray.htm"
sed -i 's#</Book_Name>#</Book_Nome>#' "$data/Docs/$orion/PX_TOC.xml"
json 1 check "$orion"
field 'd["result"]["findings"][0]["line"] > 1' True
json 1 check "$orion" --repair
json 1 --dry-run check "$orion" --repair
json 1 category "$orion" add Drafts
field 'd["messages"][0]["kind"]' refusal
cp "$samples/Docs/$orion/PX_TOC.xml" "$data/Docs/$orion/PX_TOC.xml"

# Refusals and usage faults come as objects too.
json 1 category "$orion" rename Administration tutorials
field 'd["messages"][0]["text"]' "Category already Exists"
json 1 page "$orion" add Welcome "$work/notes.htm"
json 2 rename-project "$orion" Nova --id=NV --rank=abc
json 2 check "orion suite 2024"
json 2 category "$orion" delete Missing
json 2 page "$orion" add Nope "$work/nonexistent.htm"
json 2 frobnicate
field 'd["command"]' None
json 2
json 2 check "$orion" --frobnicate
while "$tool" --data-root="$data" undo >/dev/null 2>&1; do :; done
json 1 undo
field 'd["messages"][0]["text"]' "nothing to undo"
echo OK
