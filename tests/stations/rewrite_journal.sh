#!/bin/bash
# rewrite_journal.sh DATABASE N DETALLE [SQL]
# What anyone holding the file can do without a password: run SQL on the books, rewrite the
# Detalle of journal entry N, and recompute the hash of N and of every entry after it, so the
# chain holds again. Only a seal after N can tell.
set -euo pipefail
export LC_ALL=C
db=$1 n=$2 detalle=$3 books=${4:-}
quote() { printf "'%s'" "${1//\'/\'\'}"; }
[ -z "$books" ] || sqlite3 "$db" "$books"
sqlite3 "$db" "UPDATE Registro SET Detalle = $(quote "$detalle") WHERE Secuencia = $n"
# Each field as its length in bytes, ':', the bytes and ';'.
field() { printf '%d:%s;' "$(printf '%s' "$1" | wc -c)" "$1"; }
prev=$(sqlite3 "$db" "SELECT Hash FROM Registro WHERE Secuencia = $((n - 1))")
[ -n "$prev" ] || prev=$(printf '0%.0s' {1..64})
last=$(sqlite3 "$db" "SELECT max(Secuencia) FROM Registro")
for ((s = n; s <= last; s++)); do
  IFS=$'\x1f' read -r sec inst usr ev pu det < <(sqlite3 -separator $'\x1f' "$db" \
    "SELECT Secuencia, Instante, Usuario, Evento, ifnull(Puesto, ''), Detalle FROM Registro WHERE Secuencia = $s")
  hash=$({ field "$prev"; field "$sec"; field "$inst"; field "$usr"; field "$ev"; field "$pu"; field "$det"; } |
    sha256sum | cut -c1-64)
  sqlite3 "$db" "UPDATE Registro SET Hash = '$hash' WHERE Secuencia = $s"
  prev=$hash
done
