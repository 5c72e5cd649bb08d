#!/bin/sh
# The manual page against vexhost --help-all: it names every command and every option the
# help lists, every option it sets in bold is one the help lists, and its header carries
# the version vexhost --version prints.
#   manual_page_test.sh VEXHOST MANUAL_PAGE
set -u
vexhost=$1
page=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

help=$("$vexhost" --help-all) || fail "vexhost --help-all failed"
# The commands are the help's lines of one lower-case word; the options the first words of
# its lines that start with a dash, split at commas, without CLI11's {default} notes.
commands=$(printf "%s\n" "$help" | grep -E '^[a-z][a-z0-9-]*$')
options=$(printf "%s\n" "$help" | sed -n 's/^ *\(-[^ ]*\).*/\1/p' | tr ',' '\n' | sed 's/{.*//' |
    sort -u)
[ -n "$commands" ] && [ -n "$options" ] || fail "no commands or options in the help"

# The page as text: groff's escaped minus signs as dashes, font changes dropped.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
for command in $commands; do
    printf "%s\n" "$text" | grep -qx "\.B $command" || fail "no entry for the command $command"
done
for option in $options; do
    printf "%s\n" "$text" | grep -qE -- "(^|[^a-z0-9-])$option([^a-z0-9-]|\$)" ||
        fail "the manual page does not name $option"
done
# Options in bold: in .B, .BI and .BR lines and after \fB.
bold=$(sed -n -e 's/^\.B[IR]\{0,1\} \(\\-[^ ]*\).*/\1/p' \
    -e 's/.*\\fB\(\\-[^\\ ]*\).*/\1/p' "$page" | sed 's/\\-/-/g' | sort -u)
for option in $bold; do
    echo "$options" | grep -qx -- "$option" || fail "the manual page names $option; vexhost has not"
done

version=$("$vexhost" --version | sed 's/^vexhost //')
head -n 1 "$page" | grep -q "\"vex-analyzer $version\"" ||
    fail "the manual page's header does not carry version $version"
echo "manual page: names $(echo "$commands" | wc -l) commands, $(echo "$options" | wc -l) options"
