#!/bin/sh
# A category rename from the command line leaves what the panel's rename leaves: the books'
# category lists of the table of contents and the set carry the new name, while the
# project's own category list and the book documents keep the old one. The check must not
# call that drift, and its repair must change nothing.
#
#   category_rename_test.sh GLOBALSTAB SAMPLES
set -eu
tool=$1 samples=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-catrename.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAILED: $*"; exit 1; }
cp -R "$samples" "$work/pristine"
cp -R "$samples" "$work/data"
project="Docs/Orion Suite 2024"

"$tool" --data-root "$work/data" category "Orion Suite 2024" rename Administration Admin_Tasks \
    >"$work/out" 2>&1 || fail "rename refused: $(cat "$work/out")"

toc="$work/data/$project/PX_TOC.xml"
grep -q "<PX_Category>Administration</PX_Category>" "$toc" ||
    fail "the project's category list lost the old name"
grep -q "<Book_Category>Admin_Tasks</Book_Category>" "$toc" || fail "no book carries the new name"
grep -q "<Book_Category>Administration</Book_Category>" "$toc" &&
    fail "a book of the table of contents kept the old name"
grep -q "Admin_Tasks" "$work/data/$project/PX_BookCategories.xml" ||
    fail "the set does not hold the new name"
for book in "Admin Reference/AR_Book.XML" "Installation Guide/IG_Book.xml"; do
    cmp -s "$work/pristine/$project/$book" "$work/data/$project/$book" ||
        fail "the rename wrote the book document $book"
done

"$tool" --data-root "$work/data" check "Orion Suite 2024" >"$work/out" 2>&1 ||
    fail "the check calls a clean rename drift: $(cat "$work/out")"
cp -R "$work/data" "$work/renamed"
"$tool" --data-root "$work/data" check "Orion Suite 2024" --repair >"$work/out" 2>&1 ||
    fail "the repair refused: $(cat "$work/out")"
diff -r -x .globalstab "$work/renamed" "$work/data" >/dev/null ||
    fail "the repair changed what a clean rename left"
echo "category rename: passed"
