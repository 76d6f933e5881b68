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
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
