#!/bin/bash
# journal_append.sh DATABASE USUARIO EVENTO PUESTO DETALLE SQL
# Runs SQL on the books together with the journal entry the program would have written for it,
# chained to the last one, in one transaction: a test's shortcut past the windows that leaves
# the books and the journal agreeing. (PUESTO empty: none.)
set -euo pipefail
export LC_ALL=C
db=$1 usuario=$2 evento=$3 puesto=$4 detalle=$5 books=$6
quote() { printf "'%s'" "${1//\'/\'\'}"; }
field() { printf '%d:%s;' "$(printf '%s' "$1" | wc -c)" "$1"; }
prev=$(sqlite3 "$db" "SELECT Hash FROM Registro ORDER BY Secuencia DESC LIMIT 1")
[ -n "$prev" ] || prev=$(printf '0%.0s' {1..64})
n=$(($(sqlite3 "$db" "SELECT ifnull(max(Secuencia), 0) FROM Registro") + 1))
instante=$(date -u +%Y-%m-%dT%H:%M:%S.000Z)
hash=$({ field "$prev"; field "$n"; field "$instante"; field "$usuario"; field "$evento"; field "$puesto"
  field "$detalle"; } | sha256sum | cut -c1-64)
sqlite3 "$db" "BEGIN IMMEDIATE; $books;
  INSERT INTO Registro VALUES ($n, '$instante', $(quote "$usuario"), $(quote "$evento"),
    ${puesto:-NULL}, $(quote "$detalle"), '$hash'); COMMIT"
