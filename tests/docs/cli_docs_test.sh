#!/usr/bin/env bash
# The manual page and the Markdown reference of zyvora-cli are written by hand, side by side: every
# verb and option one of them names must be named by the other, so neither falls behind.
# Usage: cli_docs_test.sh MANPAGE MARKDOWN
set -euo pipefail
man=$1 md=$2

# The manual page: verbs are the tags of its VERBS section, options every --name and every -x set
# in bold.
man_text=$(sed 's/\\-/-/g' "$man")
man_verbs=$(awk '/^\.SH /{s=$2} s=="VERBS" && prev==".TP" {print $2} {prev=$1}' <<<"$man_text" | sort -u)
man_options=$( { grep -o -- '--[a-z][a-z0-9-]*' <<<"$man_text"
                 grep -o -- '\(^\.B[IR]\? \|\\fB\)-[a-zA-Z]\b' <<<"$man_text" | grep -o -- '-[a-zA-Z]$'; } | sort -u)

# The Markdown: verbs are the first words of the verb tables' rows; options every --name and
# `-x` outside the code blocks (which show mistyped ones on purpose).
md_prose=$(awk '/^```/{f=!f; next} !f' "$md")
md_verbs=$(sed -n 's/^| `\([a-z][a-z-]*\)[ `].*/\1/p' <<<"$md_prose" | sort -u)
md_options=$( { grep -o -- '--[a-z][a-z0-9-]*' <<<"$md_prose"
                grep -o -- '`-[a-zA-Z]`' <<<"$md_prose" | tr -d '`'; } | sort -u)

status=0
only() {  # what only one side names
    local what=$1 side=$2 other=$3 a=$4 b=$5
    local missing
    missing=$(comm -23 <(printf '%s\n' "$a") <(printf '%s\n' "$b") | grep -v '^$' || true)
    if [ -n "$missing" ]; then
        echo "$what named in $side but not in $other:" $missing
        status=1
    fi
}
[ -n "$man_verbs" ] && [ -n "$md_verbs" ] || { echo "no verbs found (man: '$man_verbs', md: '$md_verbs')"; exit 1; }
only verbs "$man" "$md" "$man_verbs" "$md_verbs"
only verbs "$md" "$man" "$md_verbs" "$man_verbs"
only options "$man" "$md" "$man_options" "$md_options"
only options "$md" "$man" "$md_options" "$man_options"
[ "$status" = 0 ] && echo "$(wc -w <<<"$man_verbs") verbs and $(wc -w <<<"$man_options") options named by both"
exit "$status"
