# What the command-line tests share: a copy of the samples, the tool run on it, and checks.
# Sourced with the tool and the samples folder as $1 and $2.
set -eu
tool=$1 samples=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-cli.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT INT TERM
data=$work/data out=$work/out err=$work/err
cp -R "$samples" "$data"
orion="Orion Suite 2024"
: >"$out"
: >"$err"

fail()
{
    echo "FAILED: $*"
    echo "--- stdout:"
    cat "$out"
    echo "--- stderr:"
    cat "$err"
    exit 1
}

# run STATUS ARGUMENT...: the tool on the data root, its output kept in $out and $err; it must
# exit STATUS.
run()
{
    want=$1
    shift
    status=0
    "$tool" --data-root="$data" "$@" >"$out" 2>"$err" || status=$?
    [ "$status" -eq "$want" ] || fail "globalstab $* exited $status, not $want"
}

# A copy of the data root as it is now, every byte, the journal and the lock included.
keep()
{
    rm -rf "$work/pristine"
    cp -a "$data" "$work/pristine"
}

unchanged()
{
    diff -r "$work/pristine" "$data" >"$work/diff" 2>&1 ||
        fail "$1 changed the data root: $(cat "$work/diff")"
}

# refused STATUS ARGUMENT...: the command exits STATUS, says why on stderr, every line
# prefixed, and leaves the data root as it was, byte for byte.
refused()
{
    keep
    run "$@"
    shift
    unchanged "globalstab $*"
    [ -s "$err" ] || fail "globalstab $* gave no reason"
    if grep -qv '^globalstab: ' "$err"; then
        fail "globalstab $*: a line of stderr without the prefix"
    fi
}

# dry ARGUMENT...: a dry run that exits 0 and writes nothing, not even the journal.
dry()
{
    keep
    run 0 --dry-run "$@"
    unchanged "globalstab --dry-run $*"
}

# says TEXT FILE: FILE holds TEXT (a fixed string).
says()
{
    grep -qF -- "$1" "$2" || fail "no \"$1\" in $(basename "$2")"
}

# lacks TEXT FILE
lacks()
{
    if grep -qF -- "$1" "$2"; then
        fail "\"$1\" in $(basename "$2")"
    fi
}
