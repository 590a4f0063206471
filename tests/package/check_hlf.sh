#!/bin/sh
# The help files beside the DLL, as FAR reads them: a .Language= first line,
# a .PluginContents= line before the first topic (FAR stops looking for it
# there), an @Contents topic (F1 on the panel opens it), no topic defined
# twice, every ~text~@Topic@ link naming a topic of the same file, and one
# help file for each language the .lng files offer. Topic names compare
# without case, as FAR compares them. A link opens and closes on one line
# here, so a lone ~ left over is a broken link.
set -u
# The files are in OEM code pages: read them as bytes.
LC_ALL=C
export LC_ALL
dir=$(dirname "$1")
passed=0
failed=0

# Prints one line per fault in the help file $1; prints nothing when it is sound.
faults() {
    awk '
    { sub(/\r$/, "") }
    NR == 1 && !/^\.Language=[^,]+/ { print "first line is not .Language=" }
    /^\.PluginContents=./ && topics == 0 { contents_line = 1 }
    # "@+" and "@-" switch formatting; every other line opening with "@" starts a topic.
    /^@/ && $0 != "@+" && $0 != "@-" {
        name = tolower(substr($0, 2)); sub(/[ \t]+$/, "", name)
        topics++
        if (name in defined) print "topic @" substr($0, 2) " defined twice"
        defined[name] = 1
        next
    }
    {
        line = $0
        gsub(/~~|@@|##/, "", line)  # escaped characters
        while (match(line, /~[^~]*~@[^@]*@/)) {
            link = substr(line, RSTART, RLENGTH)
            target = link; sub(/^~[^~]*~@/, "", target); sub(/@$/, "", target)
            line = substr(line, 1, RSTART - 1) " " substr(line, RSTART + RLENGTH)
            # FAR'"'"'s own help (":Topic"), another file ("<path>Topic") and addresses
            if (target ~ /^[:<]/ || target ~ /:\/\// || target ~ /^mailto:/) continue
            links[++nlinks] = tolower(target)
            shown[nlinks] = link " (line " NR ")"
        }
        if (index(line, "~")) print "line " NR ": a ~ outside a whole link"
    }
    END {
        if (!contents_line) print "no .PluginContents= line before the first topic"
        if (!("contents" in defined)) print "no @Contents topic"
        for (i = 1; i <= nlinks; i++)
            if (!(links[i] in defined)) print "link to a missing topic: " shown[i]
    }' "$1"
}

# The language names of files matching $1, one a line, sorted.
languages() {
    for f in "$dir"/$1; do
        [ -f "$f" ] && sed -n '1s/^\.Language=\([^,]*\).*/\1/p' "$f" | tr -d '\r'
    done | sort
}

found=0
for f in "$dir"/*.hlf; do
    [ -f "$f" ] || continue
    found=1
    out=$(faults "$f")
    if [ -z "$out" ]; then
        passed=$((passed + 1))
    else
        printf '%s:\n%s\n' "$(basename "$f")" "$out"
        failed=$((failed + 1))
    fi
done

if [ $found = 0 ] || [ "$(languages '*.hlf')" != "$(languages '*.lng')" ]; then
    echo "help languages: $(languages '*.hlf' | tr '\n' ' ')"
    echo "message languages: $(languages '*.lng' | tr '\n' ' ')"
    failed=$((failed + 1))
else
    passed=$((passed + 1))
fi

echo "$passed passed, $failed failed"
[ $failed = 0 ]
