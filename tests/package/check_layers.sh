#!/bin/sh
# The plug-in's layers run one way: each folder includes headers of its own
# layer and of the layers below it, never of one above.
set -u
root="$1"
layers="host link panel transfer plugin"
failed=0

layer_of() {  # the layer that holds header $1, or nothing for a system header
    for l in $layers; do
        [ -e "$root/$l/$1" ] && { echo "$l"; return; }
    done
}

rank() {
    i=0
    for l in $layers; do
        [ "$l" = "$1" ] && { echo $i; return; }
        i=$((i + 1))
    done
}

for l in $layers; do
    for file in "$root/$l"/*.h "$root/$l"/*.cpp; do
        [ -e "$file" ] || continue
        for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
            owner=$(layer_of "$header")
            [ -n "$owner" ] || continue
            if [ "$(rank "$owner")" -gt "$(rank "$l")" ]; then
                echo "$l/$(basename "$file") includes $owner/$header"
                failed=1
            fi
        done
    done
done
# The link talks to the server only: nothing of the host's at all.
if grep -l '#include "\(host_api\|host_ui\|message_ids\)\.h"' "$root"/link/* 2>/dev/null; then
    echo "the link includes a host header"
    failed=1
fi
# The transfers reach the panel only through its free functions' headers,
# never through the panel object's own.
if grep -l '#include "phone_panel\.h"' "$root"/transfer/* 2>/dev/null; then
    echo "the transfers include the panel object's header"
    failed=1
fi

# No loop between two units of one folder (a header and its .cpp): when one
# unit includes another's header, the other includes nothing of the first.
includes() {  # the headers unit $2 of folder $1 includes
    cat "$1/$2.h" "$1/$2.cpp" 2>/dev/null | sed -n 's/^#include "\([^"]*\)\.h".*/\1/p'
}
for l in $layers; do
    for header in "$root/$l"/*.h; do
        [ -e "$header" ] || continue
        unit=$(basename "$header" .h)
        for other in $(includes "$root/$l" "$unit"); do
            [ "$other" != "$unit" ] && [ -e "$root/$l/$other.h" ] || continue
            if includes "$root/$l" "$other" | grep -qx "$unit"; then
                echo "$l: $unit and $other include each other"
                failed=1
            fi
        done
    done
done

if [ $failed = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
