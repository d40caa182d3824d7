# Sourced by the scripts: a quiet Wine that never offers to install Mono or
# Gecko, and a helper that creates a private prefix on first use.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# ensure_prefix DIR: creates the Wine prefix DIR when it does not exist yet.
ensure_prefix() {
  export WINEPREFIX="$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX (first use takes up to a minute)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}
