#!/usr/bin/env bash
# End-to-end checks of the leafmend command. Usage: cli_test.sh LEAFMEND SAMPLES
set -u
leafmend=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check NAME CONDITION...
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# expect_failure NAME EXPECTED_TEXT ARGS...: non-zero exit, the text on stderr, no output file.
expect_failure() {
    local name=$1 text=$2
    shift 2
    local out="$work/out-$name"
    "$leafmend" run "$@" -o "$out" > "$work/$name.stdout" 2> "$work/$name.stderr"
    local rc=$?
    check "$name exits non-zero" test "$rc" -ne 0
    check "$name names the cause" grep -q -- "$text" "$work/$name.stderr"
    local files
    files=$(find "$out" -type f 2> /dev/null | wc -l)
    check "$name leaves no output file" test "$files" -eq 0
}

# Good run on the samples (the pixels are checked in Command_test.cpp).
"$leafmend" run -q -p Rotate "$samples"/skewed_specks.tif "$samples"/grey_border_rule.png -o "$work/good" \
    --report "$work/report.json"
check "good run exits 0" test $? -eq 0
check "no temporary file is left" test -z "$(find "$work/good" -name '.*' -type f)"
check "report lists both pages" test "$(grep -c '"page"' "$work/report.json")" -eq 2

# Bad inputs.
printf 'not an image at all' > "$work/text.png"
head -c 2000 "$samples/grey_border_rule.png" > "$work/truncated.png"
head -c 3000 "$samples/skewed_specks.tif" > "$work/truncated.tif"
: > "$work/empty.tif"
cp "$samples/grey_border_rule.png" "$work/unreadable.png"
chmod 000 "$work/unreadable.png"
expect_failure missing "does-not-exist.png" -p Rotate "$work/does-not-exist.png"
expect_failure nonimage "not a TIFF, PNG or JPEG" -p Rotate "$work/text.png"
expect_failure truncated_png "truncated.png" -p Rotate "$work/truncated.png"
expect_failure truncated_tif "truncated.tif" -p Rotate "$work/truncated.tif"
expect_failure empty "empty.tif" -p Rotate "$work/empty.tif"
if [ "$(id -u)" -ne 0 ]; then
    expect_failure unreadable "unreadable.png" -p Rotate "$work/unreadable.png"
fi
expect_failure unknown_process "unknown process 'Sharpen'" -p Sharpen "$samples/grey_border_rule.png"
expect_failure unknown_property "unknown property 'Angle'" -p "Rotate Angle=3" "$samples/grey_border_rule.png"
expect_failure wrong_type "expects VT_I2" -p "Rotate RotationAngle=ninety" "$samples/grey_border_rule.png"
expect_failure overflow "RotationAngle" -p "Rotate RotationAngle=70000" "$samples/grey_border_rule.png"

# A bad file among good ones: the good ones are still written, exit code says failure.
"$leafmend" run -q -p Rotate "$work/text.png" "$samples/grey_border_rule.png" -o "$work/mixed" 2> /dev/null
check "mixed batch reports failure" test $? -eq 1
check "mixed batch still writes the good file" test -s "$work/mixed/grey_border_rule.png"

# Output may not overwrite the input.
cp "$samples/grey_border_rule.png" "$work/in.png"
"$leafmend" run -q -p Rotate "$work/in.png" -o "$work" 2> /dev/null
check "refuses to overwrite the input" test $? -ne 0

# A setting a process does not handle leaves the page alone and says so.
"$leafmend" run -p "Deskew DetectionType=lines" "$samples/grey_border_rule.png" -o "$work/unhandled" \
    --report "$work/unhandled.json" > "$work/unhandled.out" 2>&1
check "unhandled page is not a failure" test $? -eq 0
check "unhandled page is reported" grep -q "left alone by a process" "$work/unhandled.out"
check "report names the process" grep -q '"Deskew"' "$work/unhandled.json"

# list and show.
check "list names Rotate" bash -c "'$leafmend' list | grep -q 'RotationAngle  VT_I2  default 90'"
check "show writes the process XML" bash -c "'$leafmend' show Rotate -p RotationAngle=180 | grep -q 'Value=\"180\"'"
check "help is available" bash -c "'$leafmend' run --help | grep -q -- '--report'"

# register writes the module's keys to the registry file; unregister leaves only the roots.
export LEAFMEND_REGISTRY="$work/registry.xml"
"$leafmend" register > /dev/null
check "register writes class keys" grep -q 'ZRLeafmendClient91.Deskew.1' "$LEAFMEND_REGISTRY"
check "register writes no host keys" test "$(grep -c ZRObjectsClient91 "$LEAFMEND_REGISTRY")" -eq 0
"$leafmend" unregister > /dev/null
check "unregister removes class keys" test "$(grep -c ZRLeafmendClient91 "$LEAFMEND_REGISTRY")" -eq 0
check "unregister keeps the CLSID root" grep -q '<Key name="CLSID"' "$LEAFMEND_REGISTRY"
unset LEAFMEND_REGISTRY

echo "cli: $passed passed, $failed failed"
test "$failed" -eq 0
