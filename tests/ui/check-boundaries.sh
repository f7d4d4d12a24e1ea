#!/bin/sh
# A feature folder under ui/ may use document/, platform/, the lower layers and ui/commands,
# ui/common and ui/neck; never another feature, never the shell. The shared folders use no
# feature either; the plain layers below use only the ones under them. The link graph cannot
# tell, since every folder sees the project root.
# Usage: check-boundaries.sh SOURCE_ROOT
root=$1
shared="commands common neck"
features="entry file convert export print play recovery importing transcribe"
status=0
for folder in $shared $features; do
    for other in $features shell; do
        [ "$other" = "$folder" ] && continue
        found=$(grep -rn "#include \"ui/$other/" "$root/ui/$folder" 2>/dev/null)
        if [ -n "$found" ]; then
            echo "ui/$folder uses ui/$other:"
            echo "$found"
            status=1
        fi
    done
done
# The shared folders are below the features: commands uses nothing of ui, common only
# commands, neck only common and commands.
for pair in "commands common" "commands neck" "common neck"; do
    set -- $pair
    found=$(grep -rn "#include \"ui/$2/" "$root/ui/$1" 2>/dev/null)
    if [ -n "$found" ]; then
        echo "ui/$1 uses ui/$2:"
        echo "$found"
        status=1
    fi
done
# The plain layers below the window, each with the folders it may use: the score reads the
# tab through the codec, never through the editing engine.
for rule in "instrument:" "storage:" "model:instrument" "tabtext:instrument model" \
    "engine:instrument model tabtext" "score:instrument model tabtext" \
    "sheet:instrument model tabtext score" "audio:instrument model tabtext score storage" \
    "files:instrument model tabtext engine score"; do
    folder=${rule%%:*}
    allowed=" ${rule#*:} $folder "
    for used in $(grep -rhoE '#include "[a-z_]+/' "$root/$folder" | sed 's/#include "//; s|/$||' | sort -u); do
        case "$allowed" in
        *" $used "*) ;;
        *)
            echo "$folder uses $used:"
            grep -rn "#include \"$used/" "$root/$folder"
            status=1
            ;;
        esac
    done
done
exit $status
