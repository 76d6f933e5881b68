# Sourced by the Wine scripts: the private prefix and HOME of one build tree.
# Usage: TW_BUILD=<build dir> . tools/wine-env.sh
: "${TW_BUILD:?TW_BUILD must name the build directory}"
export WINEPREFIX="$TW_BUILD/wineprefix"
export HOME="$TW_BUILD/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
export WINEDEBUG="${WINEDEBUG:--all}"
# No menu entries on the host, and no offers to install Mono or Gecko.
# Overrides the caller gives come after, and so win.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# A host that runs 64-bit user code only cannot start Wine's 32-bit loader;
# there Wine runs 64-bit programs alone, through its 64-bit loader.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export TW_WINE_64_ONLY=1
    export WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$TW_BUILD/wine64-only"
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' > "$TW_BUILD/wine64-only/$name"
        chmod +x "$TW_BUILD/wine64-only/$name"
    done
    case ":$PATH:" in
        *":$TW_BUILD/wine64-only:"*) ;;
        *) export PATH="$TW_BUILD/wine64-only:$PATH" ;;
    esac
fi
