# Sourced by the scripts: binds the ODBC data source "Q90" to a scratch test
# database through unixODBC and the SQLite ODBC driver, so nobody configures
# ODBC by hand.  Under Wine, odbc32.dll forwards to the same unixODBC, so the
# same files serve Zd418 and its tests.
#   odbc_bind_scratch PATH   (re)binds "Q90" to the database file PATH (a Unix path)
# Exports ODBCSYSINI and ODBCINI (the driver and data source files) and
# ZD418_SCRATCH (the bound file), which the Windows-side tests read.
zd418_odbc_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ODBCSYSINI="${ZD418_ODBC_DIR:-$zd418_odbc_root/build/odbc}"
export ODBCINI="$ODBCSYSINI/odbc.ini"
mkdir -p "$ODBCSYSINI"

odbc_bind_scratch() {
  local driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
  cat >"$ODBCSYSINI/odbcinst.ini" <<INI
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$driver
Setup=$driver
Threading=2
DontDLClose=1
INI
  cat >"$ODBCINI" <<INI
[Q90]
Description=Zd418 scratch test database
Driver=SQLite3
Database=$1
Timeout=5000
SyncPragma=NORMAL
INI
  export ZD418_SCRATCH="$1"
}

odbc_bind_scratch "${ZD418_SCRATCH:-$ODBCSYSINI/Q90.mda}"
